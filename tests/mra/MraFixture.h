#pragma once
// Shared set-up of the transform tests: fresh global state, an in-memory frontend, a
// small 8-bit BMP reader, and the transform done the slow, literal way (per line,
// dense Cholesky, Get/Set, one pixel at a time) as the yardstick for the fast path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "mra/LevelOperators.h"
#include "support/CoreState.h"
#include "mra/Rendering.h"
#include "tools/MemoryFrontend.h"

namespace tesora::testing {

inline void SetDeltaPosition(int position) {
    Delta = DeltaFromPosition(position);
    RebuildWaveletCoeffs();
}

// --- The literal transform --------------------------------------------------------------

// v = sum c[k] p_k + sum d[m] q_m, term by term in the written order.
inline void ReferenceSynthesis(int n, const double* c, const double* d, double* v) {
    for (int k = 0; k <= n - 1; ++k) {
        v[2 * k] = c[k];
        v[2 * k + 1] = c[k] * HalfDelta + c[k + 1] * OneMinusHalfDelta;
    }
    v[2 * n] = c[n];
    for (int i = 0; i <= 3; ++i) v[i] = v[i] + d[0] * WaveletLeft[i];
    for (int m = 1; m <= n - 2; ++m)
        for (int i = 0; i <= 4; ++i) v[2 * m - 1 + i] = v[2 * m - 1 + i] + d[m] * WaveletInner[i];
    for (int i = 0; i <= 3; ++i) v[2 * n - 3 + i] = v[2 * n - 3 + i] + d[n - 1] * WaveletRight[i];
}

// One line from LineCoeffs: Gram matrices rebuilt and refactored for the line.
inline void ReferenceAnalysis(int L, std::unique_ptr<double[]>& c, std::unique_ptr<double[]>& d) {
    BuildScalingGram(Delta, L);
    c = ScalingInnerProducts(Delta, L);
    ScalingGram(L).SolveCholesky(c.get());
    BuildWaveletGram(Delta, L);
    d = WaveletInnerProducts(Delta, L);
    WaveletGram(L).SolveCholesky(d.get());
}

inline void ReferenceDecompose(PictureSurface& bild, int L) {
    const int n = Pow2Int[L], N = Pow2Int[L + 1];
    Matrix& M = CoeffMatrix;
    std::unique_ptr<double[]> c, d;
    for (int r = 1; r <= N + 1; ++r) {
        for (int j = 1; j <= N + 1; ++j) LineCoeffs[j - 1] = M.Get(r, j);
        ReferenceAnalysis(L, c, d);
        for (int k = 0; k <= n; ++k) bild.SetGrey(r - 1, k, ClampToByte(c[k]));
        for (int k = 0; k <= n - 1; ++k) bild.SetGrey(r - 1, n + 1 + k, 255 - ClampToByte(d[k]));
        for (int k = 0; k <= n; ++k) M.Set(r, k + 1, c[k]);
        for (int k = 0; k <= n - 1; ++k) M.Set(r, n + 2 + k, d[k]);
    }
    for (int col = 1; col <= N + 1; ++col) {
        for (int i = 1; i <= N + 1; ++i) LineCoeffs[i - 1] = M.Get(i, col);
        ReferenceAnalysis(L, c, d);
        for (int k = 0; k <= n; ++k) {
            int g = ClampToByte(c[k]);
            if (col > n + 1) g = 255 - g;
            bild.SetGrey(k, col - 1, g);
        }
        for (int k = 0; k <= n - 1; ++k) bild.SetGrey(n + 1 + k, col - 1, 255 - ClampToByte(d[k]));
        for (int k = 0; k <= n; ++k) M.Set(k + 1, col, c[k]);
        for (int k = 0; k <= n - 1; ++k) M.Set(n + 2 + k, col, d[k]);
    }
}

inline void ReferenceReconstruct(PictureSurface& bild, int L) {
    const int n = Pow2Int[L], N = Pow2Int[L + 1];
    Matrix& M = CoeffMatrix;
    std::vector<double> c(static_cast<std::size_t>(n) + 1), d(static_cast<std::size_t>(n)),
        v(static_cast<std::size_t>(N) + 1);
    for (int col = 1; col <= N + 1; ++col) {
        for (int k = 0; k <= n; ++k) c[k] = M.Get(k + 1, col);
        for (int m = 0; m <= n - 1; ++m) d[m] = M.Get(n + 2 + m, col);
        ReferenceSynthesis(n, c.data(), d.data(), v.data());
        for (int k = 0; k <= N; ++k) {
            M.Set(k + 1, col, v[k]);
            bild.SetGrey(k, col - 1, ClampToByte(v[k]));
        }
    }
    for (int r = 1; r <= N + 1; ++r) {
        for (int k = 0; k <= n; ++k) c[k] = M.Get(r, k + 1);
        for (int m = 0; m <= n - 1; ++m) d[m] = M.Get(r, n + 2 + m);
        ReferenceSynthesis(n, c.data(), d.data(), v.data());
        for (int k = 0; k <= N; ++k) {
            M.Set(r, k + 1, v[k]);
            bild.SetGrey(r - 1, k, ClampToByte(v[k]));
        }
    }
}

// Per pixel through EvaluateApproximation.
inline void ReferenceRender(PictureSurface& reduced) {
    for (int i = 0; i < PictureWidth; ++i)
        for (int j = 0; j < PictureHeight; ++j) {
            const double x = static_cast<double>(i) / PictureWidth;
            const double y = static_cast<double>(j) / PictureHeight;
            reduced.SetGrey(i, j, ClampToByte(EvaluateApproximation(x, y, CurrentLevel)));
        }
}

// --- Fixture -------------------------------------------------------------------------

class MraTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }

    static void ResetAll() { ResetCore(); }

    // What opening a picture leaves behind: sizes, levels, both pictures, the matrix.
    void Open(int width, int height, const std::vector<double>& values) {
        PictureWidth = width;
        PictureHeight = height;
        int level = 1;
        while ((1 << level) + 1 < width) ++level;
        CurrentLevel = PictureLevel = level;
        frontend.bild.Resize(width, height);
        frontend.reduced.Resize(width, height);
        ClearCoeffMatrix();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double v = values[static_cast<std::size_t>(y) * width + x];
                CoeffMatrix.Set(x + 1, y + 1, v);
                frontend.bild.SetGrey(x, y, ClampToByte(v));
                frontend.reduced.SetGrey(x, y, ClampToByte(v));
            }
    }

    MemoryFrontend frontend;
};

inline bool SameMatrix(const std::vector<double>& a) {
    return std::memcmp(a.data(), CoeffMatrix.Data(), a.size() * sizeof(double)) == 0;
}

inline std::vector<double> MatrixSnapshot() {
    return std::vector<double>(CoeffMatrix.Data(), CoeffMatrix.Data() + static_cast<std::size_t>(kMaxSide) * kMaxSide);
}

inline bool SamePixels(const MemorySurface& a, const MemorySurface& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() && a.Words() == b.Words();
}

}  // namespace tesora::testing
