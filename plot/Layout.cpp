#include "plot/Layout.h"

#include <algorithm>
#include <cmath>

#include "matrix/Error.h"
#include "plot/LayoutParts.h"

namespace tesora::plot {
namespace {

// Words set into lines no wider than `width`.
QStringList Wrap(const PlotFonts& fonts, const QString& text, double size, double width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && fonts.Width(longer, size) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

Sizes SizesFor(double height) {
    Sizes s;
    s.base = std::clamp(height / 50, 7.0, 10.0);
    s.title = s.base + 1;
    s.legend = s.base - 0.5;
    s.label = std::max(5.5, s.base - 1.5);
    s.notes = std::max(6.0, s.base - 1);
    s.pad = s.base * 0.7;
    return s;
}

// The axes' ranges, the Deltas the colour scale spans, and every curve's style.
void FitAxes(PlotLayout& layout, const RateDistortionPlot& plot, bool colourScale) {
    std::vector<double> xs, ys;
    for (const PlotCurve& curve : plot.curves)
        for (const PlotPoint& p : curve.points) xs.push_back(p.x), ys.push_back(p.y);
    layout.x = FitScale(xs, plot.x);
    layout.y = FitScale(ys, plot.y);
    if (colourScale) {
        layout.deltaLow = INFINITY, layout.deltaHigh = -INFINITY;
        for (const PlotCurve& curve : plot.curves)
            if (std::isfinite(curve.delta))
                layout.deltaLow = std::min(layout.deltaLow, curve.delta),
                layout.deltaHigh = std::max(layout.deltaHigh, curve.delta);
        if (!std::isfinite(layout.deltaLow)) layout.deltaLow = 0, layout.deltaHigh = 1;
    }
    layout.styles = Styles(plot, colourScale, layout.deltaLow, layout.deltaHigh);
}

// The title on top, the notes at the foot, room for the x axis's texts above them:
// what is left becomes sheet.top ... sheet.bottom.
void PlaceTitleAndNotes(PlotLayout& layout, Sheet& sheet, const RateDistortionPlot& plot) {
    const Sizes& s = sheet.s;
    const PlotFonts& fonts = sheet.fonts;
    double top = s.pad;
    if (!plot.title.isEmpty()) {
        const QStringList lines = Wrap(fonts, plot.title, s.title, sheet.w - 2 * s.pad);
        for (const QString& line : lines) {
            PlotText text = TextAt(fonts, line, s.title, true, QPointF(0, top));
            text.box.moveLeft((sheet.w - text.box.width()) / 2);
            text.baseline.setX(text.box.left());
            layout.texts.push_back(text);
            top += text.box.height();
        }
        top += s.pad * 0.5;
    }
    const QStringList notes = Wrap(fonts, plot.notes, s.notes, sheet.w - 2 * s.pad);
    const double notesHeight = static_cast<double>(notes.size()) * fonts.LineHeight(s.notes);
    double bottom = sheet.h - s.pad - notesHeight;  // above the notes
    double y = bottom;
    for (const QString& line : notes) {
        layout.texts.push_back(TextAt(fonts, line, s.notes, false, QPointF(s.pad, y)));
        y += fonts.LineHeight(s.notes);
    }
    sheet.lineHeight = fonts.LineHeight(s.base), sheet.tickGap = s.base * 0.35;
    bottom -= s.pad * 0.4 + sheet.lineHeight + sheet.tickGap + sheet.lineHeight + sheet.tickGap;  // x title, x ticks
    if (bottom - top < 2 * sheet.lineHeight)
        throw Error(QStringLiteral("Titel und Hinweise lassen auf %1 x %2 mm keinen Platz für die Achsen "
                                   "(--plot-title, --size).")
                        .arg(qRound(sheet.w * 25.4 / 72))
                        .arg(qRound(sheet.h * 25.4 / 72))
                        .toStdString());
    sheet.top = top, sheet.bottom = bottom;
}

std::vector<double> VerticalTicks(const Sheet& sheet, const PlotScale& scale, double length) {
    return ChooseTicks(scale, length, [&](double) { return sheet.lineHeight * 2.2; });
}

// The widest tick text of a vertical scale `length` long.
double TickWidth(const Sheet& sheet, const PlotScale& scale, double length) {
    double widest = 0;
    for (double t : VerticalTicks(sheet, scale, length))
        widest = std::max(widest, sheet.fonts.Width(PlotNumber(t), sheet.s.base));
    return widest;
}

void PlaceTicks(PlotLayout& layout, const Sheet& sheet) {
    const Sizes& s = sheet.s;
    const PlotFonts& fonts = sheet.fonts;
    layout.y.ticks = VerticalTicks(sheet, layout.y, layout.area.height());
    layout.x.ticks = ChooseTicks(layout.x, layout.area.width(),
                                 [&](double v) { return fonts.Width(PlotNumber(v), s.base) + s.base * 2.5; });
    std::vector<PlotText> xTicks, yTicks;
    for (double t : layout.x.ticks) {
        PlotText text = TextAt(fonts, PlotNumber(t), s.base, false, QPointF(0, layout.area.bottom() + sheet.tickGap));
        text.box.moveLeft(layout.At(t, layout.y.low).x() - text.box.width() / 2);
        text.baseline.setX(text.box.left());
        xTicks.push_back(text);
    }
    for (double t : layout.y.ticks) {
        PlotText text = TextAt(fonts, PlotNumber(t), s.base, false, QPointF(0, 0));
        text.box.moveTopRight(
            QPointF(layout.area.left() - sheet.tickGap, layout.At(layout.x.low, t).y() - text.box.height() / 2));
        text.baseline = text.box.topLeft() + QPointF(0, fonts.Ascent(s.base));
        // The lowest y text may meet the first x text at the corner: the x axis keeps it.
        if (std::none_of(xTicks.begin(), xTicks.end(), [&](const PlotText& x) { return x.box.intersects(text.box); }))
            yTicks.push_back(text);
    }
    layout.texts.insert(layout.texts.end(), xTicks.begin(), xTicks.end());
    layout.texts.insert(layout.texts.end(), yTicks.begin(), yTicks.end());
}

// An axis title longer than the page gets a smaller size, never cut.
void PlaceAxisTitles(PlotLayout& layout, const Sheet& sheet, const RateDistortionPlot& plot) {
    const Sizes& s = sheet.s;
    const PlotFonts& fonts = sheet.fonts;
    const auto fitted = [&](const QString& text, double length) {
        double size = s.base;
        while (size > 5 && fonts.Width(text, size) > length) size -= 0.25;
        return size;
    };
    const double xSize = fitted(plot.xTitle, sheet.w - 2 * s.pad);
    PlotText x = TextAt(fonts, plot.xTitle, xSize, false,
                        QPointF(0, layout.area.bottom() + sheet.tickGap + sheet.lineHeight + sheet.tickGap));
    const double xCentre =
        std::clamp(layout.area.center().x(), s.pad + x.box.width() / 2, sheet.w - s.pad - x.box.width() / 2);
    x.box.moveLeft(xCentre - x.box.width() / 2);
    x.baseline.setX(x.box.left());
    layout.texts.push_back(x);

    const double ySize = fitted(plot.yTitle, sheet.h - 2 * s.pad);
    const QRectF b = fonts.Bounds(plot.yTitle, ySize);
    const double yCentre = std::clamp(layout.area.center().y(), s.pad + b.width() / 2, sheet.h - s.pad - b.width() / 2);
    layout.texts.push_back({QRectF(s.pad, yCentre - b.width() / 2, b.height(), b.width()),
                            QPointF(s.pad - b.top(), yCentre + b.width() / 2), plot.yTitle, ySize, false, true});
}

void PlaceColourBar(PlotLayout& layout, const Sheet& sheet, PlotScale deltaScale) {
    const Sizes& s = sheet.s;
    const double x0 = sheet.w - sheet.barColumn;
    PlotText title = TextAt(sheet.fonts, QStringLiteral("Delta"), s.legend, true, QPointF(x0, sheet.top));
    layout.texts.push_back(title);
    const double barTop = title.box.bottom() + s.base * 0.6;
    const double barHeight = std::min(layout.area.bottom() - barTop, (sheet.bottom - sheet.top) * 0.8);
    layout.colourBar = QRectF(x0, barTop, s.base * 1.1, barHeight);
    deltaScale.ticks = VerticalTicks(sheet, deltaScale, barHeight);
    for (double t : deltaScale.ticks) {
        PlotText text = TextAt(sheet.fonts, PlotNumber(t), s.base, false, QPointF(0, 0));
        const double y = layout.colourBar.bottom() - deltaScale.Fraction(t) * barHeight;
        text.box.moveTopLeft(QPointF(layout.colourBar.right() + s.base * 0.4, y - text.box.height() / 2));
        text.baseline = text.box.topLeft() + QPointF(0, sheet.fonts.Ascent(s.base));
        layout.texts.push_back(text);
    }
    layout.deltaLow = deltaScale.low, layout.deltaHigh = deltaScale.high;
}

}  // namespace

PlotText TextAt(const PlotFonts& fonts, const QString& text, double size, bool bold, QPointF topLeft) {
    const QRectF b = fonts.Bounds(text, size, bold);
    return {QRectF(topLeft, b.size()), topLeft + QPointF(0, -b.top()), text, size, bold, false};
}

PlotLayout LayOutPlot(const RateDistortionPlot& plot, QSizeF page, const PlotFonts& fonts) {
    PlotLayout layout;
    layout.page = page;
    Sheet sheet{fonts, SizesFor(page.height()), page.width(), page.height()};
    const Sizes& s = sheet.s;
    layout.fontSize = s.base;
    layout.labelSize = s.label;
    layout.marker = std::clamp(s.base * 0.32, 1.8, 3.2) * (plot.curves.size() > kMostDistinctCurves ? 0.8 : 1.0);
    const bool colourScale = plot.byDelta && plot.curves.size() > kMostDistinctCurves;
    FitAxes(layout, plot, colourScale);
    PlaceTitleAndNotes(layout, sheet, plot);

    // The legend beside the axes in as many columns as it needs, or below them; the
    // colour bar in a column of its own: the bar, its ticks and its title.
    const LegendContent legend = LegendOf(plot, colourScale);
    PlotScale deltaScale;
    deltaScale.low = layout.deltaLow, deltaScale.high = layout.deltaHigh;
    if (!(deltaScale.high > deltaScale.low)) deltaScale.low -= 0.05, deltaScale.high += 0.05;
    if (colourScale)
        sheet.barColumn =
            std::max(fonts.Width(QStringLiteral("Delta"), s.legend, true),
                     s.base * 1.1 + s.base * 0.4 + TickWidth(sheet, deltaScale, (sheet.bottom - sheet.top) * 0.8)) +
            s.pad;
    const double left0 = s.pad + sheet.lineHeight + sheet.tickGap;  // page edge, y title, gap
    const double xHalf = fonts.Width(PlotNumber(layout.x.high), s.base) / 2 + 2;
    const LegendPlace place =
        ChooseLegend(sheet, plot, legend, colourScale,
                     left0 + TickWidth(sheet, layout.y, sheet.bottom - sheet.top) + sheet.tickGap, xHalf);
    const bool any = !legend.items.empty();
    const double legendBelow = any && !place.beside ? place.shape.Height() + s.pad * 0.5 : 0;
    const double legendBeside = any && place.beside ? place.shape.Width() + s.pad : 0;
    const double right = sheet.w - std::max(s.pad, xHalf) - sheet.barColumn - legendBeside;
    const double areaBottom = sheet.bottom - legendBelow;
    const double left = left0 + TickWidth(sheet, layout.y, areaBottom - sheet.top) + sheet.tickGap;
    layout.area = QRectF(QPointF(left, sheet.top), QPointF(right, areaBottom));
    if (!(layout.area.width() > 20 && layout.area.height() > 20))
        throw Error("Das Diagramm passt nicht auf die Seite (--size).");

    PlaceTicks(layout, sheet);
    PlaceAxisTitles(layout, sheet, plot);
    if (any) {
        const double below = areaBottom + sheet.tickGap + sheet.lineHeight + sheet.tickGap + sheet.lineHeight;
        PlaceLegend(layout, sheet, plot, legend, place.shape,
                    place.beside ? QPointF(layout.area.right() + std::max(s.pad, xHalf), sheet.top)
                                 : QPointF(s.pad, below + s.pad * 0.9));
    }
    if (colourScale) PlaceColourBar(layout, sheet, deltaScale);
    layout.labels = PlaceLabels(layout, plot.curves, fonts);
    return layout;
}

}  // namespace tesora::plot
