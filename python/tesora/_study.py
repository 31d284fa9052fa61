"""tesora.study: many pictures at many Deltas or bases and rates, one task per picture and
Delta or basis, run by a local process pool or any executor (a dask cluster included)."""
from __future__ import annotations

import concurrent.futures
import multiprocessing
import os
import sys
import time

from . import _tesora

# Without Deltas, the scroll positions the command-line tool's sweep takes by default.
_DEFAULT_POSITIONS = tuple(range(0, 101, 10))


def _task(picture, name, delta, position, basis, settings):
    # The synthesis is BLaC's; a lifting basis reconstructs exactly and its rows say "specified",
    # as the command-line tool's do.
    if basis != "blac":
        settings = dict(settings, synthesis="specified")
    return _tesora._study_task(picture, name, delta=delta, position=position, basis=basis, **settings)


def _pool_worker_start(threads):
    _tesora._set_transform_threads(threads)


def _duration(seconds):
    total = max(0, round(seconds))
    hours, minutes, secs = total // 3600, total // 60 % 60, total % 60
    return f"{hours}:{minutes:02}:{secs:02}" if hours else f"{minutes}:{secs:02}"


class _Progress:
    """A line on stderr at every tenth of the rows, with the time so far and the time left."""

    def __init__(self, total, enabled):
        self.total, self.enabled, self.done, self.tenths = total, enabled and total > 0, 0, 0
        self.start = time.monotonic()

    def advance(self, rows):
        if not self.enabled:
            return
        self.done = min(self.total, self.done + rows)
        tenths = self.done * 10 // self.total
        if tenths <= self.tenths:
            return
        self.tenths = tenths
        elapsed = time.monotonic() - self.start
        line = f"{self.done}/{self.total} rows, {_duration(elapsed)} elapsed"
        if self.done < self.total:
            line += f", about {_duration(elapsed * (self.total - self.done) / self.done)} left"
        print(f"Progress: {tenths * 10} % ({line})", file=sys.stderr, flush=True)


def _tasks(pictures, deltas, bases):
    """(picture, name, delta, position, basis) per task: pictures first, then bases, then Deltas."""
    if isinstance(pictures, (str, bytes, os.PathLike)) or getattr(pictures, "ndim", 0) == 2:
        raise TypeError("pictures must be a list of pictures (paths or 2-D arrays), not one picture")
    blac = [(d, None) for d in deltas] if deltas is not None else [(None, p) for p in _DEFAULT_POSITIONS]
    if deltas is not None and not blac:
        raise ValueError("deltas is empty")
    bases = ["blac"] if bases is None else list(bases)
    if not bases:
        raise ValueError("bases is empty")
    for basis in bases:
        if not isinstance(basis, str):
            raise TypeError(f"bases must hold names, not {basis!r}")
    tasks = []
    for picture in pictures:
        name = os.fsdecode(picture) if isinstance(picture, (str, bytes, os.PathLike)) else None
        for basis in bases:
            for delta, position in blac if basis == "blac" else [(None, None)]:
                tasks.append((picture, name, delta, position, basis))
    return tasks


def _listed(rates):
    """A list of steps or rates; one number stands for a list of one."""
    if rates is None:
        return None
    return [rates] if isinstance(rates, (int, float)) and not isinstance(rates, bool) else list(rates)


def _is_dask(executor):
    return type(executor).__module__.split(".")[0] == "distributed" and hasattr(executor, "gather")


def study(pictures, *, deltas=None, bases=None, bpp=None, quantise=None, rule="norm", synthesis="exact", steps=5,
          level=None, executor=None, progress=False):
    tasks = _tasks(pictures, deltas, bases)
    settings = dict(level=level, steps=None if level is not None else steps, rule=rule, synthesis=synthesis,
                    quantise=_listed(quantise), bpp=_listed(bpp))
    rates = max(1, len(settings["quantise"] or settings["bpp"] or ()))
    meter = _Progress(len(tasks) * rates, progress)
    if not tasks:
        return []
    if executor is None:
        workers = max(1, min(os.cpu_count() or 1, len(tasks)))
        # A fresh interpreter per worker: a forked one would inherit the caller's threads' locks.
        context = multiprocessing.get_context("forkserver")
        with concurrent.futures.ProcessPoolExecutor(workers, mp_context=context, initializer=_pool_worker_start,
                                                    initargs=(max(1, (os.cpu_count() or 1) // workers),)) as pool:
            return _run(pool, tasks, settings, meter, concurrent.futures.as_completed, {})
    if _is_dask(executor):
        from distributed import as_completed
        # Each task is new work, even when two have equal arguments.
        return _run(executor, tasks, settings, meter, as_completed, {"pure": False})
    return _run(executor, tasks, settings, meter, concurrent.futures.as_completed, {})


def _run(executor, tasks, settings, meter, as_completed, options):
    futures = [executor.submit(_task, *task, settings, **options) for task in tasks]
    order = {id(future): i for i, future in enumerate(futures)}
    results = [None] * len(futures)
    try:
        for future in as_completed(futures):
            rows = future.result()
            results[order[id(future)]] = rows
            meter.advance(len(rows))
    except BaseException:
        for future in futures:
            future.cancel()
        raise
    return [row for rows in results for row in rows]
