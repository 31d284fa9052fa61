#pragma once
// "Reduce": removes the detail coefficients below Epsilon and reports their share.
#include <string>

#include "blac/Frontend.h"
#include "mra/Values.h"

namespace tesora {

// Zeroes every non-exempt element of the (2^PictureLevel + 1)-square of CoeffMatrix
// whose magnitude is strictly below Epsilon, marks it red in the main picture and shows
// the share in Label::Prozent. The smoothing block of CurrentLevel is exempt. Returns
// the number of elements counted (zeros already there count again).
int Reduce(Frontend& frontend);

// The one flat threshold: elements from ... to of `source` whose magnitude is below
// `threshold` become +0.0 in `target`, the others are copied. `target` may be `source`.
// Returns their number.
int ThresholdFlat(const double* source, double* target, int from, int to, double threshold);

// The kernel of Reduce on values: elements (i, j), 0-based, i, j = 0 ... last, except
// the smoothing block i, j <= smooth, with magnitude below epsilon become +0.0 and are
// marked red at pixel (i, j) where `bild` has it. Returns their number.
struct DetailSquare {
    int last = 0;
    int smooth = 0;
    double epsilon = 0.0;
};
int ZeroSmallDetails(const MatrixView& M, const DetailSquare& square, PictureSurface& bild);

// The share of `count` zeroed coefficients in percent of 4^PictureLevel; it may exceed
// 100 because the square holds (2^PictureLevel + 1)^2 elements.
double ReductionShare(int count);
// The same for a picture of level `pictureLevel`.
double ReductionShare(int count, int pictureLevel);

// "%g" followed by " %": 100.745 gives "100.745 %".
std::string FormatShare(double share);

// The Epsilon combo box's change handler: Epsilon = ParseNumber(text).
void EpsilonChanged(const std::string& text);

}  // namespace tesora
