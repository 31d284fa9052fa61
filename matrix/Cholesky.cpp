// The literal Cholesky solve: dense factor on every call, in the fixed order of
// operations that decides the rounding. Every step forms its product and difference (or
// quotient, or root) in extended precision and rounds once, when it stores a double.
// Tridiagonal.cpp must reproduce it bit for bit.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "matrix/Error.h"
#include "matrix/Extended.h"
#include "matrix/Matrix.h"

namespace tesora {

namespace {
bool IsNegativeZero(double x) { return x == 0.0 && std::signbit(x); }

[[noreturn]] void ThrowNotPositive(std::int32_t column) {
    throw Error("Fehler in SolveCholesky: Matrix nicht positiv definit (Spalte " + std::to_string(column) + ")!",
                "A Gram matrix is not positive definite (column " + std::to_string(column) + ").");
}
}  // namespace

double* Matrix::SolveCholesky(double* b) const {
    if (rows_ != cols_) {
        std::cout << "Fehler in SolveCholesky: Matrix MUSS quadratisch sein!!" << std::endl;
        return nullptr;
    }
    const std::int32_t n = rows_;
    Matrix L(n, n);
    // Leading zeros of L's rows: L(j, k) is exactly +-0 for k < first[j]. While L holds
    // only finite values, a step whose product is such a zero leaves s unchanged unless
    // s is -0 (-0 - (-0) = +0), so those steps are skipped: a band matrix costs n^2,
    // not n^3, with the very same result.
    std::vector<std::int32_t> first(static_cast<std::size_t>(n) + 1);
    for (std::int32_t j = 1; j <= n; ++j) first[static_cast<std::size_t>(j)] = j;
    bool finite = true;
    auto start = [&](double s, std::int32_t from) { return finite && !IsNegativeZero(s) ? from : 1; };
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t firstI = first[static_cast<std::size_t>(i)];
        double s = Get(i, i);
        for (std::int32_t k = start(s, firstI); k <= i - 1; ++k) s = SubtractProduct(s, L.Get(i, k), L.Get(i, k));
        // A zero or negative pivot would turn the rest of the solve into NaN or infinity.
        if (!(s > 0.0)) ThrowNotPositive(i);
        const double diagonal = SquareRoot(s);
        L.Set(i, i, diagonal);
        finite = finite && std::isfinite(diagonal);
        for (std::int32_t j = i + 1; j <= n; ++j) {
            std::int32_t& firstJ = first[static_cast<std::size_t>(j)];
            double t = Get(j, i);
            for (std::int32_t k = start(t, std::max(firstI, firstJ)); k <= i - 1; ++k)
                t = SubtractProduct(t, L.Get(i, k), L.Get(j, k));
            const double value = Divide(t, diagonal);
            L.Set(j, i, value);
            if (value != 0.0 && firstJ > i) firstJ = i;
            finite = finite && std::isfinite(value);
        }
    }
    ForwardSubstitution(L, b);
    const Matrix Lt = L.Transposed();
    BackSubstitution(Lt, b);
    return b;
}

double* ForwardSubstitution(const Matrix& L, double* b) {
    const std::int32_t n = L.Rows();
    for (std::int32_t i = 1; i <= n; ++i) {
        for (std::int32_t k = 1; k <= i - 1; ++k) b[i - 1] = SubtractProduct(b[i - 1], L.Get(i, k), b[k - 1]);
        b[i - 1] = Divide(b[i - 1], L.Get(i, i));
    }
    return b;
}

double* BackSubstitution(const Matrix& U, double* b) {
    const std::int32_t n = U.Rows();
    for (std::int32_t i = n; i >= 1; --i) {
        for (std::int32_t k = n; k >= i + 1; --k) b[i - 1] = SubtractProduct(b[i - 1], U.Get(i, k), b[k - 1]);
        b[i - 1] = Divide(b[i - 1], U.Get(i, i));
    }
    return b;
}

}  // namespace tesora
