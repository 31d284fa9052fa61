#pragma once
// Wavelet filters for the current Delta: solve the block systems, assemble the
// wavelet matrix of level index 2 and copy out the three filters every level uses.
#include <memory>

#include "blac/Filters.h"
#include "matrix/Matrix.h"

namespace tesora {

// Kinds for the fixed Delta = 0 coefficients.
constexpr int kLeftWavelet = 1;
constexpr int kInnerWavelet = 12345;
constexpr int kRightWavelet = 0;

// M: n x (n+1) block, eliminated in place. Returns n + 1 coefficients, or nullptr after
// the dimension message (or for an unknown kind at D = 0).
std::unique_ptr<double[]> CalcKoeff(Matrix& M, double D, int n, int kind);

// (2^(j+1) + 1) x 2^j: column c holds wavelet c of level j in the finer scaling functions.
Matrix BuildWaveletMatrix(double D, int j);

// Reads Delta; writes WaveletMatrix and, from FiltersOf(Delta), WaveletLeft/Inner/Right,
// OneMinusHalfDelta, HalfDelta.
void RebuildWaveletCoeffs();

}  // namespace tesora
