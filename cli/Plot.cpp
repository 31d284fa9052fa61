#include "cli/Plot.h"

#include <QFileInfo>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "cli/StandardInput.h"
#include "matrix/Numbers.h"

namespace tesora::cli {
namespace {

const QRectF kArea(90, 50, 560, 480);  // the axes' box; the legend sits to its right
constexpr double kMarker = 3.5;

QString G(double v) { return QString::fromStdString(FormatG(v)); }

double XOf(const CompressResult& r, PlotX x) { return x == PlotX::ZeroShare ? r.zeroShare : r.own.Share(); }
double YOf(const CompressResult& r, PlotY y) { return y == PlotY::Fehler ? r.meanError : r.quality.psnr; }

QString CurveName(const CompressResult& r, bool severalEpsilons) {
    const QString picture = !IsStandardStream(r.picture) ? QFileInfo(r.picture).fileName() : QStringLiteral("Eingabe");
    return severalEpsilons ? QStringLiteral("%1, Delta %2").arg(picture, G(r.delta)) : picture;
}

void DrawCurve(QPainter& painter, const Frame& frame, const PlotCurve& curve, const QColor& colour) {
    QPainterPath path;
    for (std::size_t i = 0; i < curve.points.size(); ++i) {
        const QPointF p = frame.At(curve.points[i].x, curve.points[i].y);
        if (i == 0) path.moveTo(p);
        else path.lineTo(p);
    }
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setBrush(colour);
    painter.setPen(QPen(colour, 1));
    for (const PlotPoint& point : curve.points) painter.drawEllipse(frame.At(point.x, point.y), kMarker, kMarker);
}

void DrawLabels(QPainter& painter, const std::vector<PlacedLabel>& labels) {
    for (const PlacedLabel& label : labels) {
        // A white rim keeps labels readable where curves cross.
        painter.setPen(Qt::white);
        for (const QPointF& offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
            painter.drawText(label.baseline + offset, label.text);
        painter.setPen(CurveColour(label.curve).darker(130));
        painter.drawText(label.baseline, label.text);
    }
}

void DrawLegend(QPainter& painter, const RateDistortionPlot& plot) {
    const double left = kArea.right() + 16;
    const double width = kPlotWidth - left - 8;
    painter.setPen(Qt::black);
    painter.drawText(QRectF(left, kArea.top(), width, 54), Qt::TextWordWrap,
                     QStringLiteral("Kurve: %1\nPunkt: %2").arg(plot.curveMeaning, plot.pointMeaning));
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        const double y = kArea.top() + 70 + static_cast<double>(c) * 20;
        if (y > kArea.bottom() - 40) break;  // more curves than room: the colours repeat anyway
        painter.setPen(QPen(CurveColour(c), 2));
        painter.drawLine(QPointF(left, y), QPointF(left + 24, y));
        painter.setBrush(CurveColour(c));
        painter.drawEllipse(QPointF(left + 12, y), kMarker, kMarker);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(left + 30, y + 4),
                         painter.fontMetrics().elidedText(plot.curves[c].name, Qt::ElideMiddle,
                                                          static_cast<int>(width - 30)));
    }
    painter.drawText(QRectF(left, kArea.bottom() - 32, width, 32), Qt::TextWordWrap | Qt::AlignBottom,
                     plot.better);
}

}  // namespace

RateDistortionPlot PlotOfRows(const std::vector<CompressResult>& rows, PlotX x, PlotY y, bool severalEpsilons) {
    RateDistortionPlot plot;
    plot.xTitle = x == PlotX::ZeroShare ? QStringLiteral("Anteil der Nullkoeffizienten (Nullkoeffs) in %")
                                        : QStringLiteral("Anteil der Nullen unter den Details im Bild in %");
    plot.yTitle = y == PlotY::Fehler ? QStringLiteral("mittlerer Fehler (Grauwerte)") : QStringLiteral("PSNR (dB)");
    plot.title = y == PlotY::Fehler ? QStringLiteral("Rate-Distortion: mittlerer Fehler über Nullkoeffizienten")
                                    : QStringLiteral("Rate-Distortion: PSNR über Nullkoeffizienten");
    plot.curveMeaning = severalEpsilons ? QStringLiteral("ein Bild bei einem Delta") : QStringLiteral("ein Bild");
    plot.pointMeaning = severalEpsilons ? QStringLiteral("ein Epsilon (Zahl am Punkt)")
                                        : QStringLiteral("eine Delta-Position (Zahl: Delta)");
    plot.better = y == PlotY::Fehler ? QStringLiteral("Besser: nach rechts unten (mehr Nullen, kleinerer Fehler)")
                                     : QStringLiteral("Besser: nach rechts oben (mehr Nullen, höhere PSNR)");
    for (const CompressResult& r : rows) {
        const QString name = CurveName(r, severalEpsilons);
        if (plot.curves.empty() || plot.curves.back().name != name) plot.curves.push_back({name, {}});
        const double px = XOf(r, x), py = YOf(r, y);
        if (!std::isfinite(px) || !std::isfinite(py)) continue;
        plot.curves.back().points.push_back({px, py, G(severalEpsilons && r.epsilon ? *r.epsilon : r.delta)});
    }
    return plot;
}

Frame RateDistortionFrame(const std::vector<PlotCurve>& curves) {
    double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
    for (const PlotCurve& curve : curves)
        for (const PlotPoint& p : curve.points) {
            xLow = std::min(xLow, p.x), xHigh = std::max(xHigh, p.x);
            yLow = std::min(yLow, p.y), yHigh = std::max(yHigh, p.y);
        }
    if (yLow > 0 && yLow < yHigh / 2) yLow = 0;  // errors read best from a zero base line
    return {kArea, Axis::Around(xLow, xHigh), Axis::Around(yLow, yHigh)};
}

std::vector<PlacedLabel> PlaceLabels(const Frame& frame, const std::vector<PlotCurve>& curves,
                                     const QFontMetricsF& metrics) {
    std::vector<QRectF> obstacles;  // the points, then every label placed
    for (const PlotCurve& curve : curves)
        for (const PlotPoint& point : curve.points) {
            const QPointF p = frame.At(point.x, point.y);
            obstacles.emplace_back(p.x() - kMarker, p.y() - kMarker, 2 * kMarker, 2 * kMarker);
        }
    std::vector<PlacedLabel> labels;
    for (std::size_t c = 0; c < curves.size(); ++c)
        for (const PlotPoint& point : curves[c].points) {
            const QPointF p = frame.At(point.x, point.y);
            const QRectF text = metrics.tightBoundingRect(point.label).adjusted(-1, -1, 1, 1);
            const double w = text.width(), h = text.height();
            // Beside the point: right, left, above, below, then the four corners.
            const QPointF corners[] = {{6, -h / 2}, {-6 - w, -h / 2}, {-w / 2, -6 - h}, {-w / 2, 6},
                                       {5, -5 - h}, {5, 5},         {-5 - w, -5 - h}, {-5 - w, 5}};
            for (const QPointF& corner : corners) {
                const QRectF box(p + corner, QSizeF(w, h));
                if (!frame.area.contains(box)) continue;
                if (std::any_of(obstacles.begin(), obstacles.end(), [&](const QRectF& r) { return r.intersects(box); }))
                    continue;
                obstacles.push_back(box);
                labels.push_back({box, box.topLeft() - text.topLeft(), point.label, c});
                break;
            }
        }
    return labels;
}

void DrawRateDistortion(QPainter& painter, const RateDistortionPlot& plot) {
    const Frame frame = RateDistortionFrame(plot.curves);
    DrawFrame(painter, frame, plot.xTitle, plot.yTitle);
    QFont title = painter.font();
    const QFont normal = title;
    title.setPixelSize(15);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(kArea.left(), 12, kArea.width(), 24), Qt::AlignHCenter,
                     plot.title);
    painter.setFont(normal);
    painter.save();
    painter.setClipRect(kArea.adjusted(-kMarker, -kMarker, kMarker, kMarker));
    for (std::size_t c = 0; c < plot.curves.size(); ++c) DrawCurve(painter, frame, plot.curves[c], CurveColour(c));
    painter.restore();
    DrawLabels(painter, PlaceLabels(frame, plot.curves, QFontMetricsF(painter.font())));
    DrawLegend(painter, plot);
}

}  // namespace tesora::cli
