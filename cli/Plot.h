#pragma once
// The rate-distortion plot of a sweep's table: any two of its numeric columns, one
// curve per picture (or per picture and Delta when several rows share them), every
// point labelled with the value that moves along the curve. Laid out in points on a
// page of any size, so the same plot serves a screen (PNG) and a paper (SVG, PDF).
#include <QColor>
#include <QPainter>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/PlotCanvas.h"
#include "cli/PlotTable.h"

namespace tesora::cli {

enum class PlotLanguage { De, En };

struct PlotAxisOptions {
    QString column;
    std::optional<std::pair<double, double>> range;  // instead of the data's
    bool log = false;
};

struct PlotOptions {
    PlotAxisOptions x{QStringLiteral("zero_share"), std::nullopt, false};
    PlotAxisOptions y{QStringLiteral("mean_error"), std::nullopt, false};
    PlotLanguage language = PlotLanguage::De;
    PlotPage page = PlotPage::Parse(QStringLiteral("900x600"), QString());
    std::optional<QString> title;  // instead of the one made from the axes ("" for none)
};

// The options both "sweep" and "plot" take for the drawing (not the output names).
void AddPlotOptions(CommandLine& line);
PlotOptions ReadPlotOptions(const CommandLine& line);
// Usage error unless both axes name columns of `columns`.
void CheckPlotColumns(const PlotOptions& options, const QStringList& columns);

struct PlotPoint {
    double x, y;
    QString label;  // the "%g" text of the value that moves along the curve
};

struct PlotCurve {
    QString name;
    std::size_t picture = 0;        // index into RateDistortionPlot::pictures
    double delta = 0;               // for the colour scale when curves follow Delta
    std::vector<PlotPoint> points;  // in the order of the moving value
};

struct RateDistortionPlot {
    QString title, xTitle, yTitle;
    QString notes;          // what a curve and a point are, and which way is better
    QString legendHeading;  // the one picture all curves share, when they follow Delta
    QStringList pictures;
    bool byDelta = false;  // a curve per picture and Delta
    PlotAxisOptions x, y;
    std::vector<PlotCurve> curves;
};

// Curves from a table. Points without a finite value (PSNR of a lossless run, zero on a
// log axis) are left out. Throws UsageError for a column the table lacks and
// tesora::Error naming the line of a value that is not a number.
RateDistortionPlot PlotOfTable(const Table& table, const PlotOptions& options);

// How curve c looks: up to 24 curves differ in colour and marker and in colour and
// dash; beyond that, curves over Delta take their colour from a continuous scale.
struct CurveStyle {
    QColor colour;
    int marker = 0;  // circle, square, triangle, diamond, triangle down, cross
    int dash = 0;    // solid, dashed, dash-dot
};
constexpr std::size_t kMostDistinctCurves = 24;
QColor PaletteColour(std::size_t index);
QColor ScaleColour(double fraction);  // 0 ... 1, dark blue to yellow-green

// A mapping of data values onto a stretch of the page, with its ticks.
struct PlotScale {
    double low = 0, high = 1;
    bool log = false;
    std::vector<double> ticks;
    double Fraction(double v) const;
};

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

void DrawPlot(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, const PlotFonts& fonts);

// Lays out and adds one file per path.
void AddPlots(OutputFiles& outputs, const QStringList& paths, const RateDistortionPlot& plot,
              const PlotOptions& options);

}  // namespace tesora::cli
