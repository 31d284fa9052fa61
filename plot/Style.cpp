#include "plot/Style.h"

#include <algorithm>
#include <cmath>

namespace tesora::plot {

QColor PaletteColour(std::size_t index) {
    // Told apart with every common colour-vision deficiency.
    static const QColor colours[] = {QColor(0, 114, 178), QColor(213, 94, 0),    QColor(0, 158, 115),
                                     QColor(230, 159, 0), QColor(204, 121, 167), QColor(86, 180, 233),
                                     QColor(0, 0, 0),     QColor(136, 136, 136)};
    return colours[index % 8];
}

QColor ScaleColour(double fraction) {
    // A perceptually even scale from dark blue over teal to yellow-green, readable on
    // white to its end and in grey.
    static const double stops[][3] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139}, {44, 113, 142},
                                      {33, 144, 141}, {39, 173, 129}, {92, 200, 99}, {170, 220, 50}};
    constexpr int last = 7;
    const double f = std::clamp(std::isfinite(fraction) ? fraction : 0.5, 0.0, 1.0) * last;
    const int i = std::min(last - 1, static_cast<int>(f));
    const double t = f - i;
    const auto mix = [&](int k) {
        return static_cast<int>(std::lround(stops[i][k] + t * (stops[i + 1][k] - stops[i][k])));
    };
    return {mix(0), mix(1), mix(2)};
}

std::vector<CurveStyle> Styles(const RateDistortionPlot& plot, bool colourScale, double deltaLow, double deltaHigh) {
    std::vector<CurveStyle> styles;
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        if (!colourScale) {
            // 8 colours, 6 markers, 3 dashes: colour with marker and colour with dash
            // both differ for any two of the first 24 curves.
            styles.push_back({PaletteColour(c), static_cast<int>(c % 6), static_cast<int>(c / 8 % 3)});
            continue;
        }
        const double span = deltaHigh - deltaLow;
        const double f = span > 0 ? (plot.curves[c].delta - deltaLow) / span : 0.5;
        const std::size_t p = plot.curves[c].picture;
        styles.push_back({ScaleColour(f), static_cast<int>(p % 6), static_cast<int>(p / 6 % 3)});
    }
    return styles;
}

QPen CurvePen(const CurveStyle& style, double width) {
    QPen pen(style.colour, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    if (style.dash == 1) pen.setDashPattern({5, 2.5});
    if (style.dash == 2) pen.setDashPattern({5, 2, 1.2, 2});
    return pen;
}

void DrawMarker(QPainter& painter, QPointF p, double r, const CurveStyle& style) {
    painter.setPen(QPen(style.colour.darker(115), r * 0.35));
    painter.setBrush(style.colour);
    QPolygonF shape;
    switch (style.marker) {
        case 0: painter.drawEllipse(p, r, r); return;
        case 1: painter.drawRect(QRectF(p.x() - r * 0.85, p.y() - r * 0.85, r * 1.7, r * 1.7)); return;
        case 2: shape << p + QPointF(0, -r * 1.1) << p + QPointF(r, r * 0.75) << p + QPointF(-r, r * 0.75); break;
        case 3:
            shape << p + QPointF(0, -r * 1.2) << p + QPointF(r, 0) << p + QPointF(0, r * 1.2) << p + QPointF(-r, 0);
            break;
        case 4: shape << p + QPointF(0, r * 1.1) << p + QPointF(r, -r * 0.75) << p + QPointF(-r, -r * 0.75); break;
        default:
            painter.setPen(QPen(style.colour, r * 0.55));
            painter.drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
            painter.drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
            return;
    }
    painter.drawPolygon(shape);
}

}  // namespace tesora::plot
