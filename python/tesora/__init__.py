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
from ._study import _Progress
from ._study import study as _study
from ._tesora import Decomposition

__version__: str = _tesora.__version__
MAX_WIDTH: int = _tesora.MAX_WIDTH

__all__ = ["Decomposition", "MAX_WIDTH", "best_delta", "compress", "decode", "decompose", "encode", "filters",
           "propose_delta", "read_picture", "study", "synthesise", "to_bytes"]


def __dir__():
    # What the package offers, not the modules and names its code happens to use.
    return sorted(__all__ + ["__version__"])


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


def read_picture(path: Union[str, bytes, "os.PathLike[str]"], *, fit: bool = False) -> np.ndarray:
    """The red values of a picture file as ``uint8``, ``height x width``.

    The file is opened with exactly the checks of the program: a damaged or truncated
    file, one that is no picture, or a picture wider than 1025 pixels raises
    ``ValueError``; a missing or unreadable file ``OSError``. With ``fit=True`` a picture
    too large (a phone photo, say) is scaled down by area average to fit, as
    ``tesora-cli --fit`` does.
    """
    return _tesora.read_picture(path, fit=fit)


def decompose(picture: PictureLike, *, level: Optional[int] = None, steps: Optional[int] = None,
              delta: Optional[float] = None, position: Optional[int] = None, basis: str = "blac") -> Decomposition:
    """Decomposes a picture down to ``level`` (2 ... its own level) or by ``steps`` levels.

    ``picture`` is a 2-D array of whole numbers 0 ... 255 (any integer or float dtype,
    any memory order), at most 1025 wide, or a path opened as ``read_picture`` does.
    Without ``level`` and ``steps`` it goes down to the coarsest level, 2. Delta as in
    ``filters``. The picture's level is the smallest L with ``2**L + 1 >= width``; only
    its top ``2**L + 1`` rows are transformed, as in the program. ``basis`` "haar",
    "cdf53" or "cdf97" decomposes by lifting with whole-sample symmetric extension on the
    picture's own width x transformed rows instead, in the same square with its own band
    layout (no Delta; every own coefficient is coded; the synthesis is its own).
    """
    return Decomposition(picture, level=level, steps=steps, delta=delta, position=position, basis=basis)


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
             bpp: Optional[float] = None, synthesis: Optional[str] = None, basis: str = "blac",
             padding: str = "zero") -> dict:
    """The whole road of ``tesora-cli compress --json``, as a dict with its fields.

    Decomposes to ``level`` (or ``steps`` below the picture's own), removes details by
    ``rule`` ("flat" as "Reduce" does below ``epsilon``, "norm", or "levels" with
    ``epsilons``, one per step, coarsest first) or down to a share of ``zeros`` percent of
    the picture's own details, optionally quantises with step ``quantise``, reconstructs
    and measures (``synthesis``: "specified", the program's, or "exact", the true inverse of
    the analysis). Without ``epsilon``, ``zeros`` or the levels rule nothing is removed.
    ``bpp`` in place of ``quantise`` finds the step that brings ``entropy_bpp`` to at most
    that rate. ``basis`` "haar", "cdf53" or "cdf97" decomposes by lifting instead of BLaC
    (no Delta, padding or synthesis then); ``padding="mirror"`` fills BLaC's square beyond
    the picture by mirroring it instead of with zeros.
    The fields and numbers equal the command-line tool's exactly; a path as ``picture`` is
    its ``picture`` field (None for an array). Figures JSON has as null are None.
    """
    return _tesora.compress(picture, level=level, steps=steps, delta=delta, position=position,
                            epsilon=epsilon, zeros=zeros, rule=rule, epsilons=epsilons, quantise=quantise,
                            bpp=bpp, synthesis=synthesis, basis=basis, padding=padding)


def propose_delta(picture: PictureLike, *, schranke: float = 50.0, position: Optional[int] = None) -> dict:
    """"Calc Delta" on the freshly opened picture, as ``tesora-cli propose --json``.

    ``schranke`` is the bound of the difference values counted below it; ``position``
    the scroll bar before the proposal (default 0). Returns the sums, the position the
    scroll bar ends at, Delta afterwards and the labels.
    """
    return _tesora.propose_delta(picture, schranke=schranke, position=position)


def best_delta(picture: PictureLike, *, bpp: float, rule: str = "flat", level: Optional[int] = None,
               steps: Optional[int] = None, progress: bool = False) -> dict:
    """The Delta with the highest ``psnr_exact`` at ``bpp`` bits per pixel, as
    ``tesora-cli best-delta --json`` gives it for one picture.

    Every scroll position 0 ... 100 is tried, each with the quantiser step that brings
    ``entropy_bpp`` to at most ``bpp`` (nothing removed before quantising; ``rule``
    "flat" or "norm" weighs the coefficients); a golden-section search then refines the
    best between its neighbours to 1e-3. Beside it: ``delta0_psnr``, the "Calc Delta"
    proposal ``proposal_delta`` with ``proposal_psnr``, and ``regret_db``, what the
    proposal gives up. Default level: five steps below the picture's own, at least 2.
    ``progress=True`` writes a line to stderr at every tenth of the 101 positions.
    """
    name = None
    if isinstance(picture, (str, os.PathLike)):
        name = os.fspath(picture)
        picture = read_picture(picture)
    told = None
    if progress:
        meter = _Progress(101, True)
        told = lambda done, total: meter.advance(done - meter.done)  # noqa: E731
    return _tesora.best_delta(picture, name, bpp=bpp, rule=rule, level=level, steps=steps, progress=told)


def study(pictures: Sequence[PictureLike], *, deltas: Optional[Sequence[float]] = None,
          bases: Optional[Sequence[str]] = None, bpp: Optional[Sequence[float]] = None,
          quantise: Optional[Sequence[float]] = None, rule: str = "norm", synthesis: str = "exact", steps: int = 5,
          level: Optional[int] = None, executor=None, progress: bool = False) -> list:
    """Rate and quality of many pictures at many Deltas or bases and rates: one dict per
    picture x Delta or basis x rate, with the fields of ``tesora-cli sweep``'s table
    (``picture``, ``level``, ``position``, ``delta``, ... ``coded_count``) and ``basis``,
    ``quantise`` and ``bpp`` beside them, the same values the tool gives for that row
    (None where its JSON has null).

    ``deltas`` (default: the scroll positions 0, 10, ... 100) apply to the basis "blac";
    ``bases`` lists "blac", "haar", "cdf53", "cdf97" (default: "blac" alone). Each
    ``quantise`` step or ``bpp`` target gives one row (neither: one row, nothing
    quantised); nothing is removed before quantising, ``rule`` "norm" or "flat" weighs
    the coefficients. Pictures go down ``steps`` levels (or to ``level``).

    Each picture x Delta or basis is one task: by default they run in a local pool of
    processes, one per core; ``executor`` may be any ``concurrent.futures.Executor`` or a
    ``dask.distributed.Client``, whose workers must then import ``tesora`` and read the
    paths given. The rows come in the same order either way: pictures, then bases, then
    Deltas, then rates. ``progress=True`` writes a line to stderr at every tenth of the rows.
    """
    return _study(pictures, deltas=deltas, bases=bases, bpp=bpp, quantise=quantise, rule=rule,
                  synthesis=synthesis, steps=steps, level=level, executor=executor, progress=progress)


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
