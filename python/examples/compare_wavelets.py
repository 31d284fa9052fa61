"""BLaC wavelets at Delta 0, 0.5 and 1 against a standard wavelet at the same share of zeros.

Usage: python3 compare_wavelets.py PICTURE PLOT.png
Prints one line per wavelet and share, and draws PSNR over the share of zero details.
"""
import sys

import matplotlib
matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import numpy as np
import pywt

import tesora

SHARES = [50.0, 70.0, 80.0, 90.0, 95.0, 98.0]


def psnr(bytes_, picture):
    mse = np.mean((bytes_.astype(float) - picture) ** 2)
    return float("inf") if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def standard(picture, steps, share, wavelet="bior4.4"):
    """The same share of zero details with a standard wavelet: the smallest ones go."""
    coeffs = pywt.wavedec2(picture.astype(float), wavelet, mode="periodization", level=steps)
    array, slices = pywt.coeffs_to_array(coeffs)
    details = np.ones(array.shape, bool)
    details[slices[0]] = False  # the approximation is kept, as Reduce keeps the smoothing block
    magnitudes = np.sort(np.abs(array[details]))
    epsilon = magnitudes[int(np.ceil(share / 100 * magnitudes.size)) - 1]
    array[details & (np.abs(array) <= epsilon)] = 0.0
    rebuilt = pywt.waverec2(pywt.array_to_coeffs(array, slices, "wavedec2"), wavelet, mode="periodization")
    return tesora.to_bytes(rebuilt[:picture.shape[0], :picture.shape[1]])


def main(path, plot):
    picture = tesora.read_picture(path)
    level = 4
    results = {}
    for delta in (0.0, 0.5, 1.0):
        curve = []
        for share in SHARES:
            d = tesora.decompose(picture, level=level, delta=delta)
            counts = d.reduce(zeros=share)
            curve.append((counts["own_zero_share"], psnr(d.to_bytes(), picture)))
        results[f"BLaC Delta {delta:g}"] = curve
    steps = tesora.decompose(picture, level=level).picture_level - level
    results["bior4.4"] = [(share, psnr(standard(picture, steps, share), picture)) for share in SHARES]

    for name, curve in results.items():
        print(name + ": " + ", ".join(f"{s:.1f} % -> {p:.2f} dB" for s, p in curve))
    figure, axes = plt.subplots(figsize=(7, 4.5))
    for name, curve in results.items():
        axes.plot(*zip(*curve), marker="o", label=name)
    axes.set_xlabel("zero detail coefficients (%)")
    axes.set_ylabel("PSNR (dB)")
    axes.legend()
    axes.grid(True, alpha=0.3)
    figure.savefig(plot, dpi=100, bbox_inches="tight")
    return results


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
