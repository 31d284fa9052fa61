#pragma once
// Where everything of a rate-distortion plot goes, in points on a page of any size, so
// the same plot serves a screen (PNG) and a paper (SVG, PDF).
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

#include "plot/Curves.h"
#include "plot/Page.h"
#include "plot/Style.h"
#include "plot/Ticks.h"

namespace tesora::plot {

struct PlotText {
    QRectF box;  // what it covers on the page (rotated text: its upright bounds)
    QPointF baseline;
    QString text;
    double size = 9;
    bool bold = false;
    bool vertical = false;  // read from bottom to top
};

struct PlacedLabel {
    QRectF box;        // what the text covers
    QPointF baseline;  // where it is drawn
    QString text;
    std::size_t curve;
};

struct LegendSample {
    QRectF box;
    std::size_t curve;  // its style; for a legend of pictures the picture's index
    bool picture = false;
};

// Everything drawn and where, in points.
struct PlotLayout {
    QSizeF page;
    QRectF area;  // the axes' box
    PlotScale x, y;
    double fontSize = 9, labelSize = 7.5, marker = 3;
    std::vector<PlotText> texts;  // titles, ticks, legend, colour bar, notes
    std::vector<LegendSample> samples;
    std::vector<PlacedLabel> labels;
    QRectF colourBar;  // empty unless the curves take their colour from the scale
    double deltaLow = 0, deltaHigh = 1;
    std::vector<CurveStyle> styles;

    QPointF At(double vx, double vy) const {
        return {area.left() + x.Fraction(vx) * area.width(), area.bottom() - y.Fraction(vy) * area.height()};
    }
};

// Throws tesora::Error when the page is too small for the legend.
PlotLayout LayOutPlot(const RateDistortionPlot& plot, QSizeF page, const PlotFonts& fonts);

// A spot for each point's label beside it, inside the axes' box, over no other label
// and no point; a label without such a spot is left out (the table has every value).
std::vector<PlacedLabel> PlaceLabels(const PlotLayout& layout, const std::vector<PlotCurve>& curves,
                                     const PlotFonts& fonts);

}  // namespace tesora::plot
