#include "plot/Draw.h"

#include <QPainterPath>
#include <cstdint>
#include <unordered_set>

namespace tesora::plot {
namespace {

// Curves of more points than this are drawn thinned, where it cannot be seen: of a run
// of points on one device column only the first, the lowest, the highest and the last
// shape the line, and a marker on the device pixel of one already drawn adds nothing. A
// stroke's cost grows faster than its length, so long curves are stroked in pieces.
// Curves up to it are drawn exactly as they always were.
constexpr std::size_t kDensePoints = 2000;
constexpr std::size_t kPiece = 32;

QPoint DevicePixel(const QPainter& painter, QPointF p) { return painter.transform().map(p).toPoint(); }

// The points a dense curve's line needs, in their order: per run on one device column
// its first, lowest, highest and last.
std::vector<QPointF> LinePoints(const QPainter& painter, const PlotLayout& layout,
                                const std::vector<PlotPoint>& points) {
    std::vector<QPointF> kept;
    const bool dense = points.size() > kDensePoints;
    std::size_t start = 0;
    while (start < points.size()) {
        const QPointF first = layout.At(points[start].x, points[start].y);
        std::size_t end = start + 1, low = start, high = start;
        if (dense) {
            const int column = DevicePixel(painter, first).x();
            double lowY = first.y(), highY = first.y();
            for (; end < points.size(); ++end) {
                const QPointF p = layout.At(points[end].x, points[end].y);
                if (DevicePixel(painter, p).x() != column) break;
                if (p.y() < lowY) lowY = p.y(), low = end;
                if (p.y() > highY) highY = p.y(), high = end;
            }
        }
        std::size_t previous = end;  // the picks ascend; each is kept once
        for (std::size_t i : {start, std::min(low, high), std::max(low, high), end - 1}) {
            if (i != previous) kept.push_back(layout.At(points[i].x, points[i].y));
            previous = i;
        }
        start = end;
    }
    return kept;
}

std::vector<QPainterPath> CurvePaths(const QPainter& painter, const PlotLayout& layout,
                                     const std::vector<PlotPoint>& points) {
    const bool dense = points.size() > kDensePoints;
    std::vector<QPainterPath> paths(1);
    std::size_t inPiece = 0;
    for (const QPointF& p : LinePoints(painter, layout, points)) {
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

// The curves inside the box, their markers a little beyond it.
void DrawCurves(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, double width) {
    const QRectF& area = layout.area;
    const double r = layout.marker;
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
        std::unordered_set<std::uint64_t> drawn;
        for (const PlotPoint& point : plot.curves[c].points) {
            const QPointF p = layout.At(point.x, point.y);
            if (!area.contains(p)) continue;
            if (dense) {
                const QPoint pixel = DevicePixel(painter, p);
                const auto key = (std::uint64_t{static_cast<std::uint32_t>(pixel.x())} << 32) |
                                 static_cast<std::uint32_t>(pixel.y());
                if (!drawn.insert(key).second) continue;
            }
            DrawMarker(painter, p, r, layout.styles[c]);
        }
    }
    painter.restore();
}

void DrawBox(QPainter& painter, const PlotLayout& layout) {
    painter.setPen(QPen(Qt::black, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(layout.area);
    for (double t : layout.x.ticks) {
        const QPointF p = layout.At(t, layout.y.low);
        painter.drawLine(p, p + QPointF(0, -3));
    }
    for (double t : layout.y.ticks) {
        const QPointF p = layout.At(layout.x.low, t);
        painter.drawLine(p, p + QPointF(3, 0));
    }
}

void DrawLabels(QPainter& painter, const PlotLayout& layout, const PlotFonts& fonts) {
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
}

void DrawLegendSamples(QPainter& painter, const PlotLayout& layout, double width) {
    for (const LegendSample& sample : layout.samples) {
        const double y = sample.box.center().y();
        CurveStyle style = sample.picture ? CurveStyle{QColor(60, 60, 60), static_cast<int>(sample.curve % 6),
                                                       static_cast<int>(sample.curve / 6 % 3)}
                                          : layout.styles[sample.curve];
        painter.setPen(CurvePen(style, width));
        painter.drawLine(QPointF(sample.box.left(), y), QPointF(sample.box.right(), y));
        DrawMarker(painter, QPointF(sample.box.center().x(), y), std::min(layout.marker, sample.box.height() * 0.3),
                   style);
    }
}

// Stripes rather than a gradient: every viewer draws them alike.
void DrawColourBar(QPainter& painter, const QRectF& bar) {
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

void DrawTexts(QPainter& painter, const PlotLayout& layout, const PlotFonts& fonts) {
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

}  // namespace

void DrawPlot(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, const PlotFonts& fonts) {
    // Grid, then the curves inside the box, then the box over them.
    painter.setPen(QPen(QColor(225, 225, 225), 0.5));
    for (double t : layout.x.ticks) painter.drawLine(layout.At(t, layout.y.low), layout.At(t, layout.y.high));
    for (double t : layout.y.ticks) painter.drawLine(layout.At(layout.x.low, t), layout.At(layout.x.high, t));
    const double width = plot.curves.size() > kMostDistinctCurves ? 0.8 : 1.1;
    DrawCurves(painter, plot, layout, width);
    DrawBox(painter, layout);
    DrawLabels(painter, layout, fonts);
    DrawLegendSamples(painter, layout, width);
    if (!layout.colourBar.isEmpty()) DrawColourBar(painter, layout.colourBar);
    DrawTexts(painter, layout, fonts);
}

PageFile RenderPlot(const QString& path, const RateDistortionPlot& plot, const PlotOptions& options) {
    return RenderPage(path, options.page, plot.title, [&](QPainter& painter, const PlotFonts& fonts) {
        DrawPlot(painter, plot, LayOutPlot(plot, options.page.points, fonts), fonts);
    });
}

}  // namespace tesora::plot
