#include <algorithm>
#include <cmath>
#include <set>

#include "matrix/Error.h"
#include "plot/LayoutParts.h"

namespace tesora::plot {
namespace {

LegendShape ShapeLegend(const PlotFonts& fonts, const std::vector<LegendItem>& items, const QString& heading,
                        double size) {
    LegendShape shape;
    shape.size = size;
    double widest = heading.isEmpty() ? 0 : fonts.Width(heading, size, true) - 3.4 * size;
    for (const LegendItem& item : items) widest = std::max(widest, fonts.Width(item.text, size));
    shape.columnWidth = 2.6 * size + 0.4 * size + widest + 1.2 * size;
    shape.rowHeight = fonts.LineHeight(size) * 1.08;
    shape.headingHeight = heading.isEmpty() ? 0 : fonts.LineHeight(size) * 1.2;
    return shape;
}

void PlaceList(PlotLayout& layout, const PlotFonts& fonts, const std::vector<LegendItem>& items, const QString& heading,
               const LegendShape& shape, QPointF topLeft) {
    if (!heading.isEmpty()) layout.texts.push_back(TextAt(fonts, heading, shape.size, true, topLeft));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto column = static_cast<double>(static_cast<int>(i) / shape.rows);
        const auto row = static_cast<double>(static_cast<int>(i) % shape.rows);
        const QPointF at = topLeft + QPointF(column * shape.columnWidth, shape.headingHeight + row * shape.rowHeight);
        const double h = fonts.LineHeight(shape.size);
        layout.samples.push_back({QRectF(at.x(), at.y(), 2.6 * shape.size, h), items[i].index, items[i].picture});
        layout.texts.push_back(TextAt(fonts, items[i].text, shape.size, false, at + QPointF(3.0 * shape.size, 0)));
    }
}

// Curves of several pictures at the same Deltas: a table with a row per picture and a
// column per Delta, far smaller than a list of every name. Too wide for the page, it
// continues in further blocks below. Returns its height; places it only when asked.
double PlaceGrid(PlotLayout* layout, const PlotFonts& fonts, const RateDistortionPlot& plot, double size,
                 QPointF topLeft, double width) {
    std::vector<double> deltas;
    for (const PlotCurve& curve : plot.curves)
        if (std::find(deltas.begin(), deltas.end(), curve.delta) == deltas.end()) deltas.push_back(curve.delta);
    std::sort(deltas.begin(), deltas.end());
    const QString deltaTitle = QStringLiteral("Delta");
    double nameWidth = fonts.Width(deltaTitle, size, true);
    for (const QString& picture : plot.pictures) nameWidth = std::max(nameWidth, fonts.Width(picture, size));
    nameWidth += 0.8 * size;
    double cellWidth = 2.6 * size;
    for (double d : deltas) cellWidth = std::max(cellWidth, fonts.Width(PlotNumber(d), size));
    cellWidth += 0.8 * size;
    const double rowHeight = fonts.LineHeight(size) * 1.08;
    const auto perBlock = static_cast<std::size_t>(std::max(1.0, std::floor((width - nameWidth) / cellWidth)));
    const std::size_t blocks = (deltas.size() + perBlock - 1) / perBlock;
    const double blockHeight = static_cast<double>(plot.pictures.size() + 1) * rowHeight;
    const double height = static_cast<double>(blocks) * blockHeight + static_cast<double>(blocks - 1) * 0.3 * rowHeight;
    if (!layout) return height;
    for (std::size_t b = 0; b < blocks; ++b) {
        const double y0 = topLeft.y() + static_cast<double>(b) * (blockHeight + 0.3 * rowHeight);
        layout->texts.push_back(TextAt(fonts, deltaTitle, size, true, QPointF(topLeft.x(), y0)));
        for (qsizetype p = 0; p < plot.pictures.size(); ++p)
            layout->texts.push_back(TextAt(fonts, plot.pictures[p], size, false,
                                           QPointF(topLeft.x(), y0 + static_cast<double>(p + 1) * rowHeight)));
        for (std::size_t i = b * perBlock; i < std::min(deltas.size(), (b + 1) * perBlock); ++i) {
            const double x0 = topLeft.x() + nameWidth + static_cast<double>(i - b * perBlock) * cellWidth;
            const double inner = cellWidth - 0.8 * size;  // header and samples centred in it
            const double textWidth = fonts.Width(PlotNumber(deltas[i]), size);
            layout->texts.push_back(
                TextAt(fonts, PlotNumber(deltas[i]), size, false, QPointF(x0 + (inner - textWidth) / 2, y0)));
            for (std::size_t c = 0; c < plot.curves.size(); ++c) {
                if (plot.curves[c].delta != deltas[i]) continue;
                const double y = y0 + static_cast<double>(plot.curves[c].picture + 1) * rowHeight;
                layout->samples.push_back(
                    {QRectF(x0 + (inner - 2.6 * size) / 2, y, 2.6 * size, fonts.LineHeight(size)), c, false});
            }
        }
    }
    return height;
}

// Boxes on the axes' area, kept in cells, so a sweep of many thousand points finds the

}  // namespace

LegendContent LegendOf(const RateDistortionPlot& plot, bool colourScale) {
    LegendContent legend;
    if (!colourScale) {
        legend.heading = plot.legendHeading;
        for (std::size_t c = 0; c < plot.curves.size(); ++c)
            legend.items.push_back({legend.heading.isEmpty()
                                        ? plot.curves[c].name
                                        : QStringLiteral("Delta ") + PlotNumber(plot.curves[c].delta),
                                    c, false});
        if (plot.curves.size() == 1 && !plot.byDelta) legend.items.clear();  // one picture: the title says enough
    } else if (plot.pictures.size() > 1) {
        for (std::size_t p = 0; p < static_cast<std::size_t>(plot.pictures.size()); ++p)
            legend.items.push_back({plot.pictures[static_cast<qsizetype>(p)], p, true});
    }
    // A table of pictures by Deltas when each picture and Delta is one curve.
    std::set<std::pair<std::size_t, double>> cells;
    for (const PlotCurve& curve : plot.curves) cells.insert({curve.picture, curve.delta});
    legend.grid = !colourScale && plot.byDelta && plot.pictures.size() > 1 && cells.size() == plot.curves.size();
    return legend;
}

LegendPlace ChooseLegend(const Sheet& sheet, const RateDistortionPlot& plot, const LegendContent& legend,
                         bool colourScale, double left, double xHalf) {
    const Sizes& s = sheet.s;
    const PlotFonts& fonts = sheet.fonts;
    const double w = sheet.w, h = sheet.h, top = sheet.top, bottom = sheet.bottom, barColumn = sheet.barColumn;
    const std::vector<LegendItem>& items = legend.items;
    const bool grid = legend.grid;
    LegendPlace place;
    // More entries than the page could hold at the smallest size, each at its narrowest:
    // refused before every size is tried on every entry.
    const double narrowest = (2.6 + 0.4 + 1.2) * 4.5, lowest = fonts.LineHeight(4.5) * 1.08;
    const double capacity = std::floor(w / narrowest) * std::floor(h / lowest);
    for (double size = static_cast<double>(items.size()) > capacity ? 0 : s.legend; !items.empty(); size -= 0.5) {
        if (size < 4.5)
            throw Error(QStringLiteral("Die Legende der %1 Kurven passt nicht auf %2 x %3 mm (--size).")
                            .arg(plot.curves.size())
                            .arg(qRound(w * 25.4 / 72))
                            .arg(qRound(h * 25.4 / 72))
                            .toStdString());
        const LegendShape shape = ShapeLegend(fonts, items, legend.heading, size);
        const double besideHeight = bottom - top;
        LegendShape right = shape, under = shape;
        right.rows = std::max(1, static_cast<int>((besideHeight - shape.headingHeight) / shape.rowHeight));
        right.columns = (static_cast<int>(items.size()) + right.rows - 1) / right.rows;
        right.rows = (static_cast<int>(items.size()) + right.columns - 1) / right.columns;
        const double rightArea = w - left - s.pad - barColumn - right.Width() - s.pad;
        under.columns = std::max(1, static_cast<int>((w - 2 * s.pad) / shape.columnWidth));
        under.columns = std::min(under.columns, static_cast<int>(items.size()));
        under.rows = (static_cast<int>(items.size()) + under.columns - 1) / under.columns;
        const double gridHeight = grid ? PlaceGrid(nullptr, fonts, plot, size, QPointF(), w - 2 * s.pad) : 0;
        const double underArea = bottom - top - (grid ? gridHeight : under.Height()) - s.pad * 0.5;
        const bool rightFits = !grid && !colourScale && right.Height() <= besideHeight && rightArea >= 0.5 * w &&
                               right.Width() <= w - 2 * s.pad;
        const bool underFits = underArea >= 0.4 * h && under.columns * shape.columnWidth <= w - 2 * s.pad + 1e-9;
        if (!rightFits && !underFits) continue;
        place.beside = rightFits && (!underFits || rightArea * (bottom - top) >=
                                                       (w - left - std::max(s.pad, xHalf) - barColumn) * underArea);
        place.shape = place.beside ? right : under;
        if (grid) place.shape.headingHeight = gridHeight, place.shape.rows = 0;  // its height below the axes
        break;
    }
    return place;
}

void PlaceLegend(PlotLayout& layout, const Sheet& sheet, const RateDistortionPlot& plot, const LegendContent& legend,
                 const LegendShape& shape, QPointF topLeft) {
    if (legend.grid)
        PlaceGrid(&layout, sheet.fonts, plot, shape.size, topLeft, sheet.w - 2 * sheet.s.pad);
    else
        PlaceList(layout, sheet.fonts, legend.items, legend.heading, shape, topLeft);
}

}  // namespace tesora::plot
