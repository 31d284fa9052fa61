#include "plot/Curves.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <map>

#include "plot/Ticks.h"

namespace tesora::plot {
namespace {

// What the plot says about a column: its axis title, its short name in the title, and
// which way is better (+1 more, -1 less, 0 neither) with the words for it.
struct ColumnText {
    QString axis, name, better;
    int direction = 0;
};

ColumnText Describe(const QString& column, PlotLanguage language) {
    const bool de = language == PlotLanguage::De;
    struct Known {
        const char* column;
        const char *deAxis, *enAxis, *deName, *enName, *deBetter, *enBetter;
        int direction;
    };
    static const Known known[] = {
        {"zero_share", "Anteil der Nullkoeffizienten (Nullkoeffs) in %", "share of zero coefficients in %",
         "Nullkoeffizienten", "zero coefficients", "mehr Nullen", "more zeros", +1},
        {"own_zero_share", "Anteil der Nullen unter den Details im Bild in %",
         "share of zeros among the picture's own details in %", "eigenen Nullen", "own zeros", "mehr Nullen",
         "more zeros", +1},
        {"mean_error", "mittlerer Fehler (Grauwerte)", "mean absolute error (grey levels)", "mittlerer Fehler",
         "mean error", "kleinerer Fehler", "smaller error", -1},
        {"floor_mean_error", "mittlerer Fehler ohne Reduce (Grauwerte)",
         "mean absolute error without Reduce (grey levels)", "Fehler ohne Reduce", "error without Reduce",
         "kleinerer Fehler", "smaller error", -1},
        {"psnr", "PSNR (dB)", "PSNR (dB)", "PSNR", "PSNR", "höhere PSNR", "higher PSNR", +1},
        {"psnr_exact", "PSNR vor dem Runden (dB)", "PSNR before rounding (dB)", "PSNR vor dem Runden",
         "PSNR before rounding", "höhere PSNR", "higher PSNR", +1},
        {"floor_psnr", "PSNR ohne Reduce (dB)", "PSNR without Reduce (dB)", "PSNR ohne Reduce", "PSNR without Reduce",
         "höhere PSNR", "higher PSNR", +1},
        {"energy_kept", "erhaltene Energie in %", "energy kept in %", "erhaltene Energie", "energy kept",
         "mehr Energie", "more energy", +1},
        {"entropy_bpp", "Entropie (Bit je Pixel)", "entropy (bits per pixel)", "Entropie", "entropy", "weniger Bits",
         "fewer bits", -1},
        {"delta", "Delta", "Delta", "Delta", "Delta", "", "", 0},
        {"epsilon", "Epsilon", "Epsilon", "Epsilon", "Epsilon", "", "", 0},
        {"position", "Position der Delta-Scroll-Leiste", "position of the Delta scroll bar", "Position", "position", "",
         "", 0},
        {"zeros", "Ziel-Anteil der Nullen in %", "target share of zeros in %", "Ziel-Anteil", "target share", "", "",
         0},
    };
    for (const Known& k : known)
        if (column == QLatin1String(k.column))
            return {QString::fromUtf8(de ? k.deAxis : k.enAxis), QString::fromUtf8(de ? k.deName : k.enName),
                    QString::fromUtf8(de ? k.deBetter : k.enBetter), k.direction};
    return {column, column, {}, 0};
}

bool IsRate(const QString& column) {
    return column == QLatin1String("zero_share") || column == QLatin1String("own_zero_share") ||
           column == QLatin1String("entropy_bpp");
}

QString PictureName(const QString& path, PlotLanguage language) {
    // A sweep names a picture it read from standard input "-".
    if (path == QLatin1String("-"))
        return language == PlotLanguage::De ? QStringLiteral("Eingabe") : QStringLiteral("input");
    return QFileInfo(path).fileName();
}

// The table's columns a plot reads, and how its rows fall into curves.
struct Columns {
    const Table& table;
    int x, y, picture, delta, rule;
    int label = -1;  // the value that moves along a curve
    QString Field(std::size_t r, int c) const { return c < 0 ? QString() : table.rows[r][c].trimmed(); }
    QString Key(std::size_t r, bool withDelta) const {
        return Field(r, picture) + QChar(0) + Field(r, rule) + QChar(0) + (withDelta ? Field(r, delta) : QString());
    }
};

// A curve per picture and Delta when some picture and Delta has several rows (several
// Epsilons or targets); the value that varies there labels the points.
bool ChooseCurves(Columns& columns) {
    const std::size_t rows = columns.table.rows.size();
    std::map<QString, int> perDelta;
    for (std::size_t r = 0; r < rows; ++r) ++perDelta[columns.Key(r, true)];
    const bool byDelta =
        columns.delta >= 0 && std::any_of(perDelta.begin(), perDelta.end(), [](const auto& e) { return e.second > 1; });
    columns.label = columns.delta;
    if (!byDelta) return false;
    columns.label = columns.table.Column(QStringLiteral("epsilon"));
    const int zeros = columns.table.Column(QStringLiteral("zeros"));
    const auto varies = [&](int c) {
        if (c < 0) return false;
        std::map<QString, QString> first;
        for (std::size_t r = 0; r < rows; ++r) {
            const auto [it, added] = first.emplace(columns.Key(r, true), columns.Field(r, c));
            if (!added && it->second != columns.Field(r, c)) return true;
        }
        return false;
    };
    // A target asked for says more than the Epsilon found for it.
    if (varies(zeros)) columns.label = zeros;
    return true;
}

// Every row's point on its curve, the curves along the moving value whatever order the
// table's rows are in.
void ReadCurves(RateDistortionPlot& plot, const Columns& columns, bool severalRules, const PlotOptions& options) {
    const Table& table = columns.table;
    std::map<QString, std::size_t> curveOf, pictureOf;  // maps: tables of many thousand pictures
    std::vector<std::vector<double>> order;             // the moving value of each point
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const QString picture = PictureName(columns.Field(r, columns.picture), options.language);
        const auto [known, first] = pictureOf.emplace(picture, static_cast<std::size_t>(plot.pictures.size()));
        if (first) plot.pictures << picture;
        const auto [it, added] = curveOf.emplace(columns.Key(r, plot.byDelta), plot.curves.size());
        if (added) {
            PlotCurve curve;
            curve.picture = known->second;
            curve.name = picture;
            if (severalRules) curve.name += QStringLiteral(", ") + columns.Field(r, columns.rule);
            if (plot.byDelta) {
                curve.delta = table.Number(r, columns.delta).value_or(NAN);
                curve.name += QStringLiteral(", Delta ") + PlotNumber(curve.delta);
            }
            plot.curves.push_back(curve);
            order.emplace_back();
        }
        const std::optional<double> x = table.Number(r, columns.x), y = table.Number(r, columns.y);
        double moving = NAN;
        if (columns.label >= 0) moving = table.Number(r, columns.label).value_or(NAN);
        const auto usable = [](const std::optional<double>& v, bool log) {
            return v && std::isfinite(*v) && (!log || *v > 0);
        };
        if (!usable(x, options.x.log) || !usable(y, options.y.log)) continue;
        plot.curves[it->second].points.push_back({*x, *y, std::isfinite(moving) ? PlotNumber(moving) : QString()});
        order[it->second].push_back(std::isfinite(moving) ? moving : 0);
    }
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        std::vector<std::size_t> index(plot.curves[c].points.size());
        for (std::size_t i = 0; i < index.size(); ++i) index[i] = i;
        std::stable_sort(index.begin(), index.end(),
                         [&](std::size_t a, std::size_t b) { return order[c][a] < order[c][b]; });
        std::vector<PlotPoint> sorted;
        sorted.reserve(index.size());
        for (std::size_t i : index) sorted.push_back(std::move(plot.curves[c].points[i]));
        plot.curves[c].points = std::move(sorted);
    }
}

// Which way is better along the axes, in words ("" when neither axis says).
QString Better(const ColumnText& x, const ColumnText& y, bool de) {
    if (x.direction == 0 && y.direction == 0) return {};
    QStringList where, why;
    if (x.direction != 0) {
        where << (x.direction > 0 ? (de ? QStringLiteral("rechts") : QStringLiteral("right"))
                                  : (de ? QStringLiteral("links") : QStringLiteral("left")));
        why << x.better;
    }
    if (y.direction != 0) {
        where << (y.direction > 0 ? (de ? QStringLiteral("oben") : QStringLiteral("up"))
                                  : (de ? QStringLiteral("unten") : QStringLiteral("down")));
        why << y.better;
    }
    if (!de && where.size() == 2) std::swap(where[0], where[1]);  // "down and to the right"
    return de ? QStringLiteral("Besser: nach %1 (%2)").arg(where.join(QLatin1Char(' ')), why.join(QStringLiteral(", ")))
              : QStringLiteral("better: %1 (%2)")
                    .arg(where.join(QStringLiteral(" and to the ")), why.join(QStringLiteral(", ")));
}

// The titles, and the notes on what a curve and a point are and which way is better.
void WriteTitles(RateDistortionPlot& plot, const PlotOptions& options, const QString& labelName) {
    const bool de = options.language == PlotLanguage::De;
    const ColumnText xText = Describe(options.x.column, options.language),
                     yText = Describe(options.y.column, options.language);
    plot.xTitle = xText.axis;
    plot.yTitle = yText.axis;
    const QString over = de ? QStringLiteral("%1 über %2") : QStringLiteral("%1 over %2");
    plot.title = over.arg(yText.name, xText.name);
    if (IsRate(options.x.column) && yText.direction != 0)
        plot.title = (de ? QStringLiteral("Rate-Distortion: ") : QStringLiteral("Rate–distortion: ")) + plot.title;
    if (options.title) plot.title = *options.title;

    QString curve, point;
    if (plot.byDelta) {
        curve = de ? QStringLiteral("ein Bild bei einem Delta") : QStringLiteral("one picture at one Delta");
        point = labelName == QLatin1String("zeros")
                    ? (de ? QStringLiteral("ein Ziel-Anteil an Nullen (Zahl am Punkt)")
                          : QStringLiteral("one target share of zeros (number at the point)"))
                    : (de ? QStringLiteral("ein Epsilon (Zahl am Punkt)")
                          : QStringLiteral("one Epsilon (number at the point)"));
    } else {
        curve = de ? QStringLiteral("ein Bild") : QStringLiteral("one picture");
        point = de ? QStringLiteral("eine Delta-Position (Zahl: Delta)")
                   : QStringLiteral("one Delta position (number: Delta)");
    }
    plot.notes =
        (de ? QStringLiteral("Kurve: %1 · Punkt: %2") : QStringLiteral("Curve: %1 · point: %2")).arg(curve, point);
    const QString better = Better(xText, yText, de);
    if (!better.isEmpty()) plot.notes += QStringLiteral(" · ") + better;
}

}  // namespace

RateDistortionPlot PlotOfTable(const Table& table, const PlotOptions& options) {
    RateDistortionPlot plot;
    plot.x = options.x, plot.y = options.y;
    const int xc = table.RequireColumn(options.x.column), yc = table.RequireColumn(options.y.column);
    Columns columns{table,
                    xc,
                    yc,
                    table.Column(QStringLiteral("picture")),
                    table.Column(QStringLiteral("delta")),
                    table.Column(QStringLiteral("rule"))};
    plot.byDelta = ChooseCurves(columns);
    const bool severalRules = [&] {
        for (std::size_t r = 1; r < table.rows.size(); ++r)
            if (columns.Field(r, columns.rule) != columns.Field(0, columns.rule)) return true;
        return false;
    }();
    ReadCurves(plot, columns, severalRules, options);
    if (plot.byDelta && plot.pictures.size() == 1 && !severalRules) plot.legendHeading = plot.pictures.constFirst();
    WriteTitles(plot, options, columns.label < 0 ? QString() : table.columns[columns.label]);
    return plot;
}

}  // namespace tesora::plot
