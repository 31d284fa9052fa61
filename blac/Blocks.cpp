// The block systems of the wavelets, with A = 1 - D/2, S = D/6, B = 1 - A, T = D/3
// (1/6 and 1/3 in extended precision, each product rounded to double): the wavelet's
// coefficients x solve  Block(D) (x, 1)^T = 0,  normalised by NormaliseWavelet.
#include "blac/Blocks.h"

#include <cmath>

#include "matrix/Extended.h"

namespace tesora {

BlacValues ComputeBlacValues(double D) {
    // 1/6 and 1/3 with a 64-bit mantissa.
    const Extended kSixth = Extended(1) / Extended(6);
    const Extended kThird = Extended(1) / Extended(3);
    const Extended kOne(1), kHalf(0.5);
    BlacValues v{};
    v.A = static_cast<double>(kOne + (-kHalf) * Extended(D));
    v.S = static_cast<double>(Extended(D) * kSixth);
    v.B = 1.0 - v.A;
    v.T = static_cast<double>(Extended(D) * kThird);
    return v;
}

namespace {

// The boundary blocks are windows of the inner one: the left block is its rows 2-4 and
// columns 2-5, the right block its rows 1-3 and columns 1-4 (sums and products commute
// exactly, so the entries are the same doubles).
Matrix Window(const Matrix& inner, int row0, int col0, int rows, int cols) {
    Matrix m(rows, cols);
    for (int i = 1; i <= rows; ++i)
        for (int j = 1; j <= cols; ++j) m.Set(i, j, inner.Get(row0 + i - 1, col0 + j - 1));
    return m;
}

}  // namespace

Matrix InnerBlock(double D) {
    const auto [A, S, B, T] = ComputeBlacValues(D);
    Matrix m(4, 5);
    m.Set(1, 1, S + B);
    m.Set(1, 2, S * B);
    m.Set(2, 1, A + S);
    m.Set(2, 2, 1 + S);
    m.Set(2, 3, B + S);
    m.Set(2, 4, B * S);
    m.Set(3, 2, A * S);
    m.Set(3, 3, A + S);
    m.Set(3, 4, 1 + S);
    m.Set(3, 5, S + B);
    m.Set(4, 4, A * S);
    m.Set(4, 5, A + S);
    return m;
}

Matrix LeftBlock(double D) { return Window(InnerBlock(D), 2, 2, 3, 4); }

Matrix RightBlock(double D) { return Window(InnerBlock(D), 1, 1, 3, 4); }

double* NormaliseWavelet(const double* x, double* result, double D, int n) {
    const Extended kOne(1), kHalf(0.5);
    // Coefficients c_0 ... c_n of the unnormalised wavelet: x, then the fixed 1.
    auto c = [&](int i) { return i < n ? Extended(x[i]) : kOne; };

    Extended sum(0.0);
    for (int i = 1; i <= n - 1; ++i) sum = sum + c(i) * c(i);
    const double t = static_cast<double>(sum);

    double s = 0.0;
    for (int i = 0; i <= n - 1; ++i) {
        const Extended a = c(i), b = c(i + 1);
        s = static_cast<double>((a * a * a + b * b * b) / (a + b) + Extended(s));
    }

    const Extended ld(D);
    const Extended x0(x[0]);
    const double v = static_cast<double>((kOne - ld * kHalf) * (x0 * x0 + kOne) + (kOne - ld) * Extended(t) +
                                         (ld * kHalf) * Extended(s));
    const double w = std::sqrt(1.0 / v);
    result[n] = w;
    for (int i = 0; i < n; ++i) result[i] = x[i] * w;
    return result;
}

}  // namespace tesora
