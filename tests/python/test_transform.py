"""Coefficients, bands and reconstructions: the module's numbers are the core's."""
import io
import threading

import numpy as np
import pytest

import tesora
from conftest import SAMPLES, random_picture


def npy_bytes(array):
    buffer = io.BytesIO()
    np.save(buffer, array)
    return buffer.getvalue()


@pytest.mark.parametrize("picture, options", [
    ("chelsea-451x300.bmp", ["--level", "4", "--position", "37"]),
    ("brick-512.bmp", ["--steps", "3", "--delta", "1"]),
    ("camera-512.bmp", ["--level", "2"]),
])
def test_files_of_analyse_equal_the_module(tmp_path, cli, picture, options):
    path = SAMPLES / picture
    cli("analyse", path, *options, "--save", tmp_path / "c.npy", "--bands", tmp_path / "b.npy",
        "--own", tmp_path / "o.npy")
    keywords = {}
    for name, value in zip(options[::2], options[1::2]):
        keywords[name[2:]] = float(value) if name == "--delta" else int(value)
    d = tesora.decompose(path, **keywords)
    assert (tmp_path / "c.npy").read_bytes() == npy_bytes(d.matrix)
    assert (tmp_path / "b.npy").read_bytes() == npy_bytes(d.bands)
    assert (tmp_path / "o.npy").read_bytes() == npy_bytes(d.own)


def test_synthesise_of_an_edited_matrix_equals_the_module(tmp_path, cli):
    picture = random_picture(3, 70, 100)
    d = tesora.decompose(picture, level=3, position=61)
    matrix = d.matrix
    matrix[matrix.shape[0] // 2:, :] *= 0.5  # an edit no rule makes
    np.save(tmp_path / "c.npy", matrix)
    cli("synthesise", tmp_path / "c.npy", "--level", 3, "--width", 100, "--height", 70, "--position", 61,
        "--reconstruction", tmp_path / "r.png")
    values = tesora.synthesise(matrix, level=3, picture_level=d.picture_level, position=61, width=100, height=70)
    assert np.array_equal(tesora.read_picture(tmp_path / "r.png"), tesora.to_bytes(values))


def test_layout_and_legend():
    d = tesora.decompose(random_picture(1, 20, 33), level=3)
    assert d.matrix.shape == (33, 33) and d.matrix.dtype == np.float64
    assert (d.level, d.picture_level) == (3, 5)
    assert d.legend == [(3, "smoothing"), (3, "row"), (3, "column"), (3, "both"),
                        (4, "row"), (4, "column"), (4, "both")]
    assert (d.bands[:9, :9] == 0).all()  # the smoothing block of level 3
    assert d.bands.min() == 0 and d.bands.max() == 6
    # 33 wide but 20 tall: every coefficient of pixel row 0 is the picture's own, not all
    # are; the reduction counts exactly the own details.
    assert d.own[:, 0].all() and not d.own.all()
    assert (d.own & (d.bands > 0)).sum() == d.reduce(0.0)["own_detail_count"]
    assert tesora.decompose(random_picture(1, 33, 33), level=3).own.all()


def test_reconstruct_and_synthesise_agree():
    picture = random_picture(5, 40, 65)
    for delta in (0.0, 0.5, 1.0):
        d = tesora.decompose(picture, delta=delta)
        values = d.reconstruct()
        assert values.shape == picture.shape
        if delta == 0.0:  # the box: the way back is exact up to rounding
            assert np.abs(values - picture).max() < 0.05
        assert np.array_equal(values, tesora.synthesise(d.matrix, level=2, picture_level=6, delta=delta,
                                                         width=65, height=40))


def test_rows_below_the_square_keep_the_picture():
    picture = random_picture(6, 30, 9)  # level 3: only the top 9 rows are transformed
    d = tesora.decompose(picture, level=2, delta=0.3)
    d.reduce(40.0)
    bytes_ = d.to_bytes()
    assert np.array_equal(bytes_[9:], picture[9:])
    assert not np.array_equal(bytes_[:9], picture[:9])


def test_reduce_counts_and_targets():
    d = tesora.decompose(SAMPLES / "camera-512.bmp", level=4, position=50)
    counts = d.reduce(zeros=80.0)
    assert counts["own_zero_share"] >= 80.0
    again = tesora.decompose(SAMPLES / "camera-512.bmp", level=4, position=50).reduce(counts["epsilon"])
    assert again == counts
    # A second reduction with the same Epsilon finds the zeros already there.
    assert d.reduce(counts["epsilon"])["own_zero_count"] == counts["own_zero_count"]
    with pytest.raises(ValueError, match="epsilons must hold 5 values"):
        d.reduce(rule="levels", epsilons=[1, 2])
    levels = d.reduce(rule="levels", epsilons=[0, 0, 0, 0, 1e9])
    assert levels["epsilon"] is None and levels["own_zero_share"] > counts["own_zero_share"]


def test_two_threads_give_the_serial_results():
    jobs = [(random_picture(11, 300, 513), 0.23), (SAMPLES / "brick-512.bmp", 0.91)]

    def road(picture, delta):
        d = tesora.decompose(picture, level=3, delta=delta)
        counts = d.reduce(4.0)
        return d.matrix, counts, d.reconstruct(), d.to_bytes()

    serial = [road(*job) for job in jobs]
    for _ in range(3):
        results = [None, None]

        def run(k):
            results[k] = road(*jobs[k])

        threads = [threading.Thread(target=run, args=(k,)) for k in range(2)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        for got, expected in zip(results, serial):
            assert np.array_equal(got[0], expected[0]) and got[1] == expected[1]
            assert np.array_equal(got[2], expected[2]) and np.array_equal(got[3], expected[3])


def test_quantise_reports_the_rate():
    d = tesora.decompose(SAMPLES / "brick-512.bmp", level=5, position=30)
    coarse = tesora.decompose(SAMPLES / "brick-512.bmp", level=5, position=30)
    fine_bpp = d.quantise(1.0)["entropy_bpp"]
    coarse_bpp = coarse.quantise(16.0)["entropy_bpp"]
    assert 0 < coarse_bpp < fine_bpp
    assert coarse.quality()["psnr"] < d.quality()["psnr"]


def test_exact_synthesis_inverts_and_counts_what_reaches_in():
    d = tesora.decompose(SAMPLES / "chelsea-451x300.bmp", steps=4, position=80)
    picture = d.picture.astype(np.float64)
    assert np.max(np.abs(d.reconstruct(synthesis="exact") - picture)) < 1e-6
    assert np.max(np.abs(d.reconstruct() - picture)) > 1.0
    assert np.array_equal(tesora.synthesise(d.matrix, level=d.level, picture_level=d.picture_level, position=80,
                                            width=451, height=300, synthesis="exact"),
                          d.reconstruct(synthesis="exact"))
    quality = d.quality(synthesis="exact")["psnr_exact"]
    assert quality is None or quality >= 150
    coded = d.coded(synthesis="exact")
    assert coded.shape == d.own.shape and coded.sum() > d.own.sum()
    assert d.coded().sum() <= coded.size
    row = tesora.compress(SAMPLES / "chelsea-451x300.bmp", steps=4, position=80, quantise=4.0, synthesis="exact")
    assert row["synthesis"] == "exact" and row["coded_count"] > 0
    with pytest.raises(ValueError):
        d.reconstruct(synthesis="inverse")


def blocks(array, rows, columns):
    """The four one-step bands of a height x width array: smooth/detail along rows, then columns."""
    return {(a, b): array[slice(0, rows) if a == "lo" else slice(rows, None),
                          slice(0, columns) if b == "lo" else slice(columns, None)]
            for a in ("lo", "hi") for b in ("lo", "hi")}


@pytest.mark.parametrize("basis, wavelet", [("haar", "haar"), ("cdf53", "bior2.2"), ("cdf97", "bior4.4")])
def test_lifting_bases_against_the_wavelet_library(basis, wavelet):
    pywt = pytest.importorskip("pywt")
    picture = random_picture(7, 48, 64)
    d = tesora.decompose(picture, steps=1, basis=basis)
    ours = blocks(d.matrix.T[:48, :64], 24, 32)
    # Whole-sample symmetric extension is the library's "reflect"; it keeps extra values at
    # both ends and scales both filters by sqrt(2) where ours pass a constant with gain 1
    # and the highest frequency with gain 2.
    theirs = {}
    for b, along_x in zip(("lo", "hi"), pywt.dwt(picture.astype(np.float64), wavelet, mode="reflect", axis=1)):
        for a, both in zip(("lo", "hi"), pywt.dwt(along_x, wavelet, mode="reflect", axis=0)):
            theirs[a, b] = both
    for band, block in ours.items():
        scale = np.prod([2 ** -0.5 if part == "lo" else 2 ** 0.5 for part in band])
        rows, columns = block.shape
        best = min(
            (np.max(np.abs(block - sign * scale * theirs[band][dy:dy + rows, dx:dx + columns])), dy, dx)
            for sign in (1, -1)
            for dy in range(theirs[band].shape[0] - block.shape[0] + 1)
            for dx in range(theirs[band].shape[1] - block.shape[1] + 1))
        assert best[0] < 1e-9, (band, best)
    assert d.quality()["psnr_exact"] is None or d.quality()["psnr_exact"] >= 150


def test_a_lifting_decomposition_gives_the_figures_of_compress():
    picture = random_picture(3, 40, 65)
    for rule in ("flat", "norm"):
        d = tesora.decompose(picture, steps=3, basis="cdf53")
        reduced, rate = d.reduce(zeros=50, rule=rule), d.quantise(4.0, rule=rule)
        row = tesora.compress(picture, steps=3, basis="cdf53", zeros=50, rule=rule, quantise=4.0)
        assert (reduced["own_zero_share"], rate["entropy_bpp"], d.quality()["psnr_exact"]) == \
            (row["own_zero_share"], row["entropy_bpp"], row["psnr_exact"])
    assert d.coded().sum() == d.own.sum() == row["coded_count"] and d.delta is None and d.basis == "cdf53"
