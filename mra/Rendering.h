#pragma once
// The approximation of the current level, sampled at the pixels of the loaded picture's
// size and painted into the reduced-picture window.
#include <vector>

#include "blac/Frontend.h"
#include "matrix/Matrix.h"
#include "mra/Values.h"

namespace tesora {

// The scaling function of Delta: the box on (0, 1] for Delta = 0, otherwise a trapezoid
// rising on (0, Delta), 1 on [Delta, 1], falling to 0 at 1 + Delta.
double ScalingFunction(double delta, double x);
// Translate k of level j: ScalingFunction((x - k * 2^-j) * 2^j).
double LevelScalingFunction(double delta, double x, int k, int j);
// Value at (x, y) of the level-j expansion of the smoothing block of M; -1.0 for a
// negative coordinate.
double EvaluateApproximation(const Matrix& M, double delta, double x, double y, int j);

// The same with the current Delta and CoeffMatrix.
double ScalingFunction(double x);
double LevelScalingFunction(double x, int k, int j);
double EvaluateApproximation(double x, double y, int j);

// What one rendering samples: the level-j expansion of M, at width x height points.
struct Approximation {
    MatrixView matrix;
    double delta = 0.0;
    int level = 0;
    int width = 0;
    int height = 0;
};

// The two translates that reach one sample coordinate, and their values there.
struct Sample {
    int cell = 0;        // c: coordinate times 2^j, truncated
    double upper = 0.0;  // translate c
    double lower = 0.0;  // translate c - 1
};

// Scratch memory of the rendering; grows to the largest picture it meets.
struct RenderWorkspace {
    std::vector<Sample> xs, ys;
    // Products phi_x * M of one pixel row, for the four corners of its cell.
    std::vector<double> upperUpper, lowerUpper, upperLower, lowerLower;
};

// Paints the samples that fit into `picture`, grey values like EvaluateApproximation's.
void RenderApproximation(const Approximation& approximation, PictureSurface& picture, RenderWorkspace& workspace);

// Paints PictureWidth x PictureHeight samples at CurrentLevel into frontend.Reduced(),
// unless the frontend does not watch it.
void RenderReducedPicture(Frontend& frontend);

}  // namespace tesora
