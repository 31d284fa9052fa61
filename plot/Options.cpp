#include "plot/Options.h"

#include <cmath>
#include <map>

#include "plot/UsageError.h"

namespace tesora::plot {
namespace {

std::pair<double, double> ParseRange(const QString& text, const QString& option) {
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok[2] = {false, false};
    const double low = parts.value(0).trimmed().toDouble(&ok[0]), high = parts.value(1).trimmed().toDouble(&ok[1]);
    if (parts.size() != 2 || !ok[0] || !ok[1] || !std::isfinite(low) || !std::isfinite(high) || !(high > low))
        throw UsageError(
            QStringLiteral("Ungültiger Wert für %1: \"%2\" (erwartet: VON:BIS mit VON < BIS).").arg(option, text));
    return {low, high};
}

QString AxisColumn(const QString& value, const char* defaultColumn) {
    // The sweep's first names for its axes stay valid.
    static const std::map<QString, QString> aliases = {{QStringLiteral("nullkoeffs"), QStringLiteral("zero_share")},
                                                       {QStringLiteral("eigene"), QStringLiteral("own_zero_share")},
                                                       {QStringLiteral("fehler"), QStringLiteral("mean_error")}};
    if (value.isEmpty()) return QString::fromLatin1(defaultColumn);
    const auto alias = aliases.find(value);
    return alias != aliases.end() ? alias->second : value;
}

}  // namespace

PlotOptions ReadPlotOptions(const PlotOptionTexts& texts) {
    PlotOptions o;
    o.x.column = AxisColumn(texts.x, "zero_share");
    o.y.column = AxisColumn(texts.y, "mean_error");
    if (texts.xRange) o.x.range = ParseRange(*texts.xRange, QStringLiteral("--plot-x-range"));
    if (texts.yRange) o.y.range = ParseRange(*texts.yRange, QStringLiteral("--plot-y-range"));
    if (texts.log) {
        const QString& axes = *texts.log;
        if (axes != QLatin1String("x") && axes != QLatin1String("y") && axes != QLatin1String("xy"))
            throw UsageError(
                QStringLiteral("Ungültiger Wert für --plot-log: \"%1\" (erwartet: x, y oder xy).").arg(axes));
        o.x.log = axes.contains(QLatin1Char('x'));
        o.y.log = axes.contains(QLatin1Char('y'));
    }
    for (const PlotAxisOptions* axis : {&o.x, &o.y})
        if (axis->log && axis->range && axis->range->first <= 0)
            throw UsageError(QStringLiteral("Eine logarithmische Achse braucht einen Bereich über 0."));
    if (texts.size) o.page = PlotPage::Parse(*texts.size, QStringLiteral("--size"));
    if (texts.labels == QLatin1String("en"))
        o.language = PlotLanguage::En;
    else if (!texts.labels.isEmpty() && texts.labels != QLatin1String("de"))
        throw UsageError(
            QStringLiteral("Ungültiger Wert für --labels: \"%1\" (erwartet: de oder en).").arg(texts.labels));
    o.title = texts.title;
    return o;
}

void CheckPlotColumns(const PlotOptions& options, const QStringList& columns) {
    for (const QString& column : {options.x.column, options.y.column})
        if (!columns.contains(column))
            throw UsageError(
                QStringLiteral("Keine Spalte \"%1\" (Spalten: %2).").arg(column, columns.join(QStringLiteral(", "))));
}

}  // namespace tesora::plot
