#pragma once
// How curves look: the palette, the continuous colour scale over Delta, markers and dashes.
#include <QColor>
#include <QPainter>
#include <QPen>
#include <vector>

#include "plot/Curves.h"

namespace tesora::plot {

// How curve c looks: up to 24 curves differ in colour and marker and in colour and
// dash; beyond that, curves over Delta take their colour from a continuous scale.
struct CurveStyle {
    QColor colour;
    int marker = 0;  // circle, square, triangle, diamond, triangle down, cross
    int dash = 0;    // solid, dashed, dash-dot
};
constexpr std::size_t kMostDistinctCurves = 24;
QColor PaletteColour(std::size_t index);
QColor ScaleColour(double fraction);  // 0 ... 1, dark blue to yellow-green

// A style per curve: from the palette, or by Delta from the scale between the two ends.
std::vector<CurveStyle> Styles(const RateDistortionPlot& plot, bool colourScale, double deltaLow, double deltaHigh);
QPen CurvePen(const CurveStyle& style, double width);
void DrawMarker(QPainter& painter, QPointF p, double r, const CurveStyle& style);

}  // namespace tesora::plot
