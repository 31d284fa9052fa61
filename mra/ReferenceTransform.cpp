// The literal level step, for n = 2^L and a fine line F[0 ... 2n]:
//
//   analysis:   G_phi c = a,  a[k] = <F, phi_k>;   G_psi d = b,  b[m] = <F, psi_m>
//   synthesis:  v[2k] = c[k],  v[2k+1] = c[k] Delta/2 + c[k+1] (1 - Delta/2),
//               v[i] += d[0] l[i],  v[2m-1+i] += d[m] w[i],  v[2n-3+i] += d[n-1] r[i]
#include "mra/ReferenceTransform.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/LevelOperators.h"
#include "mra/Rendering.h"

namespace tesora {

namespace {

// AnalyseLine, with the step texts only when there is a frontend to show them.
void Analyse(Frontend* frontend, int L, double* c, double* d) {
    const int n = Pow2Int[L];
    if (frontend) frontend->SetStatus("Berechne Glättekoeffs...");
    BuildScalingGram(Delta, L);
    auto a = ScalingInnerProducts(Delta, L);
    ScalingGram(L).SolveCholesky(a.get());
    std::copy(a.get(), a.get() + n + 1, c);
    if (frontend) frontend->SetStatus("Berechne Details...");
    const Filters filters = CurrentFilters();
    BuildWaveletGram(filters, L);
    auto b = WaveletInnerProducts(filters, L);
    WaveletGram(L).SolveCholesky(b.get());
    std::copy(b.get(), b.get() + n, d);
}

}  // namespace

void AnalyseLine(Frontend& frontend, int L, double* c, double* d) { Analyse(&frontend, L, c, d); }

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

void ReferenceDecompose(PictureSurface& bild, int L) {
    const int n = Pow2Int[L], N = Pow2Int[L + 1];
    Matrix& M = CoeffMatrix;
    std::vector<double> c(static_cast<std::size_t>(n) + 1), d(static_cast<std::size_t>(n));
    for (int r = 1; r <= N + 1; ++r) {
        for (int j = 1; j <= N + 1; ++j) LineCoeffs[j - 1] = M.Get(r, j);
        Analyse(nullptr, L, c.data(), d.data());
        for (int k = 0; k <= n; ++k) bild.SetGrey(r - 1, k, ClampToByte(c[k]));
        for (int k = 0; k <= n - 1; ++k) bild.SetGrey(r - 1, n + 1 + k, 255 - ClampToByte(d[k]));
        for (int k = 0; k <= n; ++k) M.Set(r, k + 1, c[k]);
        for (int k = 0; k <= n - 1; ++k) M.Set(r, n + 2 + k, d[k]);
    }
    for (int col = 1; col <= N + 1; ++col) {
        for (int i = 1; i <= N + 1; ++i) LineCoeffs[i - 1] = M.Get(i, col);
        Analyse(nullptr, L, c.data(), d.data());
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

void ReferenceReconstruct(PictureSurface& bild, int L) {
    const int n = Pow2Int[L], N = Pow2Int[L + 1];
    Matrix& M = CoeffMatrix;
    std::vector<double> c(static_cast<std::size_t>(n) + 1), d(static_cast<std::size_t>(n)),
        v(static_cast<std::size_t>(N) + 1);
    for (int col = 1; col <= N + 1; ++col) {
        for (int k = 0; k <= n; ++k) c[k] = M.Get(k + 1, col);
        for (int m = 0; m <= n - 1; ++m) d[m] = M.Get(n + 2 + m, col);
        SynthesiseLine(L, c.data(), d.data(), v.data());
        for (int k = 0; k <= N; ++k) {
            M.Set(k + 1, col, v[k]);
            bild.SetGrey(k, col - 1, ClampToByte(v[k]));
        }
    }
    for (int r = 1; r <= N + 1; ++r) {
        for (int k = 0; k <= n; ++k) c[k] = M.Get(r, k + 1);
        for (int m = 0; m <= n - 1; ++m) d[m] = M.Get(r, n + 2 + m);
        SynthesiseLine(L, c.data(), d.data(), v.data());
        for (int k = 0; k <= N; ++k) {
            M.Set(r, k + 1, v[k]);
            bild.SetGrey(r - 1, k, ClampToByte(v[k]));
        }
    }
}

void ReferenceRender(PictureSurface& reduced) {
    for (int i = 0; i < PictureWidth; ++i)
        for (int j = 0; j < PictureHeight; ++j) {
            const double x = static_cast<double>(i) / PictureWidth;
            const double y = static_cast<double>(j) / PictureHeight;
            reduced.SetGrey(i, j, ClampToByte(EvaluateApproximation(x, y, CurrentLevel)));
        }
}

}  // namespace tesora
