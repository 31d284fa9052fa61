"""Hostile and odd input: every refusal is a ValueError naming the problem, never a crash."""
import itertools
import os
import pathlib
import shutil

import numpy as np
import pytest

import tesora
from conftest import random_picture


def test_any_layout_of_the_same_values_gives_the_same_coefficients():
    picture = random_picture(2, 40, 60)
    expected = tesora.decompose(picture, level=3).matrix
    big = np.zeros((80, 120), dtype=np.int64)
    big[::2, ::2] = picture
    for variant in (picture.astype(np.float32), np.asfortranarray(picture), big[::2, ::2],
                    picture.astype(np.int16), picture.tolist()):
        assert np.array_equal(tesora.decompose(variant, level=3).matrix, expected)


@pytest.mark.parametrize("picture, message", [
    (np.zeros(10), "must be 2-D, got shape \\(10,\\)"),
    (np.zeros((2, 3, 4)), "must be 2-D"),
    (np.zeros((0, 5)), "is empty"),
    (np.zeros((3, 1026)), "1026 pixels wide; at most 1025"),
    (np.full((5, 5), np.nan), "holds NaN at row 0, column 0"),
    (np.array([[0, 256.0, 0, 0, 0]] * 5), "holds 256.0 at row 0, column 1; values must lie in 0 ... 255"),
    (np.array([[0, -1] * 3] * 5), "holds -1.0"),
    (np.array([[0, np.inf] * 3] * 5), "holds inf"),
    (np.array([[0.5] * 6] * 5), "must be whole numbers"),
    (np.zeros((5, 5), dtype=complex), "must hold integers or floats, not dtype complex128"),
    (np.zeros((5, 5), dtype=bool), "not dtype bool"),
    (np.array([["a"] * 5] * 5), "must hold integers or floats"),
    ([[1, 2], [3]], "numpy array"),
    (object(), "must hold integers or floats"),
    (np.zeros((5, 3)), "at most 3 pixels wide"),
])
def test_refused_pictures(picture, message):
    with pytest.raises(ValueError, match=message):
        tesora.decompose(picture)


@pytest.mark.parametrize("keywords, message", [
    (dict(level=1), "level must lie in 2 ... 6"),
    (dict(level=7), "level must lie in 2 ... 6"),
    (dict(level=3, steps=1), "not both"),
    (dict(steps=5), "steps must lie in 0 ... 4"),
    (dict(level=2.0), "level must be an int"),
    (dict(level=True), "level must be an int"),
    (dict(delta=1.5), "delta must lie in 0 ... 1"),
    (dict(delta=float("nan")), "delta must lie in 0 ... 1"),
    (dict(delta=1e-17), "delta must be 0 or at least"),
    (dict(delta="0.5"), "delta must be a number"),
    (dict(position=101), "position must lie in 0 ... 100"),
    (dict(position=0.5), "position must be an int"),
    (dict(delta=0.5, position=50), "not both"),
])
def test_refused_settings(keywords, message):
    with pytest.raises(ValueError, match=message):
        tesora.decompose(random_picture(0, 10, 60), **keywords)


def test_refused_reductions_and_matrices():
    d = tesora.decompose(random_picture(0, 10, 60), level=3)
    for call, message in [
        (lambda: d.reduce(), "exactly one of epsilon and zeros"),
        (lambda: d.reduce(1.0, zeros=5), "exactly one"),
        (lambda: d.reduce(-1.0), "at least 0"),
        (lambda: d.reduce(float("nan")), "at least 0"),
        (lambda: d.reduce(zeros=0), "above 0 and at most 100"),
        (lambda: d.reduce(zeros=101), "above 0 and at most 100"),
        (lambda: d.reduce(1.0, rule="median"), "rule must be"),
        (lambda: d.quantise(0), "q must be above 0"),
        (lambda: d.quantise(float("inf")), "finite"),
        (lambda: tesora.synthesise(np.zeros((64, 65)), level=2, picture_level=6), "must have shape \\(65, 65\\)"),
        (lambda: tesora.synthesise(np.zeros((65, 65)), level=7, picture_level=6), "level must lie in 2 ... picture_level"),
        (lambda: tesora.synthesise(np.zeros((65, 65)), level=2, picture_level=11), "picture_level must lie in 2 ... 10"),
        (lambda: tesora.synthesise(np.full((65, 65), np.inf), level=2, picture_level=6), "holds inf at \\[0, 0\\]"),
        (lambda: tesora.synthesise(np.zeros((65, 65)), level=2, picture_level=6, height=66), "height must lie"),
        (lambda: tesora.compress(np.zeros((5, 9))), "level"),
        (lambda: tesora.compress(np.zeros((5, 9)), level=3, rule="levels", epsilon=1.0), "takes epsilons"),
    ]:
        with pytest.raises((ValueError, TypeError), match=message):
            call()


def test_the_package_shows_what_it_offers_and_synthesises_the_largest_sides():
    public = [name for name in dir(tesora) if not name.startswith("__")]
    assert public == sorted(tesora.__all__) and all(hasattr(tesora, name) for name in public)
    # A picture 1001 ... 1025 wide has its own size.
    values = tesora.synthesise(np.zeros((1025, 1025)), level=9, picture_level=10, width=1025, height=1001)
    assert values.shape == (1001, 1025)
    with pytest.raises(ValueError, match="width and height must lie in 1 ... 1025"):
        tesora.synthesise(np.zeros((1025, 1025)), level=9, picture_level=10, width=1026)


def test_the_matrix_handed_out_is_a_copy():
    d = tesora.decompose(random_picture(4, 17, 17), level=2)
    m = d.matrix
    m[:] = 0
    assert d.matrix.any()
    assert np.array_equal(d.reconstruct(), tesora.decompose(random_picture(4, 17, 17), level=2).reconstruct())


def test_hostile_sizes_and_values_raise_instead_of_crashing_or_running_away():
    picture = random_picture(0, 10, 60)
    d = tesora.decompose(picture, level=3)
    for call, message in [
        # Broadcast views cost nothing until copied: the shape is refused first.
        (lambda: tesora.to_bytes(np.broadcast_to(np.uint8(0), (10**5, 10**5))), "at most"),
        (lambda: tesora.decompose(np.broadcast_to(np.uint8(0), (1, 10**9))), "1000000000 pixels wide"),
        (lambda: tesora.synthesise(np.full((65, 65), 1e308), level=2, picture_level=6), "overflowed"),
        (lambda: d.reduce(rule="levels", epsilons=itertools.repeat(1.0)), "must hold 3 values"),
        (lambda: tesora.compress(picture, level=3, rule="levels", epsilons=itertools.repeat(1.0)), "must hold 3"),
        (lambda: tesora.decompose(picture, level=2**70), "out of range"),
        (lambda: tesora.decompose(picture, position=-2**64), "out of range"),
        (lambda: tesora.decompose(picture, delta=10**400), "out of range"),
        (lambda: d.reduce(10**400), "out of range"),
        (lambda: tesora.read_picture("a\0b.png"), "NUL"),
        # The core's refusals in English.
        (lambda: d.quantise(1e-306), "^The quantiser step 1e-306 is too small: a quotient overflows.$"),
        (lambda: tesora.compress(picture, level=3, basis="haar", delta=0.5), "delta belongs to BLaC"),
        (lambda: tesora.compress(picture, level=3, quantise=1, bpp=1), "quantise or bpp, not both"),
        (lambda: tesora.decompose(picture, level=3, basis="haar").reconstruct(synthesis="exact"), "belongs to BLaC"),
    ]:
        with pytest.raises(ValueError, match=message):
            call()


def test_paths_as_the_system_names_them(tmp_path, chelsea):
    raw = os.fsencode(tmp_path) + b"/bild-\xff.bmp"
    shutil.copy(chelsea, raw)
    expected = tesora.read_picture(chelsea)
    for name in (raw, os.fsdecode(raw), pathlib.Path(os.fsdecode(raw))):
        assert np.array_equal(tesora.read_picture(name), expected)
    with pytest.raises(OSError):
        tesora.read_picture(b"/nonexistent/x.bmp")
