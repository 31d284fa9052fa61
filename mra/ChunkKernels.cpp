// The transform's hot loops; see ChunkKernels.h. Every loop here keeps the order of the
// operations of the literal per-line transform, so both give the same bits.
#include "mra/ChunkKernels.h"

#include <algorithm>
#include <utility>

#include "matrix/Numbers.h"
#include "matrix/Simd.h"

#if TESORA_FMA_CLONES
#include <immintrin.h>
#endif

namespace tesora {

namespace {

// Grey words of `count` values, plain or inverted; inlined so that it vectorises with
// the clone that calls it.
inline __attribute__((always_inline)) void ToWords(const double* __restrict values, std::uint32_t* __restrict words,
                                                   std::size_t count, bool inverted) {
    if (inverted)
        for (std::size_t m = 0; m < count; ++m) words[m] = PictureSurface::GreyWord(255 - ClampToByte(values[m]));
    else
        for (std::size_t m = 0; m < count; ++m) words[m] = PictureSurface::GreyWord(ClampToByte(values[m]));
}

#if TESORA_FMA_CLONES
// The words of a chunk (value k of line m at scratch[k * kChunk + m]) into pixel rows,
// sixteen values of a line in one gather and one store.
TESORA_TARGET_AVX512 void TransposeWordsAvx512(const std::uint32_t* scratch, std::size_t values, std::size_t count,
                                               std::uint32_t* dst, std::size_t dstStride) {
    const __m512i across = _mm512_mullo_epi32(_mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0),
                                              _mm512_set1_epi32(static_cast<int>(kChunk)));
    const std::size_t full = values - values % 16;
    const auto tail = static_cast<__mmask16>((1u << (values % 16)) - 1u);
    for (std::size_t m = 0; m < count; ++m) {
        std::uint32_t* line = dst + m * dstStride;
        const std::uint32_t* column = scratch + m;
        std::size_t k = 0;
        // The masked gather: the plain one reads an undefined register (a false warning).
        for (; k < full; k += 16)
            _mm512_storeu_si512(
                line + k, _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, across, column + k * kChunk, 4));
        if (tail != 0)
            _mm512_mask_storeu_epi32(
                line + k, tail,
                _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), tail, across, column + k * kChunk, 4));
    }
}
#endif

}  // namespace

namespace {

// a[m] = c[0] * F[m] + c[1] * F[fs + m] + ... + c[N-1] * F[(N-1) * fs + m]: one output
// row as the weighted sum of N consecutive input rows. The left fold adds the terms left
// to right, the order of the literal transform's sums; inlined so that each clone of the
// caller vectorises it.
template <std::size_t... I>
inline __attribute__((always_inline)) void WeightedRow(double* __restrict a, const double* __restrict F, std::size_t fs,
                                                       const double* c, std::size_t count, std::index_sequence<I...>) {
    const double k[] = {c[I]...};
    for (std::size_t m = 0; m < count; ++m) a[m] = (... + (k[I] * F[I * fs + m]));
}

template <std::size_t N>
inline __attribute__((always_inline)) void WeightedRow(double* a, const double* F, std::size_t fs, const double (&c)[N],
                                                       std::size_t count) {
    WeightedRow(a, F, fs, c, count, std::make_index_sequence<N>{});
}

}  // namespace

// Inner products of `count` lines with the scaling functions, then the solve.
// Lines are interleaved: element i of line m is F[i * fs + m]; results likewise in out
// (rows 0 ... n). Each sum runs left to right exactly like ScalingInnerProducts.
TESORA_WIDE_VECTORS
void SmoothChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count) {
    const int n = setup.n;
    const ScalingFactors& f = setup.scaling;
    WeightedRow(out, F, fs, f.left, count);
    for (int k = 1; k <= n - 1; ++k)
        WeightedRow(out + static_cast<std::size_t>(k) * os, F + static_cast<std::size_t>(2 * k - 2) * fs, fs, f.inner,
                    count);
    WeightedRow(out + static_cast<std::size_t>(n) * os, F + static_cast<std::size_t>(2 * n - 2) * fs, fs, f.right,
                count);
    setup.scalingSolver.SolveInterleaved(out, os, count);
}

// Inner products with the wavelets and the solve; results in out rows n+1 ... 2n.
TESORA_WIDE_VECTORS
void DetailChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count) {
    const int n = setup.n;
    const WaveletFactors& f = setup.wavelet;
    double* details = out + static_cast<std::size_t>(n + 1) * os;
    WeightedRow(details, F, fs, f.left, count);
    for (int w = 1; w <= n - 2; ++w)
        WeightedRow(details + static_cast<std::size_t>(w) * os, F + static_cast<std::size_t>(2 * w - 2) * fs, fs,
                    f.inner, count);
    WeightedRow(details + static_cast<std::size_t>(n - 1) * os, F + static_cast<std::size_t>(2 * n - 4) * fs, fs,
                f.right, count);
    setup.waveletSolver.SolveInterleaved(details, os, count);
}

namespace {

// Wavelet terms of one output row: their rows of d and their factors, in the order
// SynthesiseLine adds them.
struct Terms {
    static constexpr int kMax = 8;
    const double* rows[kMax] = {};
    double factors[kMax] = {};
    int count = 0;
    void Add(const double* row, double factor) {
        rows[count] = row;
        factors[count++] = factor;
    }
};

// v = the scaling part (c0 on even rows, the blend of c0 and c1 on odd ones) plus the
// first Fused terms, summed in registers left to right.
template <bool Even, int Fused>
inline __attribute__((always_inline)) void SynthesiseRow(double* __restrict v, const double* __restrict c0,
                                                         const double* __restrict c1, double half, double oneMinusHalf,
                                                         const Terms& t, std::size_t count) {
    const double* __restrict r0 = t.rows[0];
    const double* __restrict r1 = t.rows[1];
    const double* __restrict r2 = t.rows[2];
    const double* __restrict r3 = t.rows[3];
    const double f0 = t.factors[0], f1 = t.factors[1], f2 = t.factors[2], f3 = t.factors[3];
    for (std::size_t m = 0; m < count; ++m) {
        double x = Even ? c0[m] : c0[m] * half + c1[m] * oneMinusHalf;
        if constexpr (Fused > 0) x = x + r0[m] * f0;
        if constexpr (Fused > 1) x = x + r1[m] * f1;
        if constexpr (Fused > 2) x = x + r2[m] * f2;
        if constexpr (Fused > 3) x = x + r3[m] * f3;
        v[m] = x;
    }
}

template <bool Even>
inline __attribute__((always_inline)) void SynthesiseRow(double* __restrict v, const double* __restrict c0,
                                                         const double* __restrict c1, double half, double oneMinusHalf,
                                                         const Terms& t, std::size_t count) {
    switch (t.count) {
        case 0: SynthesiseRow<Even, 0>(v, c0, c1, half, oneMinusHalf, t, count); break;
        case 1: SynthesiseRow<Even, 1>(v, c0, c1, half, oneMinusHalf, t, count); break;
        case 2: SynthesiseRow<Even, 2>(v, c0, c1, half, oneMinusHalf, t, count); break;
        case 3: SynthesiseRow<Even, 3>(v, c0, c1, half, oneMinusHalf, t, count); break;
        default: SynthesiseRow<Even, 4>(v, c0, c1, half, oneMinusHalf, t, count); break;
    }
    for (int j = 4; j < t.count; ++j) {  // beyond four terms (only on the smallest levels)
        const double* __restrict r = t.rows[j];
        const double f = t.factors[j];
        for (std::size_t m = 0; m < count; ++m) v[m] = v[m] + r[m] * f;
    }
}

}  // namespace

// SynthesiseLine for `count` interleaved lines: c in rows 0 ... n and d in rows
// n+1 ... 2n of `in`, v into rows 0 ... 2n of `out`. Each output row is finished in one
// go, with its terms in the order SynthesiseLine adds them: the scaling part, the left
// wavelet, the interior wavelets in increasing order, the right wavelet.
TESORA_WIDE_VECTORS
void SynthesiseChunk(const Filters& filters, int n, const double* in, std::size_t is, double* out, std::size_t os,
                     std::size_t count) {
    const double half = filters.halfDelta, oneMinusHalf = filters.oneMinusHalfDelta;
    const double* d = in + static_cast<std::size_t>(n + 1) * is;
    auto cRow = [&](int k) { return in + static_cast<std::size_t>(k) * is; };
    auto dRow = [&](int m) { return d + static_cast<std::size_t>(m) * is; };
    for (int p = 0; p <= 2 * n; ++p) {
        double* v = out + static_cast<std::size_t>(p) * os;
        Terms t;
        if (p <= 3) t.Add(dRow(0), filters.left[p]);
        // Interior wavelet w covers positions 2w-1 ... 2w+3.
        const int first = std::max(1, (p - 2) / 2);
        const int last = std::min(n - 2, (p + 1) / 2);
        for (int w = first; w <= last; ++w) {
            const int i = p - (2 * w - 1);
            if (i >= 0 && i <= 4) t.Add(dRow(w), filters.inner[i]);
        }
        if (p >= 2 * n - 3) t.Add(dRow(n - 1), filters.right[p - (2 * n - 3)]);
        const int k = p / 2;
        if (p % 2 == 0)
            SynthesiseRow<true>(v, cRow(k), nullptr, half, oneMinusHalf, t, count);
        else
            SynthesiseRow<false>(v, cRow(k), cRow(k + 1), half, oneMinusHalf, t, count);
    }
}

TESORA_WIDE_VECTORS
void CopyColumns(const double* out, std::size_t c0, std::size_t count, std::size_t length, const MatrixView& M) {
    for (std::size_t i = 0; i < length; ++i) {
        double* __restrict dst = M.Row(i) + c0;
        const double* __restrict src = out + i * kChunk;
        for (std::size_t m = 0; m < count; ++m) dst[m] = src[m];
    }
}

TESORA_WIDE_VECTORS
void RowChunkWords(const double* out, std::uint32_t* dst, std::size_t dstStride, std::size_t count, std::size_t rows,
                   std::size_t plainRows) {
    for (std::size_t k = 0; k < rows; ++k) ToWords(out + k * kChunk, dst + k * dstStride, count, k >= plainRows);
}

TESORA_WIDE_VECTORS
void ColumnChunkWords(const double* out, std::uint32_t* dst, std::size_t dstStride, std::uint32_t* scratch,
                      std::size_t c0, std::size_t count, std::size_t values, std::size_t plainCount,
                      std::size_t firstInvertedLine) {
    const std::size_t plainLines = firstInvertedLine > c0 ? std::min(count, firstInvertedLine - c0) : 0;
    for (std::size_t k = 0; k < values; ++k) {
        const double* v = out + k * kChunk;
        std::uint32_t* w = scratch + k * kChunk;
        if (k < plainCount) {
            ToWords(v, w, plainLines, false);
            ToWords(v + plainLines, w + plainLines, count - plainLines, true);
        } else {
            ToWords(v, w, count, true);
        }
    }
    // Transposed: line m's words become one contiguous pixel row; without AVX-512 in
    // tiles of 16 values.
#if TESORA_FMA_CLONES
    if (BestVectorLevel() == VectorLevel::Avx512) return TransposeWordsAvx512(scratch, values, count, dst, dstStride);
#endif
    constexpr std::size_t kTile = 16;
    for (std::size_t k0 = 0; k0 < values; k0 += kTile) {
        const std::size_t k1 = std::min(values, k0 + kTile);
        for (std::size_t m = 0; m < count; ++m) {
            std::uint32_t* __restrict line = dst + m * dstStride;
            for (std::size_t k = k0; k < k1; ++k) line[k] = scratch[k * kChunk + m];
        }
    }
}

void PutRows(PictureSurface& picture, const std::uint32_t* words, std::size_t wordStride, std::size_t x0,
             std::size_t y0, std::size_t lineWords, std::size_t lines) {
    for (std::size_t y = 0; y < lines; ++y)
        std::copy_n(words + y * wordStride, lineWords, picture.ScanLine(static_cast<int>(y0 + y)) + x0);
}

}  // namespace tesora
