// The approximation at level j, for 0 <= x, y < 1 and c = floor(x 2^j), d = floor(y 2^j):
//
//   f(x, y) = sum over a in {c-1, c}, b in {d-1, d} of phi_j,a(x) M(a+2, b+2) phi_j,b(y)
//   phi_j,k(x) = phi((x - k 2^-j) 2^j)
//
// each term rounded as (phi_x * M) * phi_y and added in the order a = c, c-1 per b.
#include "mra/Rendering.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Numbers.h"

namespace tesora {

double ScalingFunction(double delta, double x) {
    const double D = delta;
    if (D == 0.0) return (x > 0.0 && x <= 1.0) ? 1.0 : 0.0;
    if (x <= 0.0) return 0.0;
    if (x >= 1.0 + D) return 0.0;
    if (x < D) return x / D;
    if (x <= 1.0) return 1.0;
    return (1.0 - x) / D + 1.0;
}

double LevelScalingFunction(double delta, double x, int k, int j) {
    // 2^j and 2^-j are exact, as in the power tables.
    const double t = (x - k * std::ldexp(1.0, -j)) * std::ldexp(1.0, j);
    return ScalingFunction(delta, t);
}

double EvaluateApproximation(const Matrix& M, double delta, double x, double y, int j) {
    const double scale = std::ldexp(1.0, j);
    const int c = static_cast<int>(x * scale);
    const int d = static_cast<int>(y * scale);
    if (c < 0 || d < 0) return -1.0;
    const double fx0 = LevelScalingFunction(delta, x, c, j), fx1 = LevelScalingFunction(delta, x, c - 1, j);
    const double fy0 = LevelScalingFunction(delta, y, d, j), fy1 = LevelScalingFunction(delta, y, d - 1, j);
    double s = fx0 * M.Get(c + 2, d + 2) * fy0;
    s = s + fx1 * M.Get(c + 1, d + 2) * fy0;
    s = s + fx0 * M.Get(c + 2, d + 1) * fy1;
    s = s + fx1 * M.Get(c + 1, d + 1) * fy1;
    return s;
}

double ScalingFunction(double x) { return ScalingFunction(Delta, x); }
double LevelScalingFunction(double x, int k, int j) { return LevelScalingFunction(Delta, x, k, j); }
double EvaluateApproximation(double x, double y, int j) { return EvaluateApproximation(CoeffMatrix, Delta, x, y, j); }

namespace {

// Sample i of `count` lies at i / count.
void SampleAxis(std::vector<Sample>& samples, int count, double delta, int j) {
    samples.resize(static_cast<std::size_t>(count));
    const double scale = std::ldexp(1.0, j);
    for (int i = 0; i < count; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(count);
        Sample& s = samples[static_cast<std::size_t>(i)];
        s.cell = static_cast<int>(x * scale);
        s.upper = LevelScalingFunction(delta, x, s.cell, j);
        s.lower = LevelScalingFunction(delta, x, s.cell - 1, j);
    }
}

// The factors of a pixel column depend on x only, and each term (phi_x * M) * phi_y is
// rounded as written, so the products phi_x * M are shared by every pixel row of one
// cell. Matrix columns d+2 and d+1 (1-based) are 0-based d+1 and d.
void CellProducts(const MatrixView& M, int cell, std::size_t count, RenderWorkspace& ws) {
    const std::size_t colUpper = static_cast<std::size_t>(cell) + 1;
    const std::size_t colLower = static_cast<std::size_t>(cell);
    for (std::size_t x = 0; x < count; ++x) {
        const Sample& sx = ws.xs[x];
        const double* rowUpper = M.Row(static_cast<std::size_t>(sx.cell) + 1);  // M(c+2, .)
        const double* rowLower = M.Row(static_cast<std::size_t>(sx.cell));      // M(c+1, .)
        ws.upperUpper[x] = sx.upper * rowUpper[colUpper];
        ws.lowerUpper[x] = sx.lower * rowLower[colUpper];
        ws.upperLower[x] = sx.upper * rowUpper[colLower];
        ws.lowerLower[x] = sx.lower * rowLower[colLower];
    }
}

// One pixel row from the shared products; branch-free, so the loop vectorises.
void PaintSampleRow(const RenderWorkspace& ws, const Sample& sy, std::size_t count, std::uint32_t* __restrict line) {
    const double fy0 = sy.upper, fy1 = sy.lower;
    const double* __restrict uu = ws.upperUpper.data();
    const double* __restrict lu = ws.lowerUpper.data();
    const double* __restrict ul = ws.upperLower.data();
    const double* __restrict ll = ws.lowerLower.data();
    for (std::size_t x = 0; x < count; ++x) {
        double s = uu[x] * fy0;
        s = s + lu[x] * fy0;
        s = s + ul[x] * fy1;
        s = s + ll[x] * fy1;
        line[x] = PictureSurface::GreyWord(ClampToByte(s));
    }
}

}  // namespace

void RenderApproximation(const Approximation& a, PictureSurface& picture, RenderWorkspace& ws) {
    const int paintWidth = std::min(a.width, picture.Width());
    const int paintHeight = std::min(a.height, picture.Height());
    if (paintWidth <= 0 || paintHeight <= 0) return;
    SampleAxis(ws.xs, a.width, a.delta, a.level);
    SampleAxis(ws.ys, a.height, a.delta, a.level);
    const auto count = static_cast<std::size_t>(paintWidth);
    for (auto* products : {&ws.upperUpper, &ws.lowerUpper, &ws.upperLower, &ws.lowerLower}) products->resize(count);
    int cell = -1;
    for (int y = 0; y < paintHeight; ++y) {
        const Sample& sy = ws.ys[static_cast<std::size_t>(y)];
        if (sy.cell != cell) {
            cell = sy.cell;
            CellProducts(a.matrix, cell, count, ws);
        }
        PaintSampleRow(ws, sy, count, picture.ScanLine(y));
    }
}

void RenderReducedPicture(Frontend& frontend) {
    if (!frontend.ReducedWatched()) return;
    frontend.SetReducedStatus("Aktualisiere...");
    const Approximation approximation{WorkingMatrix(), Delta, CurrentLevel, PictureWidth, PictureHeight};
    RenderWorkspace workspace;
    RenderApproximation(approximation, frontend.Reduced(), workspace);
    frontend.SetReducedStatus("Reduziertes Bild");
}

}  // namespace tesora
