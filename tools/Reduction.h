#pragma once
// "Reduce": removes the detail coefficients below Epsilon and reports their share.
#include <string>

#include "blac/Frontend.h"

namespace tesora {

// Zeroes every non-exempt element of the (2^PictureLevel + 1)-square of CoeffMatrix
// whose magnitude is strictly below Epsilon, marks it red in the main picture and shows
// the share in Label::Prozent. The smoothing block of CurrentLevel is exempt. Returns
// the number of elements counted (zeros already there count again).
int Reduce(Frontend& frontend);

// The share of `count` zeroed coefficients in percent of 4^PictureLevel; it may exceed
// 100 because the square holds (2^PictureLevel + 1)^2 elements.
double ReductionShare(int count);

// "%g" followed by " %": 100.745 gives "100.745 %".
std::string FormatShare(double share);

// The Epsilon combo box's change handler: Epsilon = ParseNumber(text).
void EpsilonChanged(const std::string& text);

}  // namespace tesora
