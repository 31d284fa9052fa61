#pragma once
// The one rule for axes in every plot: ranges around the data, round ticks far enough
// apart for their texts, and the text of a tick.
#include <QString>
#include <functional>
#include <vector>

#include "plot/Options.h"

namespace tesora::plot {

// The text of a tick or a value in every plot: "%g", with rounding noise around 0 shown as 0.
QString PlotNumber(double v);

// Round steps 1, 2, 2.5, 5 times a power of ten, from `smallest` up.
std::vector<double> RoundSteps(double smallest);
// The round step that splits `span` into about five parts.
double TickStep(double span);

// A mapping of data values onto a stretch of the page, with its ticks.
struct PlotScale {
    double low = 0, high = 1;
    bool log = false;
    std::vector<double> ticks;
    double Fraction(double v) const;
};

// Ticks far enough apart that their texts keep `gap` between them, `room(v)` being the
// room the text of v needs along the axis.
std::vector<double> ChooseTicks(const PlotScale& scale, double length, const std::function<double(double)>& room);

// The data's range with a small margin, from 0 when 0 is close; a log axis on the
// positive values only.
PlotScale FitScale(std::vector<double> values, const PlotAxisOptions& options);

}  // namespace tesora::plot
