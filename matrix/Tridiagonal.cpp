#include "matrix/Tridiagonal.h"

#include <bit>
#include <string>

#include "matrix/Error.h"
#include "matrix/Extended.h"

namespace tesora {

namespace {
constexpr std::uint64_t kNegativeZero = 0x8000000000000000ULL;

bool IsNegativeZero(double x) { return std::bit_cast<std::uint64_t>(x) == kNegativeZero; }
bool SignBit(double x) { return (std::bit_cast<std::uint64_t>(x) & kNegativeZero) != 0; }
}  // namespace

void TridiagonalCholesky::Factor(const Matrix& A) {
    const std::int32_t n = A.Rows();
    std::vector<double> d(static_cast<std::size_t>(n)), s(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) {
        d[static_cast<std::size_t>(i - 1)] = A.Get(i, i);
        s[static_cast<std::size_t>(i - 1)] = i < n ? A.Get(i + 1, i) : 0.0;
    }
    Factor(d.data(), s.data(), n);
}

void TridiagonalCholesky::Factor(const double* diagonal, const double* subdiagonal, std::int32_t n) {
    n_ = n;
    diagonal_.assign(static_cast<std::size_t>(n), 0.0);
    subdiagonal_.assign(static_cast<std::size_t>(n), 0.0);
    for (std::int32_t i = 0; i < n; ++i) {
        const auto u = static_cast<std::size_t>(i);
        double s = diagonal[u];
        if (i > 0) s = SubtractProduct(s, subdiagonal_[u - 1], subdiagonal_[u - 1]);
        if (!(s > 0.0))
            throw Error("Fehler in SolveCholesky: Matrix nicht positiv definit (Spalte " +
                        std::to_string(i + 1) + ")!");
        diagonal_[u] = SquareRoot(s);
        if (i + 1 < n) {
            double t = subdiagonal[u];
            // The dense factor subtracts L(i, i-1) * L(i+1, i-1) = L(i, i-1) * (+0).
            if (i > 0) t = SubtractProduct(t, subdiagonal_[u - 1], 0.0);
            subdiagonal_[u] = Divide(t, diagonal_[u]);
        }
    }
}

void TridiagonalCholesky::SolveExact(double* b, std::size_t step) const {
    const auto n = static_cast<std::size_t>(n_);
    // Forward: the out-of-band terms subtract (+0) * y[k], a zero with y[k]'s sign.
    bool negativeSeen = false;
    for (std::size_t i = 0; i < n; ++i) {
        double v = b[i * step];
        if (i >= 2) {
            negativeSeen = negativeSeen || SignBit(b[(i - 2) * step]);
            v = v - (negativeSeen ? -0.0 : 0.0);
        }
        if (i >= 1) v = SubtractProduct(v, subdiagonal_[i - 1], b[(i - 1) * step]);
        b[i * step] = Divide(v, diagonal_[i]);
    }
    negativeSeen = false;
    for (std::size_t r = n; r-- > 0;) {
        double v = b[r * step];
        if (r + 2 < n) {
            negativeSeen = negativeSeen || SignBit(b[(r + 2) * step]);
            v = v - (negativeSeen ? -0.0 : 0.0);
        }
        if (r + 1 < n) v = SubtractProduct(v, subdiagonal_[r], b[(r + 1) * step]);
        b[r * step] = Divide(v, diagonal_[r]);
    }
}

void TridiagonalCholesky::Solve(double* b) const {
    const auto n = static_cast<std::size_t>(n_);
    if (n == 0) return;
    for (std::size_t i = 0; i < n; ++i)
        if (IsNegativeZero(b[i])) return SolveExact(b, 1);
    // Without a -0.0 on the right the out-of-band zeros change nothing (see header).
    b[0] = Divide(b[0], diagonal_[0]);
    for (std::size_t i = 1; i < n; ++i) b[i] = Divide(SubtractProduct(b[i], subdiagonal_[i - 1], b[i - 1]), diagonal_[i]);
    b[n - 1] = Divide(b[n - 1], diagonal_[n - 1]);
    for (std::size_t r = n - 1; r-- > 0;) b[r] = Divide(SubtractProduct(b[r], subdiagonal_[r], b[r + 1]), diagonal_[r]);
}

void TridiagonalCholesky::SolveInterleaved(double* b, std::size_t stride, std::size_t count) const {
    const auto n = static_cast<std::size_t>(n_);
    if (n == 0 || count == 0) return;
    bool anyNegativeZero = false;
    for (std::size_t i = 0; i < n && !anyNegativeZero; ++i) {
        const double* row = b + i * stride;
        for (std::size_t m = 0; m < count; ++m)
            if (IsNegativeZero(row[m])) { anyNegativeZero = true; break; }
    }
    if (anyNegativeZero) {
        for (std::size_t m = 0; m < count; ++m) SolveExact(b + m, stride);
        return;
    }
    {
        const double d = diagonal_[0];
        double* row = b;
        for (std::size_t m = 0; m < count; ++m) row[m] = Divide(row[m], d);
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double l = subdiagonal_[i - 1], d = diagonal_[i];
        double* __restrict row = b + i * stride;
        const double* __restrict prev = b + (i - 1) * stride;
        for (std::size_t m = 0; m < count; ++m) row[m] = Divide(SubtractProduct(row[m], l, prev[m]), d);
    }
    {
        const double d = diagonal_[n - 1];
        double* row = b + (n - 1) * stride;
        for (std::size_t m = 0; m < count; ++m) row[m] = Divide(row[m], d);
    }
    for (std::size_t r = n - 1; r-- > 0;) {
        const double l = subdiagonal_[r], d = diagonal_[r];
        double* __restrict row = b + r * stride;
        const double* __restrict next = b + (r + 1) * stride;
        for (std::size_t m = 0; m < count; ++m) row[m] = Divide(SubtractProduct(row[m], l, next[m]), d);
    }
}

}  // namespace tesora
