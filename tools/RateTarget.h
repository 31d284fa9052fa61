#pragma once
// Rate targets on BLaC's value road: the quantiser step that brings a row's entropy_bpp
// to a target, found on the decomposition as the row's rule leaves it.
#include <vector>

#include "tools/Analysis.h"
#include "tools/RateDistortion.h"

namespace tesora::analysis {

// Per band, the values Quantise divides by its step for the picture's own coefficients:
// c, or c * w for the norm rule's weights as Quantise applies them.
std::vector<std::vector<double>> BandRateValues(const Coefficients& square, const Layout& layout, const Norms* norms);

// The step for `bpp` (FindStepForRate) of the row `request` asks for, without its step.
StepForRate StepForTarget(PictureAnalysis& analysis, const RowRequest& request, double bpp);

}  // namespace tesora::analysis
