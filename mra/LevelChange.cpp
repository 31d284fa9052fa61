#include "mra/LevelChange.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "matrix/Tridiagonal.h"
#include "mra/LevelOperators.h"
#include "mra/Rendering.h"

namespace tesora {

namespace {

const std::string kSmoothingText = "Berechne Glättekoeffs...";
const std::string kDetailsText = "Berechne Details...";
const std::string kPaintingText = "Trage Daten ins Bild ein...";
const std::string kDoneText = "Fertig!";


constexpr std::size_t kStride = kMaxSide;  // row stride of CoeffMatrix
// Lines transformed together: wide enough to keep the vector units busy in the
// tridiagonal sweeps, small enough that one chunk of lines stays in the L2 cache.
constexpr std::size_t kChunk = 32;

// One scratch arena for the whole run: the gathered lines and the results of a chunk.
struct Arena {
    std::vector<double> in = std::vector<double>(kMaxSide * kChunk);
    std::vector<double> out = std::vector<double>(kMaxSide * kChunk);
    std::vector<std::uint32_t> words = std::vector<std::uint32_t>(kMaxSide * kChunk);
};
Arena& Scratch() {
    static Arena arena;
    return arena;
}

// Everything one level step needs, computed once per level: the Gram matrices are the
// same for every line of the level, so building and factoring them once is equivalent
// to doing it per line.
struct AnalysisSetup {
    int n = 0;
    ScalingFactors scaling{};
    WaveletFactors wavelet{};
    TridiagonalCholesky scalingSolver;
    TridiagonalCholesky waveletSolver;
};

void PrepareAnalysis(AnalysisSetup& setup, int L) {
    setup.n = Pow2Int[L];
    BuildScalingGram(Delta, L);
    BuildWaveletGram(Delta, L);
    setup.scalingSolver.Factor(ScalingGram(L));
    setup.waveletSolver.Factor(WaveletGram(L));
    setup.scaling = ComputeScalingFactors(Delta);
    setup.wavelet = ComputeWaveletFactors(Delta);
}

// Inner products of `count` lines with the scaling functions, then the solve.
// Lines are interleaved: element i of line m is F[i * fs + m]; results likewise in out
// (rows 0 ... n). Each sum runs left to right exactly like ScalingInnerProducts.
TESORA_WIDE_VECTORS
void SmoothChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count) {
    const int n = setup.n;
    const ScalingFactors& f = setup.scaling;
    {
        const double* __restrict f0 = F;
        const double* __restrict f1 = F + fs;
        const double* __restrict f2 = F + 2 * fs;
        double* __restrict a = out;
        for (std::size_t m = 0; m < count; ++m)
            a[m] = f.left[0] * f0[m] + f.left[1] * f1[m] + f.left[2] * f2[m];
    }
    for (int k = 1; k <= n - 1; ++k) {
        const double* __restrict f0 = F + static_cast<std::size_t>(2 * k - 2) * fs;
        const double* __restrict f1 = f0 + fs;
        const double* __restrict f2 = f1 + fs;
        const double* __restrict f3 = f2 + fs;
        const double* __restrict f4 = f3 + fs;
        double* __restrict a = out + static_cast<std::size_t>(k) * os;
        const double c0 = f.inner[0], c1 = f.inner[1], c2 = f.inner[2], c3 = f.inner[3], c4 = f.inner[4];
        for (std::size_t m = 0; m < count; ++m)
            a[m] = c0 * f0[m] + c1 * f1[m] + c2 * f2[m] + c3 * f3[m] + c4 * f4[m];
    }
    {
        const double* __restrict f0 = F + static_cast<std::size_t>(2 * n - 2) * fs;
        const double* __restrict f1 = f0 + fs;
        const double* __restrict f2 = f1 + fs;
        double* __restrict a = out + static_cast<std::size_t>(n) * os;
        for (std::size_t m = 0; m < count; ++m)
            a[m] = f.right[0] * f0[m] + f.right[1] * f1[m] + f.right[2] * f2[m];
    }
    setup.scalingSolver.SolveInterleaved(out, os, count);
}

// Inner products with the wavelets and the solve; results in out rows n+1 ... 2n.
TESORA_WIDE_VECTORS
void DetailChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count) {
    const int n = setup.n;
    const WaveletFactors& f = setup.wavelet;
    double* details = out + static_cast<std::size_t>(n + 1) * os;
    {
        const double* __restrict f0 = F;
        const double* __restrict f1 = F + fs;
        const double* __restrict f2 = F + 2 * fs;
        const double* __restrict f3 = F + 3 * fs;
        const double* __restrict f4 = F + 4 * fs;
        double* __restrict d = details;
        for (std::size_t m = 0; m < count; ++m)
            d[m] = f.left[0] * f0[m] + f.left[1] * f1[m] + f.left[2] * f2[m] + f.left[3] * f3[m] +
                   f.left[4] * f4[m];
    }
    const double c0 = f.inner[0], c1 = f.inner[1], c2 = f.inner[2], c3 = f.inner[3], c4 = f.inner[4],
                 c5 = f.inner[5], c6 = f.inner[6];
    for (int w = 1; w <= n - 2; ++w) {
        const double* __restrict f0 = F + static_cast<std::size_t>(2 * w - 2) * fs;
        const double* __restrict f1 = f0 + fs;
        const double* __restrict f2 = f1 + fs;
        const double* __restrict f3 = f2 + fs;
        const double* __restrict f4 = f3 + fs;
        const double* __restrict f5 = f4 + fs;
        const double* __restrict f6 = f5 + fs;
        double* __restrict d = details + static_cast<std::size_t>(w) * os;
        for (std::size_t m = 0; m < count; ++m)
            d[m] = c0 * f0[m] + c1 * f1[m] + c2 * f2[m] + c3 * f3[m] + c4 * f4[m] + c5 * f5[m] + c6 * f6[m];
    }
    {
        const double* __restrict f0 = F + static_cast<std::size_t>(2 * n - 4) * fs;
        const double* __restrict f1 = f0 + fs;
        const double* __restrict f2 = f1 + fs;
        const double* __restrict f3 = f2 + fs;
        const double* __restrict f4 = f3 + fs;
        double* __restrict d = details + static_cast<std::size_t>(n - 1) * os;
        for (std::size_t m = 0; m < count; ++m)
            d[m] = f.right[0] * f0[m] + f.right[1] * f1[m] + f.right[2] * f2[m] + f.right[3] * f3[m] +
                   f.right[4] * f4[m];
    }
    setup.waveletSolver.SolveInterleaved(details, os, count);
}

// SynthesiseLine for `count` interleaved lines: c in rows 0 ... n and d in rows
// n+1 ... 2n of `in`, v into rows 0 ... 2n of `out`. Each output row is finished in one
// go, with its terms in the order SynthesiseLine adds them: the scaling part, the left
// wavelet, the interior wavelets in increasing order, the right wavelet.
TESORA_WIDE_VECTORS
void SynthesiseChunk(int n, const double* in, std::size_t is, double* out, std::size_t os, std::size_t count) {
    const double half = HalfDelta, oneMinusHalf = OneMinusHalfDelta;
    const double* d = in + static_cast<std::size_t>(n + 1) * is;
    auto cRow = [&](int k) { return in + static_cast<std::size_t>(k) * is; };
    auto dRow = [&](int m) { return d + static_cast<std::size_t>(m) * is; };
    auto add = [count](double* __restrict v, const double* __restrict dm, double factor) {
        for (std::size_t m = 0; m < count; ++m) v[m] = v[m] + dm[m] * factor;
    };
    for (int p = 0; p <= 2 * n; ++p) {
        double* __restrict v = out + static_cast<std::size_t>(p) * os;
        const int k = p / 2;
        if (p % 2 == 0) {
            const double* __restrict c0 = cRow(k);
            for (std::size_t m = 0; m < count; ++m) v[m] = c0[m];
        } else {
            const double* __restrict c0 = cRow(k);
            const double* __restrict c1 = cRow(k + 1);
            for (std::size_t m = 0; m < count; ++m) v[m] = c0[m] * half + c1[m] * oneMinusHalf;
        }
        if (p <= 3) add(v, dRow(0), WaveletLeft[p]);
        // Interior wavelet w covers positions 2w-1 ... 2w+3.
        const int first = std::max(1, (p - 2) / 2);
        const int last = std::min(n - 2, (p + 1) / 2);
        for (int w = first; w <= last; ++w) {
            const int i = p - (2 * w - 1);
            if (i >= 0 && i <= 4) add(v, dRow(w), WaveletInner[i]);
        }
        if (p >= 2 * n - 3) add(v, dRow(n - 1), WaveletRight[p - (2 * n - 3)]);
    }
}

// Lines r0 ... r0+count-1 of CoeffMatrix (contiguous rows) into interleaved form and
// back. Blocks of kTransposeBlock elements keep the touched cache lines of the
// interleaved side in L1 while every line of the chunk passes through.
constexpr std::size_t kTransposeBlock = 64;

void GatherRows(const double* M, std::size_t r0, std::size_t count, std::size_t length, double* in) {
    for (std::size_t i0 = 0; i0 < length; i0 += kTransposeBlock) {
        const std::size_t i1 = std::min(length, i0 + kTransposeBlock);
        for (std::size_t m = 0; m < count; ++m) {
            const double* __restrict src = M + (r0 + m) * kStride;
            double* __restrict dst = in + m;
            for (std::size_t i = i0; i < i1; ++i) dst[i * kChunk] = src[i];
        }
    }
}

void ScatterRows(const double* out, std::size_t r0, std::size_t count, std::size_t length, double* M) {
    for (std::size_t i0 = 0; i0 < length; i0 += kTransposeBlock) {
        const std::size_t i1 = std::min(length, i0 + kTransposeBlock);
        for (std::size_t m = 0; m < count; ++m) {
            double* __restrict dst = M + (r0 + m) * kStride;
            const double* __restrict src = out + m;
            for (std::size_t i = i0; i < i1; ++i) dst[i] = src[i * kChunk];
        }
    }
}

TESORA_WIDE_VECTORS
void CopyColumns(const double* out, std::size_t c0, std::size_t count, std::size_t length, double* M) {
    for (std::size_t i = 0; i < length; ++i) {
        double* __restrict dst = M + i * kStride + c0;
        const double* __restrict src = out + i * kChunk;
        for (std::size_t m = 0; m < count; ++m) dst[m] = src[m];
    }
}

// ClampToByte written without branches so the conversion loops vectorise; the same
// result for every double, NaN included (it fails both comparisons and becomes 0).
inline std::uint32_t ClampedGrey(double value) {
    double v = value > 255.0 ? 255.0 : value;
    v = v >= 0.0 ? v : 0.0;
    return static_cast<std::uint32_t>(static_cast<int>(v));
}

// Grey words of `count` values, plain or inverted.
void ToWords(const double* __restrict values, std::uint32_t* __restrict words, std::size_t count, bool inverted) {
    if (inverted)
        for (std::size_t m = 0; m < count; ++m) words[m] = 0xFF000000u | (255u - ClampedGrey(values[m])) * 0x010101u;
    else
        for (std::size_t m = 0; m < count; ++m) words[m] = 0xFF000000u | ClampedGrey(values[m]) * 0x010101u;
}

// Paints a chunk of matrix rows r0 ... r0+count-1 (pixel columns x = r0 + m): value k of
// line m goes to pixel (x, k); values 0 ... plainRows-1 plain grey, the rest inverted.
TESORA_WIDE_VECTORS
void PaintRowChunk(PictureSurface& picture, const double* out, std::size_t r0, std::size_t count,
                   std::size_t length, std::size_t plainRows) {
    const auto width = static_cast<std::size_t>(picture.Width());
    const auto height = static_cast<std::size_t>(picture.Height());
    if (r0 >= width) return;
    const std::size_t visible = std::min(count, width - r0);
    const std::size_t rows = std::min(length, height);
    for (std::size_t k = 0; k < rows; ++k)
        ToWords(out + k * kChunk, picture.ScanLine(static_cast<int>(k)) + r0, visible, k >= plainRows);
}

// Paints a chunk of matrix columns c0 ... c0+count-1 (pixel rows y = c0 + m): value k of
// line m goes to pixel (k, y). Values k < plainCount are plain grey unless the line is
// at or beyond firstInvertedLine; the others are inverted. The words are formed in the
// chunk's own layout and then transposed onto the scan lines in small tiles.
TESORA_WIDE_VECTORS
void PaintColumnChunk(PictureSurface& picture, const double* out, std::uint32_t* words, std::size_t c0,
                      std::size_t count, std::size_t length, std::size_t plainCount, std::size_t firstInvertedLine) {
    const auto width = static_cast<std::size_t>(picture.Width());
    const auto height = static_cast<std::size_t>(picture.Height());
    if (c0 >= height) return;
    const std::size_t visible = std::min(count, height - c0);
    const std::size_t values = std::min(length, width);
    const std::size_t plainLines = firstInvertedLine > c0 ? std::min(visible, firstInvertedLine - c0) : 0;
    for (std::size_t k = 0; k < values; ++k) {
        const double* v = out + k * kChunk;
        std::uint32_t* w = words + k * kChunk;
        if (k < plainCount) {
            ToWords(v, w, plainLines, false);
            ToWords(v + plainLines, w + plainLines, visible - plainLines, true);
        } else {
            ToWords(v, w, visible, true);
        }
    }
    constexpr std::size_t kTile = 16;
    for (std::size_t k0 = 0; k0 < values; k0 += kTile) {
        const std::size_t k1 = std::min(values, k0 + kTile);
        for (std::size_t m = 0; m < visible; ++m) {
            std::uint32_t* __restrict line = picture.ScanLine(static_cast<int>(c0 + m));
            for (std::size_t k = k0; k < k1; ++k) line[k] = words[k * kChunk + m];
        }
    }
}

// The formulas need two interior wavelets (L >= 2), and a fine line must fit the
// 1025 values of CoeffMatrix (L <= 9); anything else would read or write out of bounds.
void CheckCoarseLevel(int L) {
    if (L < 2 || L >= kMaxLevel)
        throw Error("Level " + std::to_string(L) + " liegt außerhalb von 2 bis 9!");
}

}  // namespace

void AnalyseLine(Frontend& frontend, int L, double* c, double* d) {
    const int n = Pow2Int[L];
    frontend.SetStatus(kSmoothingText);
    BuildScalingGram(Delta, L);
    auto a = ScalingInnerProducts(Delta, L);
    ScalingGram(L).SolveCholesky(a.get());
    std::copy(a.get(), a.get() + n + 1, c);
    frontend.SetStatus(kDetailsText);
    BuildWaveletGram(Delta, L);
    auto b = WaveletInnerProducts(Delta, L);
    WaveletGram(L).SolveCholesky(b.get());
    std::copy(b.get(), b.get() + n, d);
}

void SynthesiseLine(int L, const double* c, const double* d, double* v) {
    const int n = Pow2Int[L];
    for (int k = 0; k <= n - 1; ++k) {
        v[2 * k] = c[k];
        v[2 * k + 1] = c[k] * HalfDelta + c[k + 1] * OneMinusHalfDelta;
    }
    v[2 * n] = c[n];
    for (int i = 0; i <= 3; ++i) v[i] += d[0] * WaveletLeft[i];
    for (int m = 1; m <= n - 2; ++m)
        for (int i = 0; i <= 4; ++i) v[2 * m - 1 + i] += d[m] * WaveletInner[i];
    for (int i = 0; i <= 3; ++i) v[2 * n - 3 + i] += d[n - 1] * WaveletRight[i];
}

void DecomposeLevel(Frontend& frontend, int L) {
    CheckCoarseLevel(L);
    static AnalysisSetup setup;  // keeps the factors' storage from level to level
    PrepareAnalysis(setup, L);
    const std::size_t n = static_cast<std::size_t>(Pow2Int[L]);
    const std::size_t lines = 2 * n + 1;
    Arena& arena = Scratch();
    double* M = CoeffMatrix.Data();
    PictureSurface& picture = frontend.Bild();

    // Rows of the matrix are the vertical pixel lines x = r - 1.
    for (std::size_t r0 = 0; r0 < lines; r0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - r0);
        GatherRows(M, r0, count, lines, arena.in.data());
        frontend.SetStatus(kSmoothingText);
        SmoothChunk(setup, arena.in.data(), kChunk, arena.out.data(), kChunk, count);
        frontend.SetStatus(kDetailsText);
        DetailChunk(setup, arena.in.data(), kChunk, arena.out.data(), kChunk, count);
        frontend.SetStatus(kPaintingText);
        PaintRowChunk(picture, arena.out.data(), r0, count, lines, n + 1);
        ScatterRows(arena.out.data(), r0, count, lines, M);
        picture.Refresh();
    }
    // Columns of the matrix are the horizontal pixel lines y = col - 1; element i of
    // every column in a chunk is contiguous in matrix row i.
    for (std::size_t c0 = 0; c0 < lines; c0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - c0);
        frontend.SetStatus(kSmoothingText);
        SmoothChunk(setup, M + c0, kStride, arena.out.data(), kChunk, count);
        frontend.SetStatus(kDetailsText);
        DetailChunk(setup, M + c0, kStride, arena.out.data(), kChunk, count);
        frontend.SetStatus(kPaintingText);
        PaintColumnChunk(picture, arena.out.data(), arena.words.data(), c0, count, lines, n + 1, n + 1);
        CopyColumns(arena.out.data(), c0, count, lines, M);
        picture.Refresh();
        frontend.SetStatus(kDoneText);
    }
}

void ReconstructLevel(Frontend& frontend, int L) {
    CheckCoarseLevel(L);
    const int n = Pow2Int[L];
    const std::size_t lines = 2 * static_cast<std::size_t>(n) + 1;
    Arena& arena = Scratch();
    double* M = CoeffMatrix.Data();
    PictureSurface& picture = frontend.Bild();

    for (std::size_t c0 = 0; c0 < lines; c0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - c0);
        SynthesiseChunk(n, M + c0, kStride, arena.out.data(), kChunk, count);
        PaintColumnChunk(picture, arena.out.data(), arena.words.data(), c0, count, lines, lines, lines);
        CopyColumns(arena.out.data(), c0, count, lines, M);
        picture.Refresh();
    }
    for (std::size_t r0 = 0; r0 < lines; r0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - r0);
        GatherRows(M, r0, count, lines, arena.in.data());
        SynthesiseChunk(n, arena.in.data(), kChunk, arena.out.data(), kChunk, count);
        PaintRowChunk(picture, arena.out.data(), r0, count, lines, lines);
        ScatterRows(arena.out.data(), r0, count, lines, M);
        picture.Refresh();
    }
}

void LevelChange(Frontend& frontend, int position) {
    // The coarsest level in use is 2, the finest the picture's own; a level-1 picture
    // has nothing to transform.
    const int finest = std::min<int>(PictureLevel, kMaxLevel);
    int target = CurrentLevel;
    if (finest >= 2 && CurrentLevel >= 2 && CurrentLevel <= kMaxLevel) target = std::clamp(position, 2, finest);

    if (target < CurrentLevel) {
        frontend.SetEnabled(Control::butFehler, false);
        while (target < CurrentLevel) {
            --CurrentLevel;
            DecomposeLevel(frontend, CurrentLevel);
        }
        RenderReducedPicture(frontend);
    } else if (target > CurrentLevel) {
        while (CurrentLevel < target) {
            ReconstructLevel(frontend, CurrentLevel);
            ++CurrentLevel;
        }
        RenderReducedPicture(frontend);
    }
    if (CurrentLevel == PictureLevel) frontend.SetEnabled(Control::butFehler, true);
    ShowLevelAndDelta(frontend);
}

}  // namespace tesora
