"""Studies over many pictures: one task per picture x Delta or basis, run on a local
process pool or on any executor with ``submit`` (``concurrent.futures`` or a
``dask.distributed.Client``), the rows gathered in the order of the tasks."""
from __future__ import annotations

import concurrent.futures
import os
import sys
import time
from typing import Any, Callable, Iterable, List, Optional, Sequence

from . import _tesora

DEFAULT_DELTAS = (0.0, 0.25, 0.5, 0.75, 1.0)
DEFAULT_BPP = (0.25, 0.5, 1.0, 2.0)


def _task(picture: Any, variant: dict, rates: dict, settings: dict) -> List[dict]:
    """Every rate of one picture x Delta or basis, from one decomposition."""
    if isinstance(picture, (str, os.PathLike)):
        picture = os.fspath(picture)
    return _tesora.rate_rows(picture, **variant, **rates, **settings)


def _variants(deltas: Optional[Iterable[float]], bases: Optional[Iterable[str]]) -> List[dict]:
    bases = list(bases) if bases is not None else []
    if deltas is None and not bases:
        deltas = DEFAULT_DELTAS
    variants = [{"basis": "blac", "delta": float(d)} for d in (deltas or ())]
    for basis in bases:
        if not isinstance(basis, str):
            raise TypeError(f"a basis is a name, not {type(basis).__name__}")
        if basis == "blac":
            if deltas is None:
                variants.append({"basis": "blac", "delta": 0.0})
        else:
            variants.append({"basis": basis, "delta": None})
    return variants


def _rates(bpp: Optional[Sequence[float]], quantise: Optional[Sequence[float]]) -> dict:
    if bpp is not None and quantise is not None:
        raise ValueError("give bpp or quantise, not both")
    if quantise is not None:
        return {"quantise": [float(q) for q in quantise], "bpp": None}
    return {"quantise": None, "bpp": [float(b) for b in (DEFAULT_BPP if bpp is None else bpp)]}


class _Progress:
    """The command-line tool's progress lines, one per tenth, on standard error."""

    def __init__(self, total: int, shown: bool):
        self.total, self.shown, self.done, self.tenths = total, shown, 0, 0
        self.start = time.monotonic()

    @staticmethod
    def _duration(seconds: float) -> str:
        s = int(seconds)
        return f"{s // 3600}:{s // 60 % 60:02d}:{s % 60:02d}" if s >= 3600 else f"{s // 60}:{s % 60:02d}"

    def advance(self, rows: int) -> None:
        self.done = min(self.total, self.done + rows)
        tenths = self.done * 10 // self.total if self.total else 10
        if not self.shown or tenths <= self.tenths:
            return
        self.tenths = tenths
        elapsed = time.monotonic() - self.start
        left = elapsed / self.done * (self.total - self.done) if self.done else 0.0
        print(f"Fortschritt: {tenths * 10} % ({self.done}/{self.total} Zeilen, {self._duration(elapsed)} vergangen, "
              f"noch etwa {self._duration(left)})", file=sys.stderr, flush=True)


def study(pictures: Sequence[Any], *, deltas: Optional[Iterable[float]] = None,
          bases: Optional[Iterable[str]] = None, bpp: Optional[Sequence[float]] = None,
          quantise: Optional[Sequence[float]] = None, rule: str = "norm", synthesis: str = "exact",
          steps: int = 5, padding: str = "zero", executor: Any = None, progress: bool = False) -> List[dict]:
    if isinstance(pictures, (str, os.PathLike)):
        raise TypeError("pictures is a list of paths or arrays, not one path")
    pictures = list(pictures)
    variants = _variants(deltas, bases)
    rates = _rates(bpp, quantise)
    settings = {"rule": rule, "synthesis": synthesis, "steps": steps, "padding": padding}
    per_task = len(rates["bpp"] if rates["quantise"] is None else rates["quantise"])
    tasks = [(picture, variant) for picture in pictures for variant in variants]
    meter = _Progress(len(tasks) * per_task, progress)

    def gather(submit: Callable[..., Any]) -> List[dict]:
        futures = [submit(_task, picture, variant, rates, settings) for picture, variant in tasks]
        rows: List[dict] = []
        for future in futures:
            rows.extend(future.result())
            meter.advance(per_task)
        return rows

    if executor is not None:
        if not callable(getattr(executor, "submit", None)):
            raise TypeError("executor needs a submit method (concurrent.futures.Executor or dask.distributed.Client)")
        return gather(executor.submit)
    with concurrent.futures.ProcessPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        return gather(pool.submit)
