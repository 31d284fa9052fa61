#pragma once
// "Calc Delta": a difference picture of CoeffMatrix and the Delta it suggests.
#include <string>

#include "blac/Frontend.h"
#include "matrix/Matrix.h"
#include "mra/Values.h"

namespace tesora {

// The 3 x 3 second-difference filter: 4 in the middle, -1 at the four direct neighbours.
// Element (k+2, l+2) weighs the neighbour at offset (k, l).
extern const Matrix DifferenceKernel;

// Sums of the last proposal: all difference values, and those strictly between 0 and
// Schranke.
extern double DifferenceSumBelow;
extern double DifferenceSumTotal;

// The handler of "Calc Delta": resets both sums, shows the difference picture in the
// reduced window and proposes a Delta from it.
void CalcDelta(Frontend& frontend);

// Step texts, a black reduced picture, then the difference picture of DifferenceKernel.
void ShowDifferencePicture(Frontend& frontend);

// Paints 255 - v at every inner pixel of the reduced picture, v the scaled, normalised
// magnitude of `kernel` applied around the matrix element of that pixel, and adds v to
// the sums. Elements beyond the 1025 x 1025 matrix (pictures taller than 1026 pixels)
// count as 0.0. `kernel` must be 3 x 3.
void ComputeDifferencePicture(Frontend& frontend, const Matrix& kernel);

// The difference picture as a kernel on values: `matrix` holds the picture's values,
// width x height its size, `bound` the Schranke. The sums grow from what `sums` holds.
struct DifferenceSums {
    double below = 0.0;
    double total = 0.0;
};
struct DifferenceInput {
    MatrixView matrix;
    double bound = 0.0;
    int width = 0;
    int height = 0;
};
void DifferencePicture(const Matrix& kernel, const DifferenceInput& input, PictureSurface& reduced,
                       DifferenceSums& sums);

// Delta = DifferenceSumBelow / DifferenceSumTotal unless the total is 0; shows it and
// moves the Delta scroll bar to Delta * 100, truncated.
void ProposeDelta(Frontend& frontend);

// The Delta the sums propose when Delta is `current`: below / total unless the total is
// 0 or the quotient NaN, which keep `current`.
double ProposedDelta(const DifferenceSums& sums, double current);

// What "Calc Delta" ends with, from the sums and the scroll bar at `position` (Delta
// `current`): the proposal, its label, where the scroll bar goes, and Delta afterwards
// (the scroll bar's handler sets it anew only when the position changes).
struct DeltaProposal {
    double proposed = 0.0;
    std::string label;
    int position = 0;
    double delta = 0.0;
};
DeltaProposal ProposalOf(const DifferenceSums& sums, double current, int position);

// The bound combo box's change handler: Schranke = ParseNumber(text).
void SchrankeChanged(const std::string& text);

}  // namespace tesora
