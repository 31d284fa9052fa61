#include "plot/Frame.h"

#include <cmath>

#include "plot/Ticks.h"

namespace tesora::plot {

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
    const double xStep = TickStep(frame.x.high - frame.x.low), yStep = TickStep(frame.y.high - frame.y.low);
    for (double x = frame.x.low; x <= frame.x.high + xStep / 2; x += xStep) {
        const QPointF p = frame.At(x, frame.y.low);
        painter.setPen(grid);
        painter.drawLine(p, frame.At(x, frame.y.high));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 40, p.y() + 4, 80, 16), Qt::AlignHCenter | Qt::AlignTop, PlotNumber(x));
    }
    for (double y = frame.y.low; y <= frame.y.high + yStep / 2; y += yStep) {
        const QPointF p = frame.At(frame.x.low, y);
        painter.setPen(grid);
        painter.drawLine(p, frame.At(frame.x.high, y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(p.x() - 76, p.y() - 8, 70, 16), Qt::AlignRight | Qt::AlignVCenter, PlotNumber(y));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.area);
    if (!xTitle.isEmpty())
        painter.drawText(QRectF(frame.area.left(), frame.area.bottom() + 22, frame.area.width(), 20), Qt::AlignHCenter,
                         xTitle);
    if (yTitle.isEmpty()) return;
    painter.save();
    painter.translate(frame.area.left() - 62, frame.area.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-frame.area.height() / 2.0, -8, frame.area.height(), 20), Qt::AlignHCenter, yTitle);
    painter.restore();
}

}  // namespace tesora::plot
