#include "matrix/Matrix.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

namespace tesora {

namespace {
std::size_t Count(std::int32_t rows, std::int32_t cols) {
    if (rows <= 0 || cols <= 0) return 0;
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
}

// Zeroed storage from calloc: fresh pages from the system are zero already and are
// touched only when first used, so the 30 MB bank allocated before main costs almost
// nothing at start-up (new double[n]() wrote every byte of it).
double* Allocate(std::size_t count, bool zeroed) {
    void* block = zeroed ? std::calloc(count == 0 ? 1 : count, sizeof(double))
                         : std::malloc((count == 0 ? 1 : count) * sizeof(double));
    if (!block) throw std::bad_alloc();
    return static_cast<double*>(block);
}
}  // namespace

Matrix::Matrix(std::int32_t rows, std::int32_t cols)
    : rows_(rows), cols_(cols), elements_(Allocate(Count(rows, cols), true)), owns_(true) {}

Matrix::Matrix(double* elements, std::int32_t rows, std::int32_t cols)
    : rows_(rows), cols_(cols), elements_(elements), owns_(false) {}

Matrix::Matrix(const Matrix& other)
    : rows_(other.rows_), cols_(other.cols_), elements_(Allocate(Count(other.rows_, other.cols_), false)), owns_(true) {
    std::copy_n(other.elements_, Count(rows_, cols_), elements_);
}

Matrix::Matrix(Matrix&& other) noexcept
    : rows_(other.rows_), cols_(other.cols_), elements_(other.elements_), owns_(other.owns_) {
    other.elements_ = nullptr;
    other.owns_ = false;
    other.rows_ = 0;
    other.cols_ = 0;
}

Matrix& Matrix::operator=(const Matrix& source) {
    Assign(source);
    return *this;
}

Matrix::~Matrix() {
    if (owns_) std::free(elements_);
}

void Matrix::Assign(const Matrix& source) {
    if (rows_ != source.rows_ || cols_ != source.cols_) {
        std::cout << "In =: Matrix-Dimensionen stimmen nicht überein!" << std::endl;
        return;
    }
    if (this == &source) return;
    // Bit patterns, so signed zeros and NaN payloads survive.
    std::memmove(elements_, source.elements_, Count(rows_, cols_) * sizeof(double));
}

Matrix Matrix::Transposed() const {
    Matrix t(cols_, rows_);
    for (std::int32_t i = 1; i <= cols_; ++i)
        for (std::int32_t j = 1; j <= rows_; ++j) t.Set(i, j, Get(j, i));
    return t;
}

}  // namespace tesora
