#include "cli/PlotCanvas.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSvgGenerator>
#include <cmath>

#include "cli/Arguments.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora::cli {

double TickStep(double span) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double raw = span / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (raw <= factor * magnitude) return factor * magnitude;
    return 10 * magnitude;
}

Axis Axis::Around(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    const double step = TickStep(high - low);
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

void DrawFrame(QPainter& painter, const Frame& frame, const QString& xTitle, const QString& yTitle) {
    const QPen grid(QColor(225, 225, 225), 1);
    // Tick texts are axis marks, not data: "%g" keeps them short.
    auto number = [](double v) { return QString::fromStdString(FormatG(std::abs(v) < 1e-12 ? 0.0 : v)); };
    const double xStep = TickStep(frame.x.high - frame.x.low), yStep = TickStep(frame.y.high - frame.y.low);
    for (double x = frame.x.low; x <= frame.x.high + xStep / 2; x += xStep) {
        const QPointF p = frame.At(x, frame.y.low);
        painter.setPen(grid);
        painter.drawLine(p, frame.At(x, frame.y.high));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 40, p.y() + 4, 80, 16), Qt::AlignHCenter | Qt::AlignTop, number(x));
    }
    for (double y = frame.y.low; y <= frame.y.high + yStep / 2; y += yStep) {
        const QPointF p = frame.At(frame.x.low, y);
        painter.setPen(grid);
        painter.drawLine(p, frame.At(frame.x.high, y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 76, p.y() - 8, 70, 16), Qt::AlignRight | Qt::AlignVCenter, number(y));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.area);
    if (!xTitle.isEmpty())
        painter.drawText(QRectF(frame.area.left(), frame.area.bottom() + 22, frame.area.width(), 20),
                         Qt::AlignHCenter, xTitle);
    if (yTitle.isEmpty()) return;
    painter.save();
    painter.translate(frame.area.left() - 62, frame.area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-frame.area.height() / 2.0, -8, frame.area.height(), 20), Qt::AlignHCenter, yTitle);
    painter.restore();
}

QColor CurveColour(std::size_t index) {
    static const QColor colours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44),
                                     QColor(148, 103, 189), QColor(255, 127, 14), QColor(23, 190, 207)};
    return colours[index % (sizeof colours / sizeof colours[0])];
}

PlotFormat PlotFormatFor(const QString& path, const QString& option) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return PlotFormat::Png;
    if (suffix == QLatin1String("svg")) return PlotFormat::Svg;
    throw UsageError(QStringLiteral("%1: \"%2\" muss auf .png oder .svg enden.").arg(option, path));
}

void AddPlot(OutputFiles& outputs, const QString& path, QSize size, const std::function<void(QPainter&)>& draw) {
    auto paint = [&](QPainter& painter) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        draw(painter);
        painter.end();
    };
    if (PlotFormatFor(path, QString()) == PlotFormat::Png) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        paint(painter);
        outputs.AddPicture(path, image);
        return;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QFileInfo(path).completeBaseName());
    QPainter painter(&generator);
    paint(painter);
    outputs.AddText(path, buffer.data());
}

void RequireFonts() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error("Für das Diagramm fehlt die Qt-Anwendung.");
}

}  // namespace tesora::cli
