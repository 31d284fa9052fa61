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
        // Same values as EvaluateApproximation per pixel. The factors of a pixel column
        // depend on x only and those of a pixel row on y only; and each term
        // (phi_x * M) * phi_y is rounded as written, so the products phi_x * M of a pixel
        // row are shared by every row in the same cell and made once per cell.
        static std::vector<Sample> xs, ys;
        static std::vector<double> upperUpper, lowerUpper, upperLower, lowerLower;
        Sample1D(xs, width, j);
        Sample1D(ys, height, j);
        const auto count = static_cast<std::size_t>(paintWidth);
        upperUpper.resize(count);
        lowerUpper.resize(count);
        upperLower.resize(count);
        lowerLower.resize(count);
        const double* M = CoeffMatrix.Data();
        const auto side = static_cast<std::size_t>(CoeffMatrix.Cols());
        int cell = -1;
        for (int y = 0; y < paintHeight; ++y) {
            const Sample& sy = ys[static_cast<std::size_t>(y)];
            if (sy.cell != cell) {
                cell = sy.cell;
                // Matrix columns d+2 and d+1 (1-based), i.e. 0-based d+1 and d.
                const std::size_t colUpper = static_cast<std::size_t>(cell) + 1;
                const std::size_t colLower = static_cast<std::size_t>(cell);
                for (std::size_t x = 0; x < count; ++x) {
                    const Sample& sx = xs[x];
                    const double* rowUpper = M + (static_cast<std::size_t>(sx.cell) + 1) * side;  // M(c+2, .)
                    const double* rowLower = M + static_cast<std::size_t>(sx.cell) * side;        // M(c+1, .)
                    upperUpper[x] = sx.upper * rowUpper[colUpper];
                    lowerUpper[x] = sx.lower * rowLower[colUpper];
                    upperLower[x] = sx.upper * rowUpper[colLower];
                    lowerLower[x] = sx.lower * rowLower[colLower];
                }
            }
            const double fy0 = sy.upper, fy1 = sy.lower;
            const double* __restrict uu = upperUpper.data();
            const double* __restrict lu = lowerUpper.data();
            const double* __restrict ul = upperLower.data();
            const double* __restrict ll = lowerLower.data();
            std::uint32_t* __restrict line = picture.ScanLine(y);
            for (std::size_t x = 0; x < count; ++x) {
                double s = uu[x] * fy0;
                s = s + lu[x] * fy0;
                s = s + ul[x] * fy1;
                s = s + ll[x] * fy1;
                // ClampToByte without branches, so the loop vectorises (NaN gives 0 too).
                double v = s > 255.0 ? 255.0 : s;
                v = v >= 0.0 ? v : 0.0;
                line[x] = PictureSurface::GreyWord(static_cast<int>(v));
            }
        }
    }
    frontend.SetReducedStatus("Reduziertes Bild");
}

}  // namespace tesora
