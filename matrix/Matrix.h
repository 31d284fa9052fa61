#pragma once
// Dense matrix of doubles, row-major, indexed from 1 without bounds checks.
// Dimension errors are reported by one German line on standard output, nothing else.
#include <cstddef>
#include <cstdint>

namespace tesora {

class Matrix {
public:
    // Owns rows x cols elements, all +0.0.
    Matrix(std::int32_t rows, std::int32_t cols);
    // Uses the caller's array in place: no copy, no clearing, never released.
    Matrix(double* elements, std::int32_t rows, std::int32_t cols);

    Matrix(const Matrix& other);  // deep copy
    Matrix(Matrix&& other) noexcept;
    // Assignment is Assign: equal dimensions or a message and no change.
    Matrix& operator=(const Matrix& source);
    ~Matrix();

    std::int32_t Rows() const { return rows_; }
    std::int32_t Cols() const { return cols_; }

    double Get(std::int32_t i, std::int32_t j) const { return elements_[Index(i, j)]; }
    void Set(std::int32_t i, std::int32_t j, double value) { elements_[Index(i, j)] = value; }

    void Assign(const Matrix& source);
    Matrix Transposed() const;

    // Solves this * x = b in place (this must be symmetric positive definite; only the
    // lower triangle is read). Returns b, or nullptr after the non-square message.
    // Throws Error when a pivot is not positive instead of spreading NaN.
    double* SolveCholesky(double* b) const;

    // Raw storage for the fast paths that must stay bit-identical to Get/Set loops.
    double* Data() { return elements_; }
    const double* Data() const { return elements_; }

private:
    std::size_t Index(std::int32_t i, std::int32_t j) const {
        return static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(j - 1);
    }

    std::int32_t rows_;
    std::int32_t cols_;
    double* elements_;
    bool owns_;
};

// Substitutions of the Cholesky solve; each reads only the triangle it needs.
double* ForwardSubstitution(const Matrix& L, double* b);
double* BackSubstitution(const Matrix& U, double* b);

}  // namespace tesora
