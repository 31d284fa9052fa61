// The filters of one Delta: each block system is eliminated without pivoting and solved
// back with its last coefficient 1; then
//   WaveletLeft = W(1..4, 1),  WaveletInner = W(2..6, 2),  WaveletRight = W(6..9, 4)
//   OneMinusHalfDelta = 1 - Delta * 0.5,  HalfDelta = 1 - OneMinusHalfDelta
// for the wavelet matrix W of level index 2 (FiltersOf takes them from the solves, which
// fill W). Delta = 0 uses fixed filters.
#include "blac/Coefficients.h"

#include <algorithm>
#include <iostream>

#include "blac/Bank.h"
#include "blac/Blocks.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Extended.h"
#include "matrix/Numbers.h"

namespace tesora {

namespace {
// Delta = 0 makes the blocks singular; these are the coefficients used instead.
constexpr double kFixedLeft[4] = {0, 0.70444, -0.70444, 0};
constexpr double kFixedInner[5] = {0, 0, 0.70444, -0.704449, 0};
constexpr double kFixedRight[4] = {0, 0, 0.70444, -0.70444};
}  // namespace

std::unique_ptr<double[]> CalcKoeff(Matrix& M, double D, int n, int kind) {
    if (M.Rows() != n || M.Cols() != n + 1) {
        std::cout << "Fehler in CalcKoeff: Matrix muss eine Spalte mehr als Zeilen haben!" << std::endl;
        return nullptr;
    }
    auto result = std::make_unique<double[]>(static_cast<std::size_t>(n + 1));
    if (D == 0.0) {
        const double* fixed = kind == kLeftWavelet    ? kFixedLeft
                              : kind == kInnerWavelet ? kFixedInner
                              : kind == kRightWavelet ? kFixedRight
                                                      : nullptr;
        if (fixed == nullptr) return nullptr;
        for (int i = 0; i <= n; ++i) result[i] = fixed[i];
        return result;
    }
    // Forward elimination without pivoting: the blocks are upper Hessenberg.
    for (int r = 1; r <= n - 1; ++r) {
        const double f = M.Get(r + 1, r) / M.Get(r, r);
        for (int c = r; c <= n + 1; ++c) M.Set(r + 1, c, SubtractProduct(M.Get(r + 1, c), M.Get(r, c), f));
    }
    // Back substitution with the last coefficient fixed to 1.
    auto x = std::make_unique<double[]>(static_cast<std::size_t>(n));
    for (int g = n - 1; g >= 0; --g) {
        double s = 0.0;
        for (int l = g + 2; l <= n; ++l)
            s = static_cast<double>(Extended(M.Get(g + 1, l)) * Extended(x[l - 1]) + Extended(s));
        s = M.Get(g + 1, n + 1) + s;
        x[g] = -s / M.Get(g + 1, g + 1);
    }
    NormaliseWavelet(x.get(), result.get(), D, n);
    return result;
}

Matrix BuildWaveletMatrix(double D, int j) {
    const int P = Pow2Int[j];
    const int Q = Pow2Int[j + 1];
    Matrix W(Q + 1, P);

    Matrix T(3, 4);
    T = LeftBlock(D);
    auto v = CalcKoeff(T, D, 3, kLeftWavelet);
    for (int i = 1; i <= 4; ++i) W.Set(i, 1, v[i - 1]);

    Matrix I(4, 5);
    I = InnerBlock(D);
    v = CalcKoeff(I, D, 4, kInnerWavelet);
    for (int c = 2; c <= P - 1; ++c)
        for (int m = 1; m <= 5; ++m) W.Set(2 * c - 3 + m, c, v[m - 1]);

    T = RightBlock(D);
    v = CalcKoeff(T, D, 3, kRightWavelet);
    for (int m = 1; m <= 4; ++m) W.Set(Q - 3 + m, P, v[m - 1]);
    return W;
}

Filters FiltersOf(double delta) {
    Filters f;
    f.delta = delta;
    Matrix left = LeftBlock(delta), inner = InnerBlock(delta), right = RightBlock(delta);
    const auto l = CalcKoeff(left, delta, 3, kLeftWavelet);
    const auto w = CalcKoeff(inner, delta, 4, kInnerWavelet);
    const auto r = CalcKoeff(right, delta, 3, kRightWavelet);
    if (!l || !w || !r)
        throw Error("Die Filter für Delta " + FormatG(delta) + " sind nicht bestimmbar.",
                    "The filters of Delta " + FormatG(delta) + " cannot be determined.");
    std::copy(l.get(), l.get() + 4, f.left);
    std::copy(w.get(), w.get() + 5, f.inner);
    std::copy(r.get(), r.get() + 4, f.right);
    f.oneMinusHalfDelta = 1 - delta * 0.5;
    f.halfDelta = 1 - f.oneMinusHalfDelta;
    return f;
}

void RebuildWaveletCoeffs() {
    // The matrix is program state of its own; the filters are the same solves' values.
    WaveletMatrix = BuildWaveletMatrix(Delta, 2);
    const Filters f = FiltersOf(Delta);
    std::copy(f.left, f.left + 4, WaveletLeft);
    std::copy(f.inner, f.inner + 5, WaveletInner);
    std::copy(f.right, f.right + 4, WaveletRight);
    OneMinusHalfDelta = f.oneMinusHalfDelta;
    HalfDelta = f.halfDelta;
}

}  // namespace tesora
