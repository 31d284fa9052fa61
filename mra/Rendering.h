#pragma once
// The approximation of the current level, sampled at the pixels of the loaded picture's
// size and painted into the reduced-picture window.
#include "blac/Frontend.h"

namespace tesora {

// The scaling function of the current Delta: the box on (0, 1] for Delta = 0, otherwise
// a trapezoid rising on (0, Delta), 1 on [Delta, 1], falling to 0 at 1 + Delta.
double ScalingFunction(double x);
// Translate k of level j: ScalingFunction((x - k * 2^-j) * 2^j).
double LevelScalingFunction(double x, int k, int j);
// Value at (x, y) of the level-j expansion of the smoothing block of CoeffMatrix;
// -1.0 for a negative coordinate.
double EvaluateApproximation(double x, double y, int j);

// Paints PictureWidth x PictureHeight samples at CurrentLevel into frontend.Reduced().
void RenderReducedPicture(Frontend& frontend);

}  // namespace tesora
