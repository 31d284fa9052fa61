#pragma once
// The rate-distortion plot of a sweep: mean error over the share of zero coefficients,
// one curve per picture, every point labelled with its Delta.
#include <QImage>
#include <QString>
#include <vector>

namespace tesora::cli {

struct PlotPoint {
    double zeroShare;  // %
    double meanError;  // grey levels
    double delta;
};

struct PlotCurve {
    QString name;
    std::vector<PlotPoint> points;  // in sweep order
};

// Needs a QGuiApplication (fonts).
QImage DrawRateDistortion(const std::vector<PlotCurve>& curves);

}  // namespace tesora::cli
