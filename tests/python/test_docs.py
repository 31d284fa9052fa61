"""docs/python.md's worked example runs as written (needs the optional wavelet library
and matplotlib, and is skipped without them)."""
import importlib.util

import pytest

from conftest import SAMPLES, SOURCE

EXAMPLE = SOURCE / "python" / "examples" / "compare_wavelets.py"


def test_the_guide_shows_the_example_as_it_is():
    guide = (SOURCE / "docs" / "python.md").read_text(encoding="utf-8")
    assert EXAMPLE.read_text(encoding="utf-8").strip() in guide


def test_the_example_compares_and_plots(tmp_path):
    pytest.importorskip("pywt")
    pytest.importorskip("matplotlib")
    found = importlib.util.spec_from_file_location("compare_wavelets", EXAMPLE)
    example = importlib.util.module_from_spec(found)
    found.loader.exec_module(example)
    plot = tmp_path / "plot.png"
    results = example.main(SAMPLES / "camera-512.bmp", plot)
    assert plot.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert set(results) == {"BLaC Delta 0", "BLaC Delta 0.5", "BLaC Delta 1", "bior4.4"}
    for name, curve in results.items():
        shares = [s for s, _ in curve]
        quality = [p for _, p in curve]
        assert all(s >= target for s, target in zip(shares, example.SHARES)), name
        assert quality == sorted(quality, reverse=True), name  # more zeros, less quality
