#pragma once
// The rate-distortion plot of a sweep: an error figure over a share of zero
// coefficients, one curve per picture (or per picture and Delta when several Epsilons
// were run), every point labelled with the value that moves along the curve.
#include <QFontMetricsF>
#include <QPainter>
#include <QString>
#include <vector>

#include "cli/Compression.h"
#include "cli/PlotCanvas.h"

namespace tesora::cli {

enum class PlotX { ZeroShare, OwnZeroShare };  // "Nullkoeffs" or the picture's own details
enum class PlotY { Fehler, Psnr };

struct PlotPoint {
    double x, y;
    QString label;  // the "%g" text of Delta or Epsilon
};

struct PlotCurve {
    QString name;
    std::vector<PlotPoint> points;  // in sweep order
};

struct RateDistortionPlot {
    QString title, xTitle, yTitle;
    QString curveMeaning, pointMeaning;  // the legend's note on what a curve and a point are
    QString better;                      // which direction is better
    std::vector<PlotCurve> curves;
};

// Curves from a sweep's rows (in sweep order). With several Epsilons a curve holds one
// picture and Delta and its points are the Epsilons; otherwise a curve is one picture.
// Points without a finite value (PSNR of a lossless run) are left out.
RateDistortionPlot PlotOfRows(const std::vector<CompressResult>& rows, PlotX x, PlotY y, bool severalEpsilons);

constexpr int kPlotWidth = 900;
constexpr int kPlotHeight = 600;

// The axes' box and ranges for the curves.
Frame RateDistortionFrame(const std::vector<PlotCurve>& curves);

struct PlacedLabel {
    QRectF box;       // what the text covers
    QPointF baseline; // where it is drawn
    QString text;
    std::size_t curve;
};
// A spot for each point's label beside it, inside the axes' box, over no other label
// and no point; a label without such a spot is left out (the CSV has every value).
std::vector<PlacedLabel> PlaceLabels(const Frame& frame, const std::vector<PlotCurve>& curves,
                                     const QFontMetricsF& metrics);

void DrawRateDistortion(QPainter& painter, const RateDistortionPlot& plot);

}  // namespace tesora::cli
