"""Rate-distortion calls of the module: the same figures as the command-line tool."""
import numpy as np
import pytest

import tesora
from conftest import SAMPLES, random_picture


def smooth_picture(height=40, width=60):
    y, x = np.mgrid[0:height, 0:width]
    return ((3 * x + 2 * y + random_picture(3, height, width) % 24) % 256).astype(np.uint8)


def test_best_delta_equals_the_command_line_tool(cli, tmp_path):
    picture = SAMPLES / "chelsea-451x300.bmp"
    ours = tesora.best_delta(picture, bpp=0.5, steps=3)
    theirs = cli.json("best-delta", picture, "--bpp", "0.5", "--steps", "3")["runs"][0]
    assert ours == theirs
    assert ours["best_psnr"] >= ours["delta0_psnr"]


def test_best_delta_refuses_what_it_cannot_search_and_tells_how_far_it_is(capsys):
    picture = smooth_picture()
    tesora.best_delta(picture, bpp=1, progress=True)
    lines = capsys.readouterr().err.splitlines()
    assert 1 <= len(lines) <= 10 and lines[-1].startswith("Progress: 100 % (101/101 rows, ")
    with pytest.raises(ValueError, match="bpp"):
        tesora.best_delta(picture, bpp=0)
    with pytest.raises(ValueError, match="rule"):
        tesora.best_delta(picture, bpp=1, rule="levels")
    assert tesora.best_delta(picture, bpp=1)["picture"] is None
