#pragma once
// "filters --plot": the scaling function and the three kinds of wavelet of one coarse
// level, drawn on the finer level's grid for several Deltas.
#include <QPainter>
#include <QPointF>
#include <QString>
#include <array>
#include <vector>

namespace tesora::plot {

// The coarse level drawn: 4 intervals, so every kind of wavelet appears once at least;
// the functions live on the 9 points of the next level.
constexpr int kBasisLevel = 2;

enum BasisKind { kScaling, kLeftWavelet, kInnerWavelet, kRightWavelet, kBasisKinds };

// German panel titles.
QString BasisTitle(int kind);

struct BasisFunctions {
    double delta = 0;
    // Values at the fine grid points 0 ... 2^(kBasisLevel+1), from the synthesis of a
    // single coefficient with the filters now in force.
    std::array<std::vector<double>, kBasisKinds> values;
    // What is drawn, x in units of the coarse grid: the scaling function as the coarse
    // level's blend of box and hat, each wavelet as its sum of the fine level's scaling
    // functions. Where a vertical jump sits on a grid point, the first vertex at that x
    // carries the value at the point.
    std::array<std::vector<QPointF>, kBasisKinds> polylines;
};

// For the current Delta and filters (set them first).
BasisFunctions ComputeBasisFunctions();

// The sum of values[j] times the BLaC function of grid point j (grid points `spacing`
// apart): between two points linear, with a jump of (1 - Delta) times the change just
// right of the left point (the box of a point covers the interval to its left).
std::vector<QPointF> BlacPolyline(const std::vector<double>& values, double delta, double spacing);

// The drawn value at x: the first vertex at x, else the line between its neighbours.
double SampleAt(const std::vector<QPointF>& polyline, double x);

constexpr int kBasisPlotWidth = 1000;
constexpr int kBasisPlotHeight = 720;
void DrawBasisFunctions(QPainter& painter, const std::vector<BasisFunctions>& functions);

}  // namespace tesora::plot
