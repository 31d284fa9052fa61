#include "mra/Rendering.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Numbers.h"

namespace tesora {

double ScalingFunction(double x) {
    const double D = Delta;
    if (D == 0.0) return (x > 0.0 && x <= 1.0) ? 1.0 : 0.0;
    if (x <= 0.0) return 0.0;
    if (x >= 1.0 + D) return 0.0;
    if (x < D) return x / D;
    if (x <= 1.0) return 1.0;
    return (1.0 - x) / D + 1.0;
}

double LevelScalingFunction(double x, int k, int j) {
    const double t = (x - k * Pow2Inv[j]) * Pow2[j];
    return ScalingFunction(t);
}

double EvaluateApproximation(double x, double y, int j) {
    const int c = static_cast<int>(x * Pow2[j]);
    const int d = static_cast<int>(y * Pow2[j]);
    if (c < 0 || d < 0) return -1.0;
    const Matrix& M = CoeffMatrix;
    const double fx0 = LevelScalingFunction(x, c, j), fx1 = LevelScalingFunction(x, c - 1, j);
    const double fy0 = LevelScalingFunction(y, d, j), fy1 = LevelScalingFunction(y, d - 1, j);
    double s = fx0 * M.Get(c + 2, d + 2) * fy0;
    s = s + fx1 * M.Get(c + 1, d + 2) * fy0;
    s = s + fx0 * M.Get(c + 2, d + 1) * fy1;
    s = s + fx1 * M.Get(c + 1, d + 1) * fy1;
    return s;
}

namespace {
// The two translates that reach one sample coordinate, and their values there.
struct Sample {
    int cell;       // c: coordinate times 2^j, truncated
    double upper;   // translate c
    double lower;   // translate c - 1
};

void Sample1D(std::vector<Sample>& samples, int count, int j) {
    samples.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(count);
        Sample& s = samples[static_cast<std::size_t>(i)];
        s.cell = static_cast<int>(x * Pow2[j]);
        s.upper = LevelScalingFunction(x, s.cell, j);
        s.lower = LevelScalingFunction(x, s.cell - 1, j);
    }
}
}  // namespace

void RenderReducedPicture(Frontend& frontend) {
    frontend.SetReducedStatus("Aktualisiere...");
    const int width = PictureWidth, height = PictureHeight, j = CurrentLevel;
    PictureSurface& picture = frontend.Reduced();
    const int paintWidth = std::min(width, picture.Width());
    const int paintHeight = std::min(height, picture.Height());
    if (paintWidth > 0 && paintHeight > 0) {
        // Same values as EvaluateApproximation per pixel: the factors of a pixel column
        // depend on x only and those of a pixel row on y only, so they are made once.
        static std::vector<Sample> xs, ys;
        Sample1D(xs, width, j);
        Sample1D(ys, height, j);
        const double* M = CoeffMatrix.Data();
        const auto side = static_cast<std::size_t>(CoeffMatrix.Cols());
        for (int y = 0; y < paintHeight; ++y) {
            const Sample& sy = ys[static_cast<std::size_t>(y)];
            // Column d+2 and d+1 of the matrix (1-based), i.e. 0-based d+1 and d.
            const std::size_t colUpper = static_cast<std::size_t>(sy.cell) + 1;
            const std::size_t colLower = static_cast<std::size_t>(sy.cell);
            std::uint32_t* line = picture.ScanLine(y);
            for (int x = 0; x < paintWidth; ++x) {
                const Sample& sx = xs[static_cast<std::size_t>(x)];
                const double* rowUpper = M + (static_cast<std::size_t>(sx.cell) + 1) * side;  // M(c+2, .)
                const double* rowLower = M + static_cast<std::size_t>(sx.cell) * side;        // M(c+1, .)
                double s = sx.upper * rowUpper[colUpper] * sy.upper;
                s = s + sx.lower * rowLower[colUpper] * sy.upper;
                s = s + sx.upper * rowUpper[colLower] * sy.lower;
                s = s + sx.lower * rowLower[colLower] * sy.lower;
                line[x] = PictureSurface::GreyWord(ClampToByte(s));
            }
        }
    }
    frontend.SetReducedStatus("Reduziertes Bild");
}

}  // namespace tesora
