#pragma once
// Plain axes for plots laid out in pixels: a range with room around the data, its grid,
// tick texts and titles.
#include <QPainter>
#include <QRectF>
#include <QString>

namespace tesora::plot {

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

}  // namespace tesora::plot
