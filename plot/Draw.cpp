#include "plot/Draw.h"

#include <QPainterPath>
#include <climits>

namespace tesora::plot {
namespace {

// Curves of more points than this are drawn thinned: a point on the device pixel of the one
// before adds nothing, and a stroke's cost grows faster than its length, so long curves
// are stroked in pieces. Curves up to it are drawn exactly as they always were.
constexpr std::size_t kDensePoints = 2000;
constexpr std::size_t kPiece = 32;

// Whether p falls on `last`, the device pixel of the point before; `last` becomes p's.
bool SamePixel(const QPainter& painter, QPointF p, QPoint& last) {
    const QPoint pixel = painter.transform().map(p).toPoint();
    if (pixel == last) return true;
    last = pixel;
    return false;
}

std::vector<QPainterPath> CurvePaths(const QPainter& painter, const PlotLayout& layout,
                                     const std::vector<PlotPoint>& points) {
    const bool dense = points.size() > kDensePoints;
    std::vector<QPainterPath> paths(1);
    QPoint last(INT_MIN, INT_MIN);
    std::size_t inPiece = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = layout.At(points[i].x, points[i].y);
        if (dense && i + 1 < points.size() && i > 0 && SamePixel(painter, p, last)) continue;
        if (dense && inPiece == kPiece) {
            // The next piece starts where this one ends, so the line stays unbroken.
            const QPointF end = paths.back().currentPosition();
            paths.emplace_back().moveTo(end);
            inPiece = 1;
        }
        if (paths.back().elementCount() == 0)
            paths.back().moveTo(p);
        else
            paths.back().lineTo(p);
        ++inPiece;
    }
    return paths;
}

}  // namespace

void DrawPlot(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, const PlotFonts& fonts) {
    const QRectF& area = layout.area;
    // Grid, then the curves inside the box, then the box over them.
    painter.setPen(QPen(QColor(225, 225, 225), 0.5));
    for (double t : layout.x.ticks) painter.drawLine(layout.At(t, layout.y.low), layout.At(t, layout.y.high));
    for (double t : layout.y.ticks) painter.drawLine(layout.At(layout.x.low, t), layout.At(layout.x.high, t));
    const double r = layout.marker;
    const double width = plot.curves.size() > kMostDistinctCurves ? 0.8 : 1.1;
    painter.save();
    painter.setClipRect(area);
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        painter.setPen(CurvePen(layout.styles[c], width));
        painter.setBrush(Qt::NoBrush);
        for (const QPainterPath& path : CurvePaths(painter, layout, plot.curves[c].points)) painter.drawPath(path);
    }
    painter.setClipRect(area.adjusted(-r, -r, r, r));
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        const bool dense = plot.curves[c].points.size() > kDensePoints;
        QPoint last(INT_MIN, INT_MIN);
        for (const PlotPoint& point : plot.curves[c].points) {
            const QPointF p = layout.At(point.x, point.y);
            if (dense && SamePixel(painter, p, last)) continue;
            if (area.contains(p)) DrawMarker(painter, p, r, layout.styles[c]);
        }
    }
    painter.restore();
    painter.setPen(QPen(Qt::black, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
    for (double t : layout.x.ticks) {
        const QPointF p = layout.At(t, layout.y.low);
        painter.drawLine(p, p + QPointF(0, -3));
    }
    for (double t : layout.y.ticks) {
        const QPointF p = layout.At(layout.x.low, t);
        painter.drawLine(p, p + QPointF(3, 0));
    }

    for (const PlacedLabel& label : layout.labels) {
        painter.setFont(fonts.Font(layout.labelSize));
        // A white rim keeps labels readable where curves cross.
        QPainterPath outline;
        outline.addText(label.baseline, fonts.Font(layout.labelSize), label.text);
        painter.setPen(QPen(Qt::white, 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
        painter.setPen(layout.styles[label.curve].colour.darker(125));
        painter.drawText(label.baseline, label.text);
    }
    for (const LegendSample& sample : layout.samples) {
        const double y = sample.box.center().y();
        CurveStyle style = sample.picture ? CurveStyle{QColor(60, 60, 60), static_cast<int>(sample.curve % 6),
                                                       static_cast<int>(sample.curve / 6 % 3)}
                                          : layout.styles[sample.curve];
        painter.setPen(CurvePen(style, width));
        painter.drawLine(QPointF(sample.box.left(), y), QPointF(sample.box.right(), y));
        DrawMarker(painter, QPointF(sample.box.center().x(), y), std::min(r, sample.box.height() * 0.3), style);
    }
    if (!layout.colourBar.isEmpty()) {
        // Stripes rather than a gradient: every viewer draws them alike.
        const QRectF& bar = layout.colourBar;
        constexpr int stripes = 64;
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < stripes; ++i) {
            painter.setBrush(ScaleColour((i + 0.5) / stripes));
            const double y0 = bar.bottom() - bar.height() * (i + 1) / stripes;
            painter.drawRect(QRectF(bar.left(), y0, bar.width(), bar.height() / stripes + 0.05));
        }
        painter.setPen(QPen(Qt::black, 0.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bar);
    }
    painter.setPen(Qt::black);
    for (const PlotText& text : layout.texts) {
        painter.setFont(fonts.Font(text.size, text.bold));
        if (!text.vertical) {
            painter.drawText(text.baseline, text.text);
            continue;
        }
        painter.save();
        painter.translate(text.baseline);
        painter.rotate(-90);
        painter.drawText(QPointF(0, 0), text.text);
        painter.restore();
    }
}

PageFile RenderPlot(const QString& path, const RateDistortionPlot& plot, const PlotOptions& options) {
    return RenderPage(path, options.page, plot.title, [&](QPainter& painter, const PlotFonts& fonts) {
        DrawPlot(painter, plot, LayOutPlot(plot, options.page.points, fonts), fonts);
    });
}

}  // namespace tesora::plot
