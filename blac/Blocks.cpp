// The block systems of the wavelets, with A = 1 - D/2, S = D/6, B = 1 - A, T = D/3
// (1/6 and 1/3 in extended precision, each product rounded to double): the wavelet's
// coefficients x solve  Block(D) (x, 1)^T = 0,  normalised by NormaliseWavelet.
#include "blac/Blocks.h"

#include <cmath>

namespace tesora {

namespace {
constexpr long double kSixth = 1.0L / 6.0L;
constexpr long double kThird = 1.0L / 3.0L;
}  // namespace

BlacValues ComputeBlacValues(double D) {
    BlacValues v{};
    v.A = static_cast<double>(1.0L + (-0.5L) * static_cast<long double>(D));
    v.S = static_cast<double>(static_cast<long double>(D) * kSixth);
    v.B = 1.0 - v.A;
    v.T = static_cast<double>(static_cast<long double>(D) * kThird);
    return v;
}

Matrix LeftBlock(double D) {
    const auto [A, S, B, T] = ComputeBlacValues(D);
    Matrix m(3, 4);
    m.Set(1, 1, 1 + S); m.Set(1, 2, S + B); m.Set(1, 3, S * B);
    m.Set(2, 1, A * S); m.Set(2, 2, A + S); m.Set(2, 3, 1 + S); m.Set(2, 4, S + B);
    m.Set(3, 3, A * S); m.Set(3, 4, A + S);
    return m;
}

Matrix InnerBlock(double D) {
    const auto [A, S, B, T] = ComputeBlacValues(D);
    Matrix m(4, 5);
    m.Set(1, 1, S + B); m.Set(1, 2, S * B);
    m.Set(2, 1, A + S); m.Set(2, 2, 1 + S); m.Set(2, 3, B + S); m.Set(2, 4, B * S);
    m.Set(3, 2, A * S); m.Set(3, 3, A + S); m.Set(3, 4, 1 + S); m.Set(3, 5, S + B);
    m.Set(4, 4, A * S); m.Set(4, 5, A + S);
    return m;
}

Matrix RightBlock(double D) {
    const auto [A, S, B, T] = ComputeBlacValues(D);
    Matrix m(3, 4);
    m.Set(1, 1, S + B); m.Set(1, 2, B * S);
    m.Set(2, 1, A + S); m.Set(2, 2, 1 + S); m.Set(2, 3, B + S); m.Set(2, 4, B * S);
    m.Set(3, 2, A * S); m.Set(3, 3, A + S); m.Set(3, 4, 1 + S);
    return m;
}

double* NormaliseWavelet(const double* x, double* result, double D, int n) {
    // Coefficients c_0 ... c_n of the unnormalised wavelet: x, then the fixed 1.
    auto c = [&](int i) -> long double { return i < n ? x[i] : 1.0L; };

    long double sum = 0.0L;
    for (int i = 1; i <= n - 1; ++i) sum += c(i) * c(i);
    const double t = static_cast<double>(sum);

    double s = 0.0;
    for (int i = 0; i <= n - 1; ++i) {
        const long double a = c(i), b = c(i + 1);
        s = static_cast<double>((a * a * a + b * b * b) / (a + b) + s);
    }

    const long double ld = D;
    const long double x0 = x[0];
    const double v = static_cast<double>((1.0L - ld * 0.5L) * (x0 * x0 + 1.0L) + (1.0L - ld) * t +
                                         (ld * 0.5L) * s);
    const double w = std::sqrt(1.0 / v);
    result[n] = w;
    for (int i = 0; i < n; ++i) result[i] = x[i] * w;
    return result;
}

}  // namespace tesora
