#pragma once
// The rate-distortion plot of a sweep's table: any two of its numeric columns, one
// curve per picture (or per picture and Delta when several rows share them), every
// point labelled with the value that moves along the curve.
#include <QString>
#include <QStringList>
#include <vector>

#include "plot/Options.h"
#include "plot/Table.h"

namespace tesora::plot {

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

}  // namespace tesora::plot
