"""tesora.study: the sweep table's rows, the same on a local pool, any executor and a dask cluster."""
import concurrent.futures
import csv
import io
import math
import os
import shutil

import pytest

import tesora
from conftest import SAMPLES, random_picture

CHELSEA = str(SAMPLES / "chelsea-451x300.bmp")


def table_value(text):
    """A field of the sweep's CSV as the module gives it (JSON's null for what is empty or not finite)."""
    if text == "":
        return None
    try:
        number = float(text)
    except ValueError:
        return text
    return number if math.isfinite(number) else None


def test_rows_equal_the_sweep_table_and_compress(cli):
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        rows = tesora.study([CHELSEA], deltas=[0, 0.5], steps=3, executor=pool)
    # The sweep needs an Epsilon: 0 removes nothing, so only that field differs.
    table = cli("sweep", CHELSEA, "--deltas", "0,0.5", "--steps", 3, "--epsilon", 0, "--rule", "norm",
                "--synthesis", "exact", "--jobs", 1, "--csv", "-").stdout
    lines = list(csv.DictReader(io.StringIO(table)))
    assert len(lines) == len(rows) == 2
    for line, row in zip(lines, rows):
        assert row["epsilon"] is None and line.pop("epsilon") == "0"
        assert {k: table_value(v) for k, v in line.items()} == {k: row[k] for k in line}
    # Rates, steps and bases: each row is compress's for the same settings.
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        rated = tesora.study([CHELSEA], deltas=[0.5], bases=["blac", "cdf97"], quantise=[8.0], steps=3,
                             executor=pool) + \
            tesora.study([CHELSEA], bases=["haar"], bpp=[0.5], steps=3, rule="flat", executor=pool)
    assert [(r["basis"], r["delta"]) for r in rated] == [("blac", 0.5), ("cdf97", None), ("haar", None)]
    for row, options in zip(rated, [["--delta", 0.5, "--quantise", 8, "--synthesis", "exact", "--rule", "norm"],
                                    ["--basis", "cdf97", "--quantise", 8, "--rule", "norm"],
                                    ["--basis", "haar", "--bpp", 0.5]]):
        whole = cli.json("compress", CHELSEA, "--steps", 3, *options)
        assert row == {k: whole[k] for k in row} and row["entropy_bpp"] is not None


def test_a_dask_cluster_and_a_thread_pool_give_the_local_rows(capsys):
    pictures = [random_picture(1, 40, 65), random_picture(2, 65, 65)]
    settings = dict(deltas=[0, 1], bases=["blac", "cdf53"], bpp=[0.5, 2.0], steps=2)
    local = tesora.study(pictures, **settings)
    assert len(local) == 2 * 3 * 2 and local[0]["picture"] is None
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        assert tesora.study(pictures, executor=pool, progress=True, **settings) == local
    lines = capsys.readouterr().err.splitlines()
    assert lines[-1].startswith("Progress: 100 % (12/12 rows, ") and len(lines) <= 10
    if "asan" in os.environ.get("LD_PRELOAD", ""):
        return  # the workers run the task the pools above ran; under the sanitizers only their start-up would be slow
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None)
    with cluster, distributed.Client(cluster) as client:
        assert tesora.study(pictures, executor=client, **settings) == local


def test_refusals_and_names_come_back_from_the_workers_as_given(tmp_path):
    raw = os.fsencode(tmp_path) + b"/bild-\xff.bmp"
    shutil.copy(CHELSEA, raw)
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        rows = tesora.study([raw, os.fsdecode(raw)], deltas=[0], steps=2, executor=pool)
        assert [r["picture"] for r in rows] == [os.fsdecode(raw)] * 2 and rows[0] == rows[1]
        for settings, error, message in [
            (dict(rule="levels"), ValueError, 'rule "flat" or "norm"'),
            (dict(quantise=[1.0], bpp=[1.0]), ValueError, "not both"),
            (dict(bpp=[0.0]), ValueError, "above 0"),
            (dict(bases=["db4"]), ValueError, "basis must be"),
            (dict(steps=9), ValueError, "steps must lie in"),
        ]:
            with pytest.raises(error, match=message):
                tesora.study([random_picture(0, 20, 129)], executor=pool, **settings)
    with pytest.raises(TypeError, match="list of pictures"):
        tesora.study(CHELSEA)
    with pytest.raises(OSError):
        tesora.study(["/nonexistent/picture.png"], deltas=[0])
