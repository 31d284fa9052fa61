#pragma once
// What a rate-distortion plot is asked to show: two columns, their ranges and scales,
// the language of its texts, the page and the title.
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "plot/Page.h"

namespace tesora::plot {

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

// The options as given (nullopt: not given); names as the command line spells them.
struct PlotOptionTexts {
    QString x, y;  // empty: the default column
    std::optional<QString> xRange, yRange, log, size, title;
    QString labels;
};

// Checks every value; throws UsageError naming the option of the first wrong one.
PlotOptions ReadPlotOptions(const PlotOptionTexts& texts);

// Usage error unless both axes name columns of `columns`.
void CheckPlotColumns(const PlotOptions& options, const QStringList& columns);

}  // namespace tesora::plot
