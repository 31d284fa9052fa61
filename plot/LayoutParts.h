#pragma once
// What the parts of a plot's layout share while it is laid out.
#include <QStringList>
#include <vector>

#include "plot/Layout.h"

namespace tesora::plot {

// Text sizes and the padding in points, all from the page's height.
struct Sizes {
    double base, title, legend, label, notes, pad;
};

// The page while it is laid out: the stretch left between the title and the x axis's
// texts, and the column of the colour bar at the right edge.
struct Sheet {
    const PlotFonts& fonts;
    Sizes s;
    double w, h;
    double top = 0, bottom = 0;
    double lineHeight = 0, tickGap = 0;
    double barColumn = 0;
};

PlotText TextAt(const PlotFonts& fonts, const QString& text, double size, bool bold, QPointF topLeft);

struct LegendItem {
    QString text;
    std::size_t index;
    bool picture;
};

// The entries, their heading, and whether they form a table of pictures by Deltas.
struct LegendContent {
    std::vector<LegendItem> items;
    QString heading;
    bool grid = false;
};
LegendContent LegendOf(const RateDistortionPlot& plot, bool colourScale);

struct LegendShape {
    double size = 0, columnWidth = 0, rowHeight = 0, headingHeight = 0;
    int rows = 0, columns = 0;
    double Width() const { return columns * columnWidth; }
    double Height() const { return headingHeight + rows * rowHeight; }
};

struct LegendPlace {
    LegendShape shape;
    bool beside = true;  // right of the axes, else below them
};

// The largest size at which the legend fits beside or below the axes, `left` being where
// the axes would start and `xHalf` what the last x tick text reaches past their end.
// Throws tesora::Error when it fits nowhere.
LegendPlace ChooseLegend(const Sheet& sheet, const RateDistortionPlot& plot, const LegendContent& legend,
                         bool colourScale, double left, double xHalf);

void PlaceLegend(PlotLayout& layout, const Sheet& sheet, const RateDistortionPlot& plot, const LegendContent& legend,
                 const LegendShape& shape, QPointF topLeft);

}  // namespace tesora::plot
