#pragma once
// The plots as the command line uses them: the drawing options "sweep" and "plot" share,
// and pages added to a run's output files. The plots themselves live in plot/.
#include <QSize>
#include <QStringList>
#include <functional>

#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"
#include "plot/Curves.h"
#include "plot/Draw.h"
#include "plot/FilterPlot.h"
#include "plot/Layout.h"
#include "plot/Page.h"
#include "plot/Table.h"

namespace tesora::cli {

using plot::BasisFunctions;
using plot::CheckPlotColumns;
using plot::ComputeBasisFunctions;
using plot::DrawBasisFunctions;
using plot::kBasisPlotHeight;
using plot::kBasisPlotWidth;
using plot::ParseTable;
using plot::PlotFormatFor;
using plot::PlotOfTable;
using plot::PlotOptions;
using plot::RequireFonts;
using plot::Table;

void AddPlotOptions(CommandLine& line);
PlotOptions ReadPlotOptions(const CommandLine& line);

// Lays out and adds one file per path.
void AddPlots(OutputFiles& outputs, const QStringList& paths, const plot::RateDistortionPlot& plot,
              const PlotOptions& options);

// Draws a white canvas of `size` pixels with `draw` and adds it in the format of the
// path's extension. Needs a QGuiApplication (fonts).
void AddPlot(OutputFiles& outputs, const QString& path, QSize size, const std::function<void(QPainter&)>& draw);

}  // namespace tesora::cli
