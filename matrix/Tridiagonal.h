#pragma once
// Factor-once, solve-many Cholesky for symmetric positive-definite tridiagonal matrices.
//
// Gives results bit-identical to Matrix::SolveCholesky on the same matrix: the dense
// algorithm only adds exact zeros outside the band, in an order that cannot change a
// value, with one exception handled here: a right-hand side entry of -0.0 turns into
// +0.0 when an earlier solution entry is negative (-0 - (-0) = +0). Right-hand sides
// must be finite (0 * inf would be NaN in the dense solve and is not reproduced).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "matrix/Matrix.h"
#include "matrix/Simd.h"

namespace tesora {

class TridiagonalCholesky {
public:
    // Factors the band of A (diagonal and first subdiagonal; the rest must be +0.0).
    // Throws Error for a pivot that is not positive, like SolveCholesky.
    void Factor(const Matrix& A);
    void Factor(const double* diagonal, const double* subdiagonal, std::int32_t n);

    std::int32_t Size() const { return n_; }

    // Solves one contiguous right-hand side in place.
    void Solve(double* b) const;
    // Solves `count` right-hand sides stored interleaved: element k (0-based) of
    // system m lives at b[k * stride + m]. Vectorises across the systems.
    void SolveInterleaved(double* b, std::size_t stride, std::size_t count) const;
    // The same bits on doubles alone: each step emulated with double pairs, vectorised,
    // and handed to Extended only near a rounding tie. SolveInterleaved uses it where
    // Extended is the software type; public so that every build tests it.
    // `level` picks the vector clone (a level the processor lacks falls back to its best).
    void SolveInterleavedOnDoubles(double* b, std::size_t stride, std::size_t count,
                                   VectorLevel level = BestVectorLevel()) const;

private:
    void SolveExact(double* b, std::size_t step) const;  // the signed-zero-faithful path
    // A -0.0 on the right: only SolveExact reproduces the dense solve's signs then.
    bool NeedsExactPath(const double* b, std::size_t stride, std::size_t count) const;
    // One sweep function of the .cpp over the systems, or SolveExact where it must.
    template <typename SweepFn>
    void RunSweep(SweepFn sweep, double* b, std::size_t stride, std::size_t count) const;

    std::int32_t n_ = 0;
    std::vector<double> diagonal_;     // L(i, i)
    std::vector<double> subdiagonal_;  // L(i + 1, i)
    std::vector<double> inverse_;      // 1 / L(i, i), for the quotients' checks
};

// Which clone SolveInterleaved runs on this processor in this build, for benchmark reports.
const char* InterleavedSolveName();

}  // namespace tesora
