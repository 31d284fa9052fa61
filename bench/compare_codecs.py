#!/usr/bin/env python3
"""Tesora's coder beside JPEG 2000 and JPEG (through the system's picture library, PIL),
at the same file sizes: PSNR at 0.25, 0.5 and 1 bit per pixel on the samples and on
generated pictures, grey (the red channel) and colour, and the encode + decode time of a
1025 x 1025 picture at 1 bpp, all in one run. Every other codec's file is the largest it
makes within Tesora's budget (bpp x pixels / 8 bytes, header included).

usage: compare_codecs.py [BUILD_DIR] [--quick | --speed]
  --quick: grey only, no best Delta; --speed: only the times
"""
import io
import statistics
import sys
import time
from pathlib import Path

try:
    from PIL import Image
except ImportError:
    print("compare_codecs: PIL (python3-pil) is not installed; nothing compared")
    sys.exit(0)

ROOT = Path(__file__).resolve().parent.parent
args = [a for a in sys.argv[1:] if not a.startswith("--")]
QUICK = "--quick" in sys.argv
SPEED_ONLY = "--speed" in sys.argv
sys.path.insert(0, str(Path(args[0] if args else ROOT / "build-bench") / "python"))
import numpy as np  # noqa: E402
import tesora  # noqa: E402

RATES = (0.25, 0.5, 1.0)


def psnr(a, b):
    mse = np.mean((np.asarray(a, np.float64) - np.asarray(b, np.float64)) ** 2)
    return float("inf") if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def luma(rgb):
    return rgb[..., :3].astype(np.float64) @ np.array([0.299, 0.587, 0.114])


def pictures():
    """name -> RGB array: the samples, camera-512 enlarged to 1025 x 1025 (nearest, as the
    transform benchmarks use it) and a generated picture with smooth areas, edges and texture."""
    out = {}
    for name in ("camera-512", "brick-512", "chelsea-451x300"):
        out[name] = np.asarray(Image.open(ROOT / "samples" / f"{name}.bmp").convert("RGB"))
    out["camera-1025"] = np.asarray(Image.fromarray(out["camera-512"]).resize((1025, 1025), Image.NEAREST))
    y, x = np.mgrid[0:300, 0:400]
    planes = [110 + 60 * np.sin((x + p) * 0.07) * np.cos(y * 0.05) + 40 * (x > 200) + (x * 7 + y * 13 + p) % 11
              for p in (0, 17, 40)]
    out["generated-400x300"] = np.clip(np.stack(planes, axis=-1), 0, 255).astype(np.uint8)
    return out


def pil_bytes(picture, **options):
    buffer = io.BytesIO()
    Image.fromarray(picture).save(buffer, **options)
    return buffer.getvalue()


def pil_decode(data, colour):
    image = Image.open(io.BytesIO(data))
    return np.asarray(image.convert("RGB" if colour else "L"))


def jpeg2000(picture, ratio, mct=0):
    """mct=1: the standard's colour transform (PIL's default, 0, codes R, G and B apart)."""
    return pil_bytes(picture, format="JPEG2000", quality_mode="rates", quality_layers=[ratio], irreversible=True,
                     mct=mct)


def jpeg2000_within(picture, budget, mct=0):
    """The largest JPEG 2000 file within the budget: a bisection on the compression ratio."""
    low, high, best = picture.nbytes / budget * 0.8, picture.nbytes / budget * 8, None
    for _ in range(12):
        mid = (low * high) ** 0.5
        data = jpeg2000(picture, mid, mct)
        if len(data) <= budget:
            best, high = data if best is None or len(data) > len(best) else best, mid
        else:
            low = mid
    return best


def jpeg_within(picture, budget):
    """The JPEG file of the highest quality (1 ... 95) within the budget; None if none fits."""
    low, high, best = 1, 95, None
    while low <= high:
        quality = (low + high) // 2
        data = pil_bytes(picture, format="JPEG", quality=quality)
        if len(data) <= budget:
            best, low = data, quality + 1
        else:
            high = quality - 1
    return best


def figures(original, decoded, colour):
    if not colour:
        return f"{psnr(original, decoded):6.2f}"
    return f"{psnr(original, decoded):6.2f} / {psnr(luma(original), luma(decoded)):6.2f}"


def compare(name, rgb, colour):
    picture = rgb if colour else np.ascontiguousarray(rgb[..., 0])
    pixels = picture.shape[0] * picture.shape[1]
    rows = {"cdf97": dict(basis="cdf97"), "BLaC Delta 0 (exact)": dict(delta=0.0, synthesis="exact"),
            "BLaC Delta 0.5 (exact)": dict(delta=0.5, synthesis="exact")}
    if not QUICK:
        # The Delta the program's own rate search finds best (entropy at 0.5 bpp, norm rule).
        best = tesora.best_delta(np.ascontiguousarray(rgb[..., 0]), bpp=0.5, rule="norm")["best_delta"]
        rows[f"BLaC best_delta {best:.3f} (exact)"] = dict(delta=best, synthesis="exact")
    kind = "colour: PSNR RGB / Y" if colour else "grey (red): PSNR"
    print(f"\n{name} {picture.shape[1]}x{picture.shape[0]}, {kind}, at " + " / ".join(f"{r} bpp" for r in RATES))
    for label, options in rows.items():
        cells = []
        for rate in RATES:
            data = tesora.encode(picture, bpp=rate, colour=colour, **options)
            cells.append(figures(picture, tesora.decode(data), colour))
        print(f"  {label:34s} " + " | ".join(cells))
    others = [("JPEG 2000", jpeg2000_within), ("JPEG", jpeg_within)]
    if colour:
        others.insert(1, ("JPEG 2000, colour transform", lambda p, b: jpeg2000_within(p, b, mct=1)))
    for label, within in others:
        cells = []
        for rate in RATES:
            data = within(picture, int(rate * pixels / 8))
            cells.append("   n/a" if data is None else figures(picture, pil_decode(data, colour), colour))
        print(f"  {label:34s} " + " | ".join(cells))


def timed(run, repeats=7):
    """Medians of wall and CPU time (every thread of the process) in ms: on a loaded machine
    the wall time mostly measures the load."""
    walls, cpus = [], []
    for _ in range(repeats):
        started, cpu = time.perf_counter(), time.process_time()
        run()
        walls.append(time.perf_counter() - started)
        cpus.append(time.process_time() - cpu)
    return statistics.median(walls) * 1e3, statistics.median(cpus) * 1e3


def speed(rgb):
    grey = np.ascontiguousarray(rgb[..., 0])
    theirs = jpeg2000_within(grey, grey.size // 8)
    ratio = grey.nbytes / len(theirs)
    ours = {basis: tesora.encode(grey, bpp=1.0, basis=basis) for basis in ("cdf97", "blac")}
    print(f"\nencode + decode, {grey.shape[1]}x{grey.shape[0]} grey at 1 bpp (median of 7, ms wall / CPU):")
    runs = [(f"Tesora {basis}", lambda b=basis: tesora.encode(grey, bpp=1.0, basis=b),
             lambda b=basis: tesora.decode(ours[b])) for basis in ours]
    runs.append(("JPEG 2000", lambda: jpeg2000(grey, ratio), lambda: pil_decode(theirs, False)))
    for label, encode, decode in runs:
        e, d = timed(encode), timed(decode)
        print(f"  {label:22s} encode {e[0]:6.1f} / {e[1]:6.1f}  decode {d[0]:6.1f} / {d[1]:6.1f}"
              f"  together {e[0] + d[0]:6.1f} / {e[1] + d[1]:6.1f}")


def main():
    all_pictures = pictures()
    for name, rgb in all_pictures.items() if not SPEED_ONLY else ():
        if name == "camera-1025" and QUICK:
            continue
        compare(name, rgb, colour=False)
        if not QUICK and name in ("chelsea-451x300", "generated-400x300"):
            compare(name, rgb, colour=True)
    speed(all_pictures["camera-1025"])


if __name__ == "__main__":
    main()
