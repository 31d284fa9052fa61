#pragma once
// Standard wavelets beside BLaC: Haar, the 5/3 and the 9/7 biorthogonal wavelets, by
// lifting on a picture's own width x height with whole-sample symmetric extension, as
// the still-picture standards transform. Each step splits the current smoothing region
// of a line into ceil(n/2) smoothing values followed by floor(n/2) details, so a line of
// any length, odd or even, goes down and back up exactly (up to rounding). Scaled as
// those standards scale: the smoothing filter passes a constant with gain 1, the detail
// filter the highest frequency with gain 2 (5/3: -1/8 1/4 3/4 1/4 -1/8 and
// -1/2 1 -1/2).
//
// Layout of a square decomposed by S steps: element (i, j) at data[i * stride + j], i the
// pixel column x, j the pixel row y, as the working matrix. With n_0 = width,
// n_s = ceil(n_(s-1) / 2) (and likewise for the rows), the smoothing values are the block
// i < n_S, j < m_S; the details of step s fill the block i < n_(s-1), j < m_(s-1)
// outside i < n_s, j < m_s.
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tesora {

enum class Basis : unsigned char { Blac, Haar, Cdf53, Cdf97 };

// "blac", "haar", "cdf53", "cdf97".
const char* BasisName(Basis basis);
std::optional<Basis> ParseBasis(std::string_view name);

// One line of n values at line[0 ... n - 1], in place; `scratch` holds n doubles. Forward leaves ceil(n/2) smoothing
// values, then the details; Inverse undoes it. Basis::Blac is not a lifting basis (Error).
void LiftForward(Basis basis, double* line, int n, double* scratch);
void LiftInverse(Basis basis, double* line, int n, double* scratch);

// n_0 = n, n_s = ceil(n_(s-1) / 2), s = 0 ... steps.
std::vector<int> SmoothingCounts(int n, int steps);

// `steps` steps of the two-dimensional transform on width x rows values at
// data[i * stride + j] (i < width, j < rows), in place: each step transforms along i
// (j fixed), then along j, on the smoothing block of the step before. Reconstruct undoes
// Decompose step by step, in the reverse order.
void LiftDecompose(Basis basis, double* data, std::size_t stride, int width, int rows, int steps);
void LiftReconstruct(Basis basis, double* data, std::size_t stride, int width, int rows, int steps);

// The L2 norms of the one-dimensional synthesis functions of a line of n samples:
// norms[s - 1][c] for step s = 1 ... steps and c < n_(s-1) (c < n_s a smoothing value of
// that step, else a detail), the unit coefficient synthesised back to all n samples.
std::vector<std::vector<double>> LiftNorms(Basis basis, int n, int steps);

}  // namespace tesora
