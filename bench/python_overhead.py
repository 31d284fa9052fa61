#!/usr/bin/env python3
"""decompose + reconstruct of a 1025 x 1025 picture from Python, the same work that
bench_tools' BM_DecomposeReconstructValues does in C++: the difference is what the
module adds (argument checks, array conversion, the result's copy). Also the import time."""
import statistics
import subprocess
import sys
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build-bench"
sys.path.insert(0, f"{build}/python")

started = time.perf_counter()
import numpy as np  # noqa: E402
import tesora  # noqa: E402
imported = time.perf_counter() - started

y, x = np.mgrid[0:1025, 0:1025]
picture = (((x + 2 * y) // 9) % 160 + ((x // 128 + y // 96) % 2) * 60 + (x * y) % 17).astype(np.uint8)

times = []
for _ in range(25):
    t = time.perf_counter()
    tesora.decompose(picture, level=2, delta=0.5).reconstruct()
    times.append(time.perf_counter() - t)
times.sort()
print(f"python decompose+reconstruct 1025x1025: min {times[0] * 1e3:.2f} ms, "
      f"median {statistics.median(times) * 1e3:.2f} ms (25 runs)")
# A fresh interpreter, so that numpy's own import is counted apart from the module's.
code = ("import time, numpy; t = time.perf_counter(); import tesora; "
        "print(f'{(time.perf_counter() - t) * 1e3:.1f}')")
fresh = [float(subprocess.run([sys.executable, "-c", code], env={"PYTHONPATH": f"{build}/python"},
                              capture_output=True, text=True, check=True).stdout) for _ in range(5)]
print(f"import tesora (numpy already loaded): min {min(fresh):.1f} ms; with numpy here: {imported * 1e3:.1f} ms")
