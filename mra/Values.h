#pragma once
// The small values the transform kernels take instead of reading the program's globals:
// the filters of one Delta, one level step, and a view of a square of coefficients.
// Handlers copy the globals into them at their edge (the Current... functions below),
// so a kernel can run on any matrix, in any thread.
#include <cstddef>

#include "blac/Filters.h"

namespace tesora {

// One step between coarse level L and fine level L + 1: n = 2^L smoothing intervals,
// lines of 2n + 1 values. The formulas need two interior wavelets (L >= 2), and a fine
// line must fit a 1025-wide matrix (L <= 9).
struct LevelStep {
    int level = 0;
    int n = 0;
    std::size_t lines = 0;
};
// Throws Error outside 2 ... 9.
LevelStep StepAt(int L);

// A square of coefficients: element (i, j), 1-based, at data[(i - 1) * stride + j - 1],
// for i, j = 1 ... side.
struct MatrixView {
    double* data = nullptr;
    std::size_t stride = 0;
    int side = 0;

    double* Row(std::size_t i) const { return data + i * stride; }  // 0-based
};

// The handlers' edge: copies of the globals.
Filters CurrentFilters();
MatrixView WorkingMatrix();  // CoeffMatrix

}  // namespace tesora
