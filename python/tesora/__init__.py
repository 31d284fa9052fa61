"""BLaC wavelets in numpy: Tesora's two-dimensional multi-resolution analysis.

The scaling function blends the box (Delta 0) and the hat (Delta 1). Every function
here runs the same core as the program and ``tesora-cli``, on values of its own: the
results are bit for bit the program's, and calls in several threads do not disturb
each other (the transforms release the interpreter's lock).

Layouts follow the program's working matrix: a decomposition's ``matrix`` is a
float64 square of side ``2**picture_level + 1`` whose element ``[x, y]`` belongs to
pixel column ``x`` and pixel row ``y``; pictures and reconstructions are ``height x
width`` arrays, row ``y`` first, as numpy shows pictures.
"""
from __future__ import annotations

import os
from typing import Optional, Sequence, Union

import numpy as np

from . import _tesora
from ._tesora import Decomposition

__version__: str = _tesora.__version__
MAX_WIDTH: int = _tesora.MAX_WIDTH

__all__ = ["Decomposition", "MAX_WIDTH", "best_delta", "compress", "decode", "decompose", "encode", "filters",
           "propose_delta", "read_picture", "synthesise", "to_bytes"]

PictureLike = Union[np.ndarray, Sequence[Sequence[float]], str, "os.PathLike[str]"]


def filters(delta: Optional[float] = None, *, position: Optional[int] = None) -> dict:
    """The wavelet filters of one Delta, as ``tesora-cli filters --json`` gives them.

    Give ``delta`` (0 ... 1) or the scroll bar's ``position`` (0 ... 100, Delta =
    position x 0.01 as the program forms it); neither is the program's start, Delta 0.
    Returns a dict with ``position``, ``delta``, ``wavelet_left`` (4 values),
    ``wavelet_inner`` (5), ``wavelet_right`` (4) as numpy arrays, and the two factors
    ``one_minus_half_delta`` and ``half_delta``.
    """
    return _tesora.filters(delta, position=position)


def read_picture(path: Union[str, "os.PathLike[str]"]) -> np.ndarray:
    """The red values of a picture file as ``uint8``, ``height x width``.

    The file is opened with exactly the checks of the program: a damaged or truncated
    file, one that is no picture, or a picture wider than 1025 pixels raises
    ``ValueError``; a missing or unreadable file ``OSError``. Messages are the
    program's own (German).
    """
    return _tesora.read_picture(path)


def decompose(picture: PictureLike, *, level: Optional[int] = None, steps: Optional[int] = None,
              delta: Optional[float] = None, position: Optional[int] = None) -> Decomposition:
    """Decomposes a picture down to ``level`` (2 ... its own level) or by ``steps`` levels.

    ``picture`` is a 2-D array of whole numbers 0 ... 255 (any integer or float dtype,
    any memory order), at most 1025 wide, or a path opened as ``read_picture`` does.
    Without ``level`` and ``steps`` it goes down to the coarsest level, 2. Delta as in
    ``filters``. The picture's level is the smallest L with ``2**L + 1 >= width``; only
    its top ``2**L + 1`` rows are transformed, as in the program.
    """
    return Decomposition(picture, level=level, steps=steps, delta=delta, position=position)


def synthesise(matrix: np.ndarray, *, level: int, picture_level: int, delta: Optional[float] = None,
               position: Optional[int] = None, width: Optional[int] = None,
               height: Optional[int] = None, synthesis: str = "specified") -> np.ndarray:
    """Coefficients back to values: the inverse of ``decompose`` for any matrix.

    ``matrix`` has the layout of ``Decomposition.matrix`` (side ``2**picture_level +
    1``) and is decomposed to ``level``; it may have been changed freely (finite values).
    Returns float64 ``height x width`` (default: the whole square), the values
    ``Decomposition.reconstruct`` gives for the same coefficients. ``synthesis="exact"``
    reconstructs with the true inverse of the analysis instead of the program's synthesis.
    """
    return _tesora.synthesise(matrix, level=level, picture_level=picture_level, delta=delta,
                              position=position, width=width, height=height, synthesis=synthesis)


def to_bytes(values: np.ndarray) -> np.ndarray:
    """Values as the window paints them: truncated toward zero and clamped to 0 ... 255."""
    return _tesora.to_bytes(values)


def compress(picture: PictureLike, *, level: Optional[int] = None, steps: Optional[int] = None,
             delta: Optional[float] = None, position: Optional[int] = None,
             epsilon: Optional[float] = None, zeros: Optional[float] = None, rule: str = "flat",
             epsilons: Optional[Sequence[float]] = None, quantise: Optional[float] = None,
             synthesis: str = "specified") -> dict:
    """The whole road of ``tesora-cli compress --json``, as a dict with its fields.

    Decomposes to ``level`` (or ``steps`` below the picture's own), removes details by
    ``rule`` ("flat" as "Reduce" does below ``epsilon``, "norm", or "levels" with
    ``epsilons``, one per step, coarsest first) or down to a share of ``zeros`` percent of
    the picture's own details, optionally quantises with step ``quantise``, reconstructs
    and measures (``synthesis``: "specified", the program's, or "exact", the true inverse of
    the analysis). Without ``epsilon``, ``zeros`` or the levels rule nothing is removed.
    The fields and numbers equal the command-line tool's exactly; a path as ``picture`` is
    its ``picture`` field (None for an array). Figures JSON has as null are None.
    """
    return _tesora.compress(picture, level=level, steps=steps, delta=delta, position=position,
                            epsilon=epsilon, zeros=zeros, rule=rule, epsilons=epsilons, quantise=quantise,
                            synthesis=synthesis)


def propose_delta(picture: PictureLike, *, schranke: float = 50.0, position: Optional[int] = None) -> dict:
    """"Calc Delta" on the freshly opened picture, as ``tesora-cli propose --json``.

    ``schranke`` is the bound of the difference values counted below it; ``position``
    the scroll bar before the proposal (default 0). Returns the sums, the position the
    scroll bar ends at, Delta afterwards and the labels.
    """
    return _tesora.propose_delta(picture, schranke=schranke, position=position)


def best_delta(picture: PictureLike, *, bpp: float, rule: str = "flat", level: Optional[int] = None,
               steps: Optional[int] = None) -> dict:
    """The Delta with the highest ``psnr_exact`` at ``bpp`` bits per pixel, as
    ``tesora-cli best-delta --json`` gives it for one picture.

    Every scroll position 0 ... 100 is tried, each with the quantiser step that brings
    ``entropy_bpp`` to at most ``bpp`` (nothing removed before quantising; ``rule``
    "flat" or "norm" weighs the coefficients); a golden-section search then refines the
    best between its neighbours to 1e-3. Beside it: ``delta0_psnr``, the "Calc Delta"
    proposal ``proposal_delta`` with ``proposal_psnr``, and ``regret_db``, what the
    proposal gives up. Default level: five steps below the picture's own, at least 2.
    """
    name = None
    if isinstance(picture, (str, os.PathLike)):
        name = os.fspath(picture)
        picture = read_picture(picture)
    return _tesora.best_delta(picture, name, bpp=bpp, rule=rule, level=level, steps=steps)


def encode(picture: PictureLike, *, bpp: Optional[float] = None, size: Optional[int] = None,
           quantise: Optional[float] = None, delta: Optional[float] = None, position: Optional[int] = None,
           steps: int = 5, rule: str = "norm", colour: bool = False, basis: str = "blac",
           synthesis: str = "specified") -> bytes:
    """The picture's red values as a compressed file, as ``tesora-cli encode`` writes it.

    Give exactly one of ``bpp`` (bits per pixel) or ``size`` (bytes), which cut the
    embedded stream so that the file, header included, is at most that large, or
    ``quantise`` (the quantiser step; the whole stream). ``rule`` "norm" weights each
    coefficient by its function's norm, "flat" does not. ``basis`` is "blac" (with
    ``delta``/``position`` and ``synthesis`` "specified" or "exact"), "haar", "cdf53" or
    "cdf97". With ``colour=True`` the picture is an RGB array (height x width x 3), coded
    as Y, Cb and Cr planes sharing the rate. docs/format.md describes the bytes.
    """
    return _tesora.encode(picture, bpp=bpp, size=size, quantise=quantise, delta=delta, position=position,
                          steps=steps, rule=rule, colour=colour, basis=basis, synthesis=synthesis)


def decode(data: bytes) -> np.ndarray:
    """The picture a compressed file's bytes give: ``uint8``, ``height x width`` for a grey
    file, ``height x width x 3`` (RGB) for a colour one. A damaged, cut or foreign file
    raises ``ValueError``.
    """
    return _tesora.decode(data)
