// The literal Cholesky solve: dense factor on every call, in the fixed order of
// operations that decides the rounding. Every step forms its product and difference (or
// quotient, or root) in extended precision and rounds once, when it stores a double.
// Tridiagonal.cpp must reproduce it bit for bit.
#include <iostream>

#include "matrix/Error.h"
#include "matrix/Extended.h"
#include "matrix/Matrix.h"

namespace tesora {

namespace {
[[noreturn]] void ThrowNotPositive(std::int32_t column) {
    throw Error("Fehler in SolveCholesky: Matrix nicht positiv definit (Spalte " +
                std::to_string(column) + ")!");
}
}  // namespace

double* Matrix::SolveCholesky(double* b) const {
    if (rows_ != cols_) {
        std::cout << "Fehler in SolveCholesky: Matrix MUSS quadratisch sein!!" << std::endl;
        return nullptr;
    }
    const std::int32_t n = rows_;
    Matrix L(n, n);
    for (std::int32_t i = 1; i <= n; ++i) {
        double s = Get(i, i);
        for (std::int32_t k = 1; k <= i - 1; ++k) s = SubtractProduct(s, L.Get(i, k), L.Get(i, k));
        // A zero or negative pivot would turn the rest of the solve into NaN or infinity.
        if (!(s > 0.0)) ThrowNotPositive(i);
        const double diagonal = SquareRoot(s);
        L.Set(i, i, diagonal);
        for (std::int32_t j = i + 1; j <= n; ++j) {
            double t = Get(j, i);
            for (std::int32_t k = 1; k <= i - 1; ++k) t = SubtractProduct(t, L.Get(i, k), L.Get(j, k));
            L.Set(j, i, Divide(t, diagonal));
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
