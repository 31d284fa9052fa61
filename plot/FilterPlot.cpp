#include "plot/FilterPlot.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/ReferenceTransform.h"
#include "plot/Frame.h"
#include "plot/Style.h"

namespace tesora::plot {
namespace {

// Which single coefficient makes each function: the middle scaling function, the first
// (left boundary) detail, the first interior one and the last (right boundary) one.
std::vector<double> Synthesise(int kind) {
    const int n = Pow2Int[kBasisLevel];
    std::vector<double> c(static_cast<std::size_t>(n + 1), 0.0), d(static_cast<std::size_t>(n), 0.0);
    std::vector<double> v(static_cast<std::size_t>(2 * n + 1), 0.0);
    switch (kind) {
        case kScaling: c[static_cast<std::size_t>(n / 2)] = 1; break;
        case kLeftWavelet: d[0] = 1; break;
        case kInnerWavelet: d[1] = 1; break;
        default: d[static_cast<std::size_t>(n - 1)] = 1; break;
    }
    SynthesiseLine(kBasisLevel, c.data(), d.data(), v.data());
    return v;
}

Frame PanelFrame(int kind, const std::vector<BasisFunctions>& functions) {
    const double column = kind % 2, row = kind / 2;
    const QRectF area(90 + column * 450, 70 + row * 300, 360, 220);
    double low = 0, high = 0;
    for (const BasisFunctions& f : functions)
        for (double v : f.values[static_cast<std::size_t>(kind)]) low = std::min(low, v), high = std::max(high, v);
    return {area, {0, static_cast<double>(Pow2Int[kBasisLevel])}, Axis::Around(low, high)};
}

void DrawPanel(QPainter& painter, int kind, const std::vector<BasisFunctions>& functions) {
    const Frame frame = PanelFrame(kind, functions);
    DrawFrame(painter, frame, QStringLiteral("x (Gitter von Level %1)").arg(kBasisLevel), QString());
    painter.setPen(Qt::black);
    painter.drawText(QRectF(frame.area.left(), frame.area.top() - 22, frame.area.width(), 18), Qt::AlignHCenter,
                     BasisTitle(kind));
    painter.setPen(QPen(QColor(160, 160, 160), 1, Qt::DashLine));
    painter.drawLine(frame.At(frame.x.low, 0), frame.At(frame.x.high, 0));
    for (std::size_t i = 0; i < functions.size(); ++i) {
        QPainterPath path;
        const std::vector<QPointF>& line = functions[i].polylines[static_cast<std::size_t>(kind)];
        for (std::size_t k = 0; k < line.size(); ++k) {
            const QPointF p = frame.At(line[k].x(), line[k].y());
            if (k == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        painter.setPen(QPen(PaletteColour(i), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

void DrawLegend(QPainter& painter, const std::vector<BasisFunctions>& functions) {
    double x = 90;
    const double y = kBasisPlotHeight - 24;
    for (std::size_t i = 0; i < functions.size(); ++i) {
        painter.setPen(QPen(PaletteColour(i), 3));
        painter.drawLine(QPointF(x, y), QPointF(x + 24, y));
        painter.setPen(Qt::black);
        const QString text = QStringLiteral("Delta = %1").arg(QString::fromStdString(FormatG(functions[i].delta)));
        painter.drawText(QPointF(x + 30, y + 4), text);
        x += 54 + painter.fontMetrics().horizontalAdvance(text);
    }
}

}  // namespace

QString BasisTitle(int kind) {
    switch (kind) {
        case kScaling: return QStringLiteral("Skalierungsfunktion");
        case kLeftWavelet: return QStringLiteral("linkes Randwavelet");
        case kInnerWavelet: return QStringLiteral("inneres Wavelet");
        default: return QStringLiteral("rechtes Randwavelet");
    }
}

std::vector<QPointF> BlacPolyline(const std::vector<double>& values, double delta, double spacing) {
    std::vector<QPointF> line;
    if (values.empty()) return line;
    line.emplace_back(0.0, values[0]);
    for (std::size_t j = 1; j < values.size(); ++j) {
        // Just right of grid point j - 1 the box of point j already counts in full.
        const double start = (1 - delta) * values[j] + delta * values[j - 1];
        const double left = static_cast<double>(j - 1) * spacing, right = static_cast<double>(j) * spacing;
        if (start != values[j - 1]) line.emplace_back(left, start);
        line.emplace_back(right, values[j]);
    }
    return line;
}

double SampleAt(const std::vector<QPointF>& polyline, double x) {
    for (std::size_t i = 0; i < polyline.size(); ++i) {
        if (polyline[i].x() == x) return polyline[i].y();
        if (i > 0 && polyline[i - 1].x() < x && x < polyline[i].x()) {
            const double t = (x - polyline[i - 1].x()) / (polyline[i].x() - polyline[i - 1].x());
            return polyline[i - 1].y() + t * (polyline[i].y() - polyline[i - 1].y());
        }
    }
    return NAN;
}

BasisFunctions ComputeBasisFunctions() {
    BasisFunctions functions;
    functions.delta = Delta;
    // The scaling function is one of the coarse level's own: box and hat of that level.
    std::vector<double> unit(static_cast<std::size_t>(Pow2Int[kBasisLevel] + 1), 0.0);
    unit[unit.size() / 2] = 1;
    for (int kind = 0; kind < kBasisKinds; ++kind) {
        const auto k = static_cast<std::size_t>(kind);
        functions.values[k] = Synthesise(kind);
        functions.polylines[k] =
            kind == kScaling ? BlacPolyline(unit, Delta, 1.0) : BlacPolyline(functions.values[k], Delta, 0.5);
    }
    return functions;
}

void DrawBasisFunctions(QPainter& painter, const std::vector<BasisFunctions>& functions) {
    QFont title = painter.font();
    const QFont normal = title;
    title.setPixelSize(15);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(0, 10, kBasisPlotWidth, 24), Qt::AlignHCenter,
                     QStringLiteral("BLaC-Basisfunktionen: Box bei Delta 0, Hut bei Delta 1, Trapeze dazwischen"));
    painter.setFont(normal);
    for (int kind = 0; kind < kBasisKinds; ++kind) DrawPanel(painter, kind, functions);
    DrawLegend(painter, functions);
}

}  // namespace tesora::plot
