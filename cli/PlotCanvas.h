#pragma once
// What both plots share: axes with round ticks, the colours of the curves, and the
// output as PNG (QPainter on an image) or SVG (QSvgGenerator) by the file's extension.
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

#include "cli/OutputFiles.h"

namespace tesora::cli {

// A round step that splits `span` into about five parts.
double TickStep(double span);

// A value range mapped onto a stretch of the image.
struct Axis {
    double low, high;
    // Range with room around the data, starting from round ticks.
    static Axis Around(double low, double high);
    double Fraction(double v) const { return (v - low) / (high - low); }
};

// The axes' box and its two ranges: data values to image points.
struct Frame {
    QRectF area;
    Axis x, y;
    QPointF At(double vx, double vy) const {
        return {area.left() + x.Fraction(vx) * area.width(), area.bottom() - y.Fraction(vy) * area.height()};
    }
};

// Grid lines, tick labels and the box; titles along both axes when not empty.
void DrawFrame(QPainter& painter, const Frame& frame, const QString& xTitle, const QString& yTitle);

QColor CurveColour(std::size_t index);

enum class PlotFormat { Png, Svg };
// .png or .svg; anything else is a usage error naming `option`.
PlotFormat PlotFormatFor(const QString& path, const QString& option);

// Draws a white canvas of `size` with `draw` and adds it to `outputs` in the format of
// the path's extension. Needs a QGuiApplication (fonts).
void AddPlot(OutputFiles& outputs, const QString& path, QSize size, const std::function<void(QPainter&)>& draw);

// The GUI application the fonts need; throws tesora::Error without one.
void RequireFonts();

}  // namespace tesora::cli
