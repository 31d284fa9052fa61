#include "cli/Plot.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "matrix/Numbers.h"

namespace tesora::cli {
namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;
const QRect kArea(80, 50, 620, 480);  // the axes' box; the legend sits to its right

// A round step that splits `span` into about five parts.
double TickStep(double span) {
    if (!(span > 0)) return 1;
    const double raw = span / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (raw <= factor * magnitude) return factor * magnitude;
    return 10 * magnitude;
}

struct Axis {
    double low, high;
    // Range with room around the data, starting from round ticks.
    static Axis Around(double low, double high) {
        if (!(high > low)) {
            low -= 1;
            high += 1;
        }
        const double step = TickStep(high - low);
        return {std::floor(low / step) * step, std::ceil(high / step) * step};
    }
    double Fraction(double v) const { return (v - low) / (high - low); }
};

QColor CurveColour(std::size_t index) {
    static const QColor colours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44),
                                     QColor(148, 103, 189), QColor(255, 127, 14), QColor(23, 190, 207)};
    return colours[index % (sizeof colours / sizeof colours[0])];
}

QString Number(double v) { return QString::fromStdString(FormatG(v)); }

}  // namespace

QImage DrawRateDistortion(const std::vector<PlotCurve>& curves) {
    double xLow = INFINITY, xHigh = -INFINITY, yLow = 0, yHigh = -INFINITY;
    for (const PlotCurve& curve : curves)
        for (const PlotPoint& p : curve.points) {
            xLow = std::min(xLow, p.zeroShare);
            xHigh = std::max(xHigh, p.zeroShare);
            yHigh = std::max(yHigh, p.meanError);
        }
    if (!std::isfinite(xLow)) xLow = xHigh = 0, yHigh = 1;
    const Axis xAxis = Axis::Around(xLow, xHigh);
    const Axis yAxis = Axis::Around(yLow, yHigh);
    auto at = [&](double x, double y) {
        return QPointF(kArea.left() + xAxis.Fraction(x) * kArea.width(),
                       kArea.bottom() - yAxis.Fraction(y) * kArea.height());
    };

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);

    // Grid and tick labels.
    painter.setPen(QPen(QColor(225, 225, 225), 1));
    const double xStep = TickStep(xAxis.high - xAxis.low), yStep = TickStep(yAxis.high - yAxis.low);
    for (double x = xAxis.low; x <= xAxis.high + xStep / 2; x += xStep) {
        const QPointF p = at(x, yAxis.low);
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        painter.drawLine(p, at(x, yAxis.high));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 40, p.y() + 4, 80, 16), Qt::AlignHCenter | Qt::AlignTop, Number(x));
    }
    for (double y = yAxis.low; y <= yAxis.high + yStep / 2; y += yStep) {
        const QPointF p = at(xAxis.low, y);
        painter.setPen(QPen(QColor(225, 225, 225), 1));
        painter.drawLine(p, at(xAxis.high, y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 76, p.y() - 8, 70, 16), Qt::AlignRight | Qt::AlignVCenter, Number(y));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(kArea);

    // Titles.
    painter.drawText(QRectF(kArea.left(), kArea.bottom() + 24, kArea.width(), 20), Qt::AlignHCenter,
                     QStringLiteral("Anteil der Nullkoeffizienten (Nullkoeffs) in %"));
    painter.save();
    painter.translate(18, kArea.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-kArea.height() / 2.0, -8, kArea.height(), 20), Qt::AlignHCenter,
                     QStringLiteral("mittlerer Fehler (Grauwerte)"));
    painter.restore();
    QFont titleFont = font;
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.drawText(QRectF(kArea.left(), 12, kArea.width(), 24), Qt::AlignHCenter,
                     QStringLiteral("Rate-Distortion: Fehler über Nullkoeffizienten, Punkte mit Delta"));
    painter.setFont(font);

    // Curves, point labels and the legend.
    std::vector<QRectF> labels;
    for (std::size_t c = 0; c < curves.size(); ++c) {
        const PlotCurve& curve = curves[c];
        const QColor colour = CurveColour(c);
        QPainterPath path;
        for (std::size_t i = 0; i < curve.points.size(); ++i) {
            const QPointF p = at(curve.points[i].zeroShare, curve.points[i].meanError);
            if (i == 0) path.moveTo(p);
            else path.lineTo(p);
        }
        painter.setPen(QPen(colour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        painter.setBrush(colour);
        for (const PlotPoint& point : curve.points) {
            const QPointF p = at(point.zeroShare, point.meanError);
            painter.setPen(QPen(colour, 1));
            painter.drawEllipse(p, 3.5, 3.5);
            // Above right, else below right; a label that would cover another is left
            // out (the CSV has every value).
            const QString text = Number(point.delta);
            QPointF at;
            bool placed = false;
            for (const QPointF& offset : {QPointF(5, -5), QPointF(5, 14)}) {
                const QRectF box = painter.fontMetrics().boundingRect(text).translated((p + offset).toPoint());
                if (std::none_of(labels.begin(), labels.end(), [&](const QRectF& r) { return r.intersects(box); })) {
                    at = p + offset;
                    labels.push_back(box);
                    placed = true;
                    break;
                }
            }
            if (!placed) continue;
            // A white rim keeps labels readable where curves cross.
            painter.setPen(Qt::white);
            for (const QPointF& offset : {QPointF(-1, 0), QPointF(1, 0), QPointF(0, -1), QPointF(0, 1)})
                painter.drawText(at + offset, text);
            painter.setPen(colour.darker(130));
            painter.drawText(at, text);
        }
        const int y = kArea.top() + 10 + static_cast<int>(c) * 22;
        painter.setPen(QPen(colour, 2));
        painter.drawLine(kArea.right() + 16, y, kArea.right() + 40, y);
        painter.drawEllipse(QPointF(kArea.right() + 28, y), 3.5, 3.5);
        painter.setPen(Qt::black);
        const QString name = painter.fontMetrics().elidedText(QFileInfo(curve.name).fileName(),
                                                               Qt::ElideMiddle, kWidth - kArea.right() - 56);
        painter.drawText(QPointF(kArea.right() + 46, y + 5), name);
    }
    painter.end();
    return image;
}

}  // namespace tesora::cli
