#pragma once
// The operators of one level step: the Gram matrices of the level's scaling functions
// and wavelets (written into the bank) and the inner products of a line with them.
//
// Level L is the coarse level (2 <= L <= 9): n = 2^L smoothing intervals, N = 2n fine
// positions 0 ... N. The end factors 1 + e of the scaling inner products and the short
// neighbour term of the wavelet Gram matrix are deliberate and must stay as they are.
#include <memory>

#include "blac/Bank.h"
#include "mra/Values.h"

namespace tesora {

// The fine line being transformed, F[0 ... N]; only the level change driver writes it.
extern double LineCoeffs[kMaxSide];

// Rewrites every entry of ScalingGram(L).
void BuildScalingGram(double Delta, int L);
// a[0 ... n] = inner products of LineCoeffs with the level-L scaling functions.
std::unique_ptr<double[]> ScalingInnerProducts(double Delta, int L);
// Writes the three central diagonals of WaveletGram(L) from the filters.
void BuildWaveletGram(const Filters& filters, int L);
// d[0 ... n-1] = inner products of LineCoeffs with the level-L wavelets of the filters.
std::unique_ptr<double[]> WaveletInnerProducts(const Filters& filters, int L);

// The factors each fine value is multiplied by, per inner product, formed exactly as in
// the operators above so that a vectorised path rounds like them. Products are summed
// left to right: a = f[0] * F[first] + f[1] * F[first + 1] + ...
struct ScalingFactors {
    double left[3];   // a[0]:   F[0 ... 2]
    double inner[5];  // a[k]:   F[2k-2 ... 2k+2]
    double right[3];  // a[n]:   F[2n-2 ... 2n]
};
struct WaveletFactors {
    double left[5];   // d[0]:   F[0 ... 4]
    double inner[7];  // d[m]:   F[2m-2 ... 2m+4]
    double right[5];  // d[n-1]: F[2n-4 ... 2n]
};
ScalingFactors ComputeScalingFactors(double delta);
WaveletFactors ComputeWaveletFactors(const Filters& filters);

// The bands of the two Gram matrices of level L (diagonal[0 ... size-1], subdiagonal
// [0 ... size-2]), exactly the values BuildScalingGram and BuildWaveletGram write;
// those two write them into the bank.
void ScalingGramBand(double delta, int L, double* diagonal, double* subdiagonal);
void WaveletGramBand(const Filters& filters, int L, double* diagonal, double* subdiagonal);

}  // namespace tesora
