// The operators of one level step, with s = 1 - Delta/2, e = Delta/6, t = Delta/3:
//
//   scaling Gram   G(1,1) = 1 + (1-s)((1-s) + t),  G(k,k) = (1-s)^2 + (s^2 + 1) + t,
//                  G(n+1,n+1) = s^2 + s t + 1,     G(k,k+1) = (1-s) s + e
//   inner products a[k] = s e F[2k-2] + (s+e) F[2k-1] + (1+e) F[2k] + ((e+1)-s) F[2k+1]
//                         + (1-s) e F[2k+2]   (shortened at both ends)
//   wavelet Gram   D = sum w_i^2 + t sum w_i w_(i+1),
//                  O = (w1 w3 + w2 w4) + e sum w_i w_(i+1)   (boundary rows from l, r)
//   inner products d[m] = sum_i (e w_(i-1) + w_i + e w_(i+1)) F[2m-1+i]
//
// Sums are evaluated exactly as written, left to right: the fast path rounds alike.
#include "mra/LevelOperators.h"

#include <vector>

#include "blac/Bank.h"
#include "blac/Blocks.h"

namespace tesora {

double LineCoeffs[kMaxSide] = {};

namespace {
// s = 1 - Delta/2, e = Delta/6, t = Delta/3, rounded exactly like the block matrices.
struct LevelValues {
    double s, e, t;
};
LevelValues ValuesFor(double Delta) {
    const BlacValues v = ComputeBlacValues(Delta);
    return {v.A, v.S, v.T};
}
}  // namespace

void ScalingGramBand(double delta, int L, double* diagonal, double* subdiagonal) {
    const auto [s, e, t] = ValuesFor(delta);
    const int n = 1 << L;
    diagonal[0] = 1 + (1 - s) * ((1 - s) + t);
    for (int k = 1; k <= n - 1; ++k) diagonal[k] = (1 - s) * (1 - s) + (s * s + 1) + t;
    diagonal[n] = s * s + s * t + 1;
    for (int k = 0; k <= n - 1; ++k) subdiagonal[k] = (1 - s) * s + e;
}

void BuildScalingGram(double Delta, int L) {
    const int n = Pow2Int[L];
    std::vector<double> diagonal(static_cast<std::size_t>(n) + 1), subdiagonal(static_cast<std::size_t>(n));
    ScalingGramBand(Delta, L, diagonal.data(), subdiagonal.data());
    Matrix& G = ScalingGram(L);
    for (int i = 1; i <= n + 1; ++i)
        for (int j = 1; j <= n + 1; ++j) G.Set(i, j, 0.0);
    for (int k = 1; k <= n + 1; ++k) G.Set(k, k, diagonal[static_cast<std::size_t>(k - 1)]);
    for (int k = 1; k <= n; ++k) {
        G.Set(k, k + 1, subdiagonal[static_cast<std::size_t>(k - 1)]);
        G.Set(k + 1, k, subdiagonal[static_cast<std::size_t>(k - 1)]);
    }
}

std::unique_ptr<double[]> ScalingInnerProducts(double Delta, int L) {
    const auto [s, e, t] = ValuesFor(Delta);
    const int n = Pow2Int[L];
    const double* F = LineCoeffs;
    auto a = std::make_unique<double[]>(static_cast<std::size_t>(n) + 1);
    a[0] = (1 + e) * F[0] + ((e + 1) - s) * F[1] + (1 - s) * e * F[2];
    for (int k = 1; k <= n - 1; ++k)
        a[k] = s * e * F[2 * k - 2] + (s + e) * F[2 * k - 1] + (1 + e) * F[2 * k] + ((e + 1) - s) * F[2 * k + 1] +
               (1 - s) * e * F[2 * k + 2];
    a[n] = s * e * F[2 * n - 2] + (s + e) * F[2 * n - 1] + (1 + e) * F[2 * n];
    return a;
}

void WaveletGramBand(const Filters& filters, int L, double* diagonal, double* subdiagonal) {
    const auto [s, e, t] = ValuesFor(filters.delta);
    (void)s;
    const int n = 1 << L;
    const double* l = filters.left;
    const double* w = filters.inner;
    const double* r = filters.right;

    const double D = w[0] * w[0] + w[1] * w[1] + w[2] * w[2] + w[3] * w[3] + w[4] * w[4] +
                     t * (w[0] * w[1] + w[1] * w[2] + w[2] * w[3] + w[3] * w[4]);
    const double O = (w[1] * w[3] + w[2] * w[4]) + e * (w[0] * w[1] + w[1] * w[2] + w[2] * w[3] + w[3] * w[4]);
    diagonal[0] = l[0] * l[0] + l[1] * l[1] + l[2] * l[2] + l[3] * l[3] + t * (l[0] * l[1] + l[1] * l[2] + l[2] * l[3]);
    subdiagonal[0] = (w[0] * l[1] + w[1] * l[2] + w[2] * l[3]) +
                     e * (w[0] * l[0] + w[0] * l[2] + w[1] * l[1] + w[1] * l[3] + w[2] * l[2] + w[3] * l[3]);
    for (int k = 1; k <= n - 2; ++k) diagonal[k] = D;
    for (int k = 1; k <= n - 3; ++k) subdiagonal[k] = O;
    diagonal[n - 1] =
        r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3] + t * (r[0] * r[1] + r[1] * r[2] + r[2] * r[3]);
    subdiagonal[n - 2] = (w[2] * r[0] + w[3] * r[1] + w[4] * r[2]) +
                         e * (w[1] * r[0] + w[3] * r[0] + w[2] * r[1] + w[4] * r[1] + w[3] * r[2] + w[4] * r[3]);
}

// Only the three central diagonals: the rest of the matrix stays as it is.
void BuildWaveletGram(const Filters& filters, int L) {
    const int n = Pow2Int[L];
    std::vector<double> diagonal(static_cast<std::size_t>(n)), subdiagonal(static_cast<std::size_t>(n - 1));
    WaveletGramBand(filters, L, diagonal.data(), subdiagonal.data());
    Matrix& G = WaveletGram(L);
    for (int k = 1; k <= n; ++k) G.Set(k, k, diagonal[static_cast<std::size_t>(k - 1)]);
    for (int k = 1; k <= n - 1; ++k) {
        G.Set(k, k + 1, subdiagonal[static_cast<std::size_t>(k - 1)]);
        G.Set(k + 1, k, subdiagonal[static_cast<std::size_t>(k - 1)]);
    }
}

std::unique_ptr<double[]> WaveletInnerProducts(const Filters& filters, int L) {
    const auto [s, e, t] = ValuesFor(filters.delta);
    (void)s;
    (void)t;
    const int n = Pow2Int[L];
    const double* F = LineCoeffs;
    const double* l = filters.left;
    const double* w = filters.inner;
    const double* r = filters.right;
    auto d = std::make_unique<double[]>(static_cast<std::size_t>(n));
    d[0] = (l[0] + e * l[1]) * F[0] + (e * l[0] + l[1] + e * l[2]) * F[1] + (e * l[1] + l[2] + e * l[3]) * F[2] +
           (e * l[2] + l[3]) * F[3] + e * l[3] * F[4];
    for (int m = 1; m <= n - 2; ++m) {
        const int j = 2 * m - 1;
        d[m] = e * w[0] * F[j - 1] + (w[0] + e * w[1]) * F[j] + (e * w[0] + w[1] + e * w[2]) * F[j + 1] +
               (e * w[1] + w[2] + e * w[3]) * F[j + 2] + (e * w[2] + w[3] + e * w[4]) * F[j + 3] +
               (e * w[3] + w[4]) * F[j + 4] + e * w[4] * F[j + 5];
    }
    const int j = 2 * n - 3;
    d[n - 1] = e * r[0] * F[j - 1] + (r[0] + e * r[1]) * F[j] + (e * r[0] + r[1] + e * r[2]) * F[j + 1] +
               (e * r[1] + r[2] + e * r[3]) * F[j + 2] + (e * r[2] + r[3]) * F[j + 3];
    return d;
}

ScalingFactors ComputeScalingFactors(double delta) {
    const auto [s, e, t] = ValuesFor(delta);
    (void)t;
    ScalingFactors f{};
    f.left[0] = 1 + e;
    f.left[1] = (e + 1) - s;
    f.left[2] = (1 - s) * e;
    f.inner[0] = s * e;
    f.inner[1] = s + e;
    f.inner[2] = 1 + e;
    f.inner[3] = (e + 1) - s;
    f.inner[4] = (1 - s) * e;
    f.right[0] = s * e;
    f.right[1] = s + e;
    f.right[2] = 1 + e;
    return f;
}

namespace {

// Factor k of a filter w[0 ... count-1] spread over the fine grid: e w[k-2] + w[k-1] + e w[k],
// summed in that order over the terms that exist; out gets factors first ... first+outCount-1.
void SpreadFilter(const double* w, int count, double e, int first, int outCount, double* out) {
    for (int o = 0; o < outCount; ++o) {
        const int k = first + o;
        double sum = 0.0;
        bool any = false;
        auto add = [&](double term) {
            sum = any ? sum + term : term;
            any = true;
        };
        if (k - 2 >= 0 && k - 2 < count) add(e * w[k - 2]);
        if (k - 1 >= 0 && k - 1 < count) add(w[k - 1]);
        if (k < count) add(e * w[k]);
        out[o] = sum;
    }
}

}  // namespace

WaveletFactors ComputeWaveletFactors(const Filters& filters) {
    const auto [s, e, t] = ValuesFor(filters.delta);
    (void)s;
    (void)t;
    WaveletFactors f{};
    // The left wavelet starts one grid point later than the others: it has no factor 0.
    SpreadFilter(filters.left, 4, e, 1, 5, f.left);
    SpreadFilter(filters.inner, 5, e, 0, 7, f.inner);
    SpreadFilter(filters.right, 4, e, 0, 5, f.right);
    return f;
}

}  // namespace tesora
