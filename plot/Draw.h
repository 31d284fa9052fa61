#pragma once
// A rate-distortion plot drawn: on any painter scaled to points, or as a page file.
#include <QPainter>
#include <QString>

#include "plot/Layout.h"

namespace tesora::plot {

void DrawPlot(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, const PlotFonts& fonts);

// Laid out and drawn on the page of `options` in the format of the path's extension.
PageFile RenderPlot(const QString& path, const RateDistortionPlot& plot, const PlotOptions& options);

}  // namespace tesora::plot
