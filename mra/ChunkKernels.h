#pragma once
// The transform's hot loops, each cloned for AVX2 machines (TESORA_WIDE_VECTORS). They
// work on chunks of up to kChunk lines stored interleaved: element i of line m at
// F[i * stride + m], so every loop runs across lines and vectorises without changing
// the order of any sum. They take values only and touch nothing but their arguments.
#include <cstddef>
#include <cstdint>

#include "blac/Frontend.h"
#include "matrix/Tridiagonal.h"
#include "mra/LevelOperators.h"
#include "mra/Values.h"

namespace tesora {

// Lines transformed together: wide enough to keep the vector units busy in the
// tridiagonal sweeps, small enough that one chunk of lines stays in the L2 cache.
constexpr std::size_t kChunk = 32;

// Everything one analysis step needs, computed once per level: the Gram matrices are
// the same for every line of the level, so factoring them once equals doing it per line.
struct AnalysisSetup {
    int n = 0;
    ScalingFactors scaling{};
    WaveletFactors wavelet{};
    TridiagonalCholesky scalingSolver;
    TridiagonalCholesky waveletSolver;
};

// Smoothing values of `count` lines into out rows 0 ... n, then the details into rows
// n+1 ... 2n; each sum runs left to right like ScalingInnerProducts/WaveletInnerProducts.
void SmoothChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count);
void DetailChunk(const AnalysisSetup& setup, const double* F, std::size_t fs, double* out, std::size_t os,
                 std::size_t count);

// SynthesiseLine for `count` lines: c in rows 0 ... n and d in rows n+1 ... 2n of `in`,
// v into rows 0 ... 2n of `out`, terms added in SynthesiseLine's order.
void SynthesiseChunk(const Filters& filters, int n, const double* in, std::size_t is, double* out, std::size_t os,
                     std::size_t count);

// Rows 0 ... length-1 of a chunk (stride kChunk) into matrix columns c0 ... c0+count-1.
void CopyColumns(const double* out, std::size_t c0, std::size_t count, std::size_t length, const MatrixView& M);

// The grey words of a chunk, written to `dst` (pixel rows dstStride words apart): the
// picture itself, or a buffer that PutRows copies into it later on the thread that owns
// the picture. Callers clip count, rows and values to the picture.
//
// Matrix rows r0 ... r0+count-1 are pixel columns x = r0 + m: value k of line m goes to
// pixel (x, k) at dst + k * dstStride + m, plain grey for k < plainRows, inverted beyond.
void RowChunkWords(const double* out, std::uint32_t* dst, std::size_t dstStride, std::size_t count, std::size_t rows,
                   std::size_t plainRows);

// Matrix columns c0 ... c0+count-1 are pixel rows y = c0 + m: value k of line m goes to
// pixel (k, y) at dst + m * dstStride + k. Values k < plainCount are plain grey unless
// the line is at or beyond firstInvertedLine; the others are inverted. `scratch` holds
// values x kChunk words.
void ColumnChunkWords(const double* out, std::uint32_t* dst, std::size_t dstStride, std::uint32_t* scratch,
                      std::size_t c0, std::size_t count, std::size_t values, std::size_t plainCount,
                      std::size_t firstInvertedLine);

// `lines` runs of lineWords words, wordStride apart, into pixel rows y0 ... at x0.
void PutRows(PictureSurface& picture, const std::uint32_t* words, std::size_t wordStride, std::size_t x0,
             std::size_t y0, std::size_t lineWords, std::size_t lines);

}  // namespace tesora
