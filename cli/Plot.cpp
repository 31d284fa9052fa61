#include "cli/Plot.h"

#include <QFileInfo>
#include <QPainterPath>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "cli/Arguments.h"
#include "cli/StandardInput.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora::cli {
namespace {

QString G(double v) { return PlotNumber(v); }

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
    if (IsStandardStream(path))
        return language == PlotLanguage::De ? QStringLiteral("Eingabe") : QStringLiteral("input");
    return QFileInfo(path).fileName();
}

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

// ---- Axes -----------------------------------------------------------------------

constexpr double kLargest = std::numeric_limits<double>::max();
// The decades a log axis may reach: normal doubles only.
const double kLowestDecade = std::log10(std::numeric_limits<double>::min());
const double kHighestDecade = std::log10(kLargest);

// Round steps 1, 2, 2.5, 5 times a power of ten, from `smallest` up.
std::vector<double> RoundSteps(double smallest) {
    std::vector<double> steps;
    double magnitude = std::pow(10.0, std::floor(std::log10(smallest)));
    while (steps.size() < 40) {
        for (double factor : {1.0, 2.0, 2.5, 5.0})
            if (factor * magnitude >= smallest * (1 - 1e-9) && std::isfinite(factor * magnitude))
                steps.push_back(factor * magnitude);
        if (!std::isfinite(magnitude * 10)) break;
        magnitude *= 10;
    }
    return steps;
}

std::vector<double> LinearTicks(double low, double high, double step) {
    std::vector<double> ticks;
    // The tolerance never lifts the end past the largest double.
    const double end = std::isfinite(high + step * 1e-9) ? high + step * 1e-9 : high;
    for (double k = std::ceil(low / step - 1e-9); k * step <= end && ticks.size() < 1000; ++k)
        ticks.push_back(k * step);
    return ticks;
}

// Ticks far enough apart that their texts keep `gap` between them, `room(v)` being the
// room the text of v needs along the axis.
std::vector<double> ChooseTicks(const PlotScale& scale, double length, const std::function<double(double)>& room) {
    const auto fits = [&](const std::vector<double>& ticks) {
        for (std::size_t i = 1; i < ticks.size(); ++i) {
            const double distance = (scale.Fraction(ticks[i]) - scale.Fraction(ticks[i - 1])) * length;
            if (distance < (room(ticks[i]) + room(ticks[i - 1])) / 2) return false;
        }
        return true;
    };
    const double firstDecade = std::floor(std::log10(scale.low)), lastDecade = std::ceil(std::log10(scale.high));
    if (scale.log && std::isfinite(firstDecade) && std::isfinite(lastDecade)) {
        // Decades, then 1-2-5, then every digit: the sparsest that has three ticks and fits.
        std::vector<double> best;
        for (const std::vector<double>& mantissas :
             {std::vector<double>{1}, std::vector<double>{1, 2, 5}, std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
            std::vector<double> ticks;
            for (double e = firstDecade; e <= lastDecade; ++e)
                for (double m : mantissas) {
                    const double v = m * std::pow(10.0, e);
                    if (std::isfinite(v) && v >= scale.low * (1 - 1e-12) && v <= scale.high * (1 + 1e-12))
                        ticks.push_back(v);
                }
            if (!fits(ticks)) break;
            best = ticks;
            if (best.size() >= 3) return best;
        }
        if (best.size() >= 2) return best;
        // Too many decades for one tick each: every k-th decade, k itself round.
        if (best.empty())
            for (double k : RoundSteps(2)) {
                if (k != std::floor(k)) continue;  // whole decades only
                std::vector<double> ticks;
                for (double e = std::ceil(std::log10(scale.low) / k) * k; e <= std::log10(scale.high); e += k)
                    ticks.push_back(std::pow(10.0, e));
                if (ticks.size() < 2) break;
                if (fits(ticks)) return ticks;
            }
    }
    // A span beyond the largest double is taken in halves, so that steps stay finite.
    const double span = scale.high - scale.low;
    const double smallest = std::isfinite(span) ? span / 50 : (scale.high / 2 - scale.low / 2) / 25;
    for (double step : RoundSteps(smallest)) {
        std::vector<double> ticks = LinearTicks(scale.low, scale.high, step);
        if (scale.log) std::erase_if(ticks, [](double v) { return v <= 0; });
        if (fits(ticks)) return ticks;
    }
    return {scale.low};
}

// The data's range with a small margin, from 0 when 0 is close; a log axis on the
// positive values only.
PlotScale FitScale(std::vector<double> values, const PlotAxisOptions& options) {
    PlotScale scale;
    scale.log = options.log;
    if (options.range) {
        scale.low = options.range->first, scale.high = options.range->second;
        return scale;
    }
    std::erase_if(values, [&](double v) { return !std::isfinite(v) || (options.log && v <= 0); });
    if (values.empty()) values = options.log ? std::vector<double>{1, 10} : std::vector<double>{0, 1};
    double low = *std::min_element(values.begin(), values.end()),
           high = *std::max_element(values.begin(), values.end());
    if (options.log) {
        double a = std::log10(low), b = std::log10(high);
        if (!(b > a)) a -= 0.5, b += 0.5;
        const double margin = 0.05 * (b - a);
        // The margin never leaves the doubles: beyond them the axis would have no end.
        scale.low = std::max(std::pow(10.0, std::max(a - margin, kLowestDecade)), std::numeric_limits<double>::min());
        scale.high = std::min(std::pow(10.0, std::min(b + margin, kHighestDecade)), kLargest);
        return scale;
    }
    if (!(high > low)) {
        const double half = low != 0 ? std::abs(low) * 0.05 : 0.5;
        low -= half, high += half;
    }
    const double span = high - low, margin = 0.05 * span;
    scale.low = low - margin, scale.high = high + margin;
    if (!std::isfinite(span) || !std::isfinite(scale.low) || !std::isfinite(scale.high)) {
        // Values near the largest doubles: margins taken without overflowing.
        const double half = high / 2 - low / 2;
        scale.low = std::max(low - 0.1 * half, -kLargest), scale.high = std::min(high + 0.1 * half, kLargest);
        return scale;
    }
    if (low >= 0 && low <= 0.15 * span) scale.low = 0;
    if (high <= 0 && -high <= 0.15 * span) scale.high = 0;
    return scale;
}

// ---- Styles ------------------------------------------------------------------------

std::vector<CurveStyle> Styles(const RateDistortionPlot& plot, bool colourScale, double deltaLow, double deltaHigh) {
    std::vector<CurveStyle> styles;
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        if (!colourScale) {
            // 8 colours, 6 markers, 3 dashes: colour with marker and colour with dash
            // both differ for any two of the first 24 curves.
            styles.push_back({PaletteColour(c), static_cast<int>(c % 6), static_cast<int>(c / 8 % 3)});
            continue;
        }
        const double span = deltaHigh - deltaLow;
        const double f = span > 0 ? (plot.curves[c].delta - deltaLow) / span : 0.5;
        const std::size_t p = plot.curves[c].picture;
        styles.push_back({ScaleColour(f), static_cast<int>(p % 6), static_cast<int>(p / 6 % 3)});
    }
    return styles;
}

QPen CurvePen(const CurveStyle& style, double width) {
    QPen pen(style.colour, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    if (style.dash == 1) pen.setDashPattern({5, 2.5});
    if (style.dash == 2) pen.setDashPattern({5, 2, 1.2, 2});
    return pen;
}

void DrawMarker(QPainter& painter, QPointF p, double r, const CurveStyle& style) {
    painter.setPen(QPen(style.colour.darker(115), r * 0.35));
    painter.setBrush(style.colour);
    QPolygonF shape;
    switch (style.marker) {
        case 0: painter.drawEllipse(p, r, r); return;
        case 1: painter.drawRect(QRectF(p.x() - r * 0.85, p.y() - r * 0.85, r * 1.7, r * 1.7)); return;
        case 2: shape << p + QPointF(0, -r * 1.1) << p + QPointF(r, r * 0.75) << p + QPointF(-r, r * 0.75); break;
        case 3:
            shape << p + QPointF(0, -r * 1.2) << p + QPointF(r, 0) << p + QPointF(0, r * 1.2) << p + QPointF(-r, 0);
            break;
        case 4: shape << p + QPointF(0, r * 1.1) << p + QPointF(r, -r * 0.75) << p + QPointF(-r, -r * 0.75); break;
        default:
            painter.setPen(QPen(style.colour, r * 0.55));
            painter.drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
            painter.drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
            return;
    }
    painter.drawPolygon(shape);
}

// ---- Layout ------------------------------------------------------------------------

struct Sizes {
    double base, title, legend, label, notes, pad;
};

PlotText TextAt(const PlotFonts& fonts, const QString& text, double size, bool bold, QPointF topLeft) {
    const QRectF b = fonts.Bounds(text, size, bold);
    return {QRectF(topLeft, b.size()), topLeft + QPointF(0, -b.top()), text, size, bold, false};
}

// Words set into lines no wider than `width`.
QStringList Wrap(const PlotFonts& fonts, const QString& text, double size, double width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && fonts.Width(longer, size) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

struct LegendItem {
    QString text;
    std::size_t index;
    bool picture;
};

struct LegendShape {
    double size = 0, columnWidth = 0, rowHeight = 0, headingHeight = 0;
    int rows = 0, columns = 0;
    double Width() const { return columns * columnWidth; }
    double Height() const { return headingHeight + rows * rowHeight; }
};

LegendShape ShapeLegend(const PlotFonts& fonts, const std::vector<LegendItem>& items, const QString& heading,
                        double size) {
    LegendShape shape;
    shape.size = size;
    double widest = heading.isEmpty() ? 0 : fonts.Width(heading, size, true) - 3.4 * size;
    for (const LegendItem& item : items) widest = std::max(widest, fonts.Width(item.text, size));
    shape.columnWidth = 2.6 * size + 0.4 * size + widest + 1.2 * size;
    shape.rowHeight = fonts.LineHeight(size) * 1.08;
    shape.headingHeight = heading.isEmpty() ? 0 : fonts.LineHeight(size) * 1.2;
    return shape;
}

void PlaceLegend(PlotLayout& layout, const PlotFonts& fonts, const std::vector<LegendItem>& items,
                 const QString& heading, const LegendShape& shape, QPointF topLeft) {
    if (!heading.isEmpty()) layout.texts.push_back(TextAt(fonts, heading, shape.size, true, topLeft));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto column = static_cast<double>(static_cast<int>(i) / shape.rows);
        const auto row = static_cast<double>(static_cast<int>(i) % shape.rows);
        const QPointF at = topLeft + QPointF(column * shape.columnWidth, shape.headingHeight + row * shape.rowHeight);
        const double h = fonts.LineHeight(shape.size);
        layout.samples.push_back({QRectF(at.x(), at.y(), 2.6 * shape.size, h), items[i].index, items[i].picture});
        layout.texts.push_back(TextAt(fonts, items[i].text, shape.size, false, at + QPointF(3.0 * shape.size, 0)));
    }
}

// Curves of several pictures at the same Deltas: a table with a row per picture and a
// column per Delta, far smaller than a list of every name. Too wide for the page, it
// continues in further blocks below. Returns its height; places it only when asked.
double PlaceGrid(PlotLayout* layout, const PlotFonts& fonts, const RateDistortionPlot& plot, double size,
                 QPointF topLeft, double width) {
    std::vector<double> deltas;
    for (const PlotCurve& curve : plot.curves)
        if (std::find(deltas.begin(), deltas.end(), curve.delta) == deltas.end()) deltas.push_back(curve.delta);
    std::sort(deltas.begin(), deltas.end());
    const QString deltaTitle = QStringLiteral("Delta");
    double nameWidth = fonts.Width(deltaTitle, size, true);
    for (const QString& picture : plot.pictures) nameWidth = std::max(nameWidth, fonts.Width(picture, size));
    nameWidth += 0.8 * size;
    double cellWidth = 2.6 * size;
    for (double d : deltas) cellWidth = std::max(cellWidth, fonts.Width(G(d), size));
    cellWidth += 0.8 * size;
    const double rowHeight = fonts.LineHeight(size) * 1.08;
    const auto perBlock = static_cast<std::size_t>(std::max(1.0, std::floor((width - nameWidth) / cellWidth)));
    const std::size_t blocks = (deltas.size() + perBlock - 1) / perBlock;
    const double blockHeight = static_cast<double>(plot.pictures.size() + 1) * rowHeight;
    const double height = static_cast<double>(blocks) * blockHeight + static_cast<double>(blocks - 1) * 0.3 * rowHeight;
    if (!layout) return height;
    for (std::size_t b = 0; b < blocks; ++b) {
        const double y0 = topLeft.y() + static_cast<double>(b) * (blockHeight + 0.3 * rowHeight);
        layout->texts.push_back(TextAt(fonts, deltaTitle, size, true, QPointF(topLeft.x(), y0)));
        for (qsizetype p = 0; p < plot.pictures.size(); ++p)
            layout->texts.push_back(TextAt(fonts, plot.pictures[p], size, false,
                                           QPointF(topLeft.x(), y0 + static_cast<double>(p + 1) * rowHeight)));
        for (std::size_t i = b * perBlock; i < std::min(deltas.size(), (b + 1) * perBlock); ++i) {
            const double x0 = topLeft.x() + nameWidth + static_cast<double>(i - b * perBlock) * cellWidth;
            const double inner = cellWidth - 0.8 * size;  // header and samples centred in it
            const double textWidth = fonts.Width(G(deltas[i]), size);
            layout->texts.push_back(
                TextAt(fonts, G(deltas[i]), size, false, QPointF(x0 + (inner - textWidth) / 2, y0)));
            for (std::size_t c = 0; c < plot.curves.size(); ++c) {
                if (plot.curves[c].delta != deltas[i]) continue;
                const double y = y0 + static_cast<double>(plot.curves[c].picture + 1) * rowHeight;
                layout->samples.push_back(
                    {QRectF(x0 + (inner - 2.6 * size) / 2, y, 2.6 * size, fonts.LineHeight(size)), c, false});
            }
        }
    }
    return height;
}

// Boxes on the axes' area, kept in cells, so a sweep of many thousand points finds the
// few near a label at once instead of testing every one.
class Obstacles {
public:
    explicit Obstacles(const QRectF& area)
        : area_(area),
          columns_(std::max(1, static_cast<int>(area.width() / kCell) + 1)),
          rows_(std::max(1, static_cast<int>(area.height() / kCell) + 1)),
          cells_(static_cast<std::size_t>(columns_ * rows_)) {}

    void Add(const QRectF& box) {
        if (!box.intersects(area_)) return;  // labels stay inside: nothing outside matters
        boxes_.push_back(box);
        Visit(box, [&](std::vector<std::size_t>& cell) {
            cell.push_back(boxes_.size() - 1);
            return false;
        });
    }
    bool Hit(const QRectF& box) {
        return Visit(box, [&](std::vector<std::size_t>& cell) {
            return std::any_of(cell.begin(), cell.end(), [&](std::size_t i) { return boxes_[i].intersects(box); });
        });
    }

private:
    static constexpr double kCell = 16;
    int Clamp(double v, int count) const { return std::clamp(static_cast<int>(std::floor(v / kCell)), 0, count - 1); }
    template <typename F>
    bool Visit(const QRectF& box, F&& f) {
        const int x0 = Clamp(box.left() - area_.left(), columns_), x1 = Clamp(box.right() - area_.left(), columns_);
        const int y0 = Clamp(box.top() - area_.top(), rows_), y1 = Clamp(box.bottom() - area_.top(), rows_);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (f(cells_[static_cast<std::size_t>(y * columns_ + x)])) return true;
        return false;
    }

    QRectF area_;
    int columns_, rows_;
    std::vector<std::vector<std::size_t>> cells_;
    std::vector<QRectF> boxes_;
};

}  // namespace

// ---- Options ---------------------------------------------------------------------------

void AddPlotOptions(CommandLine& line) {
    const auto add = [&](const char* name, const char* value, const char* help) {
        line.AddValueOption(QString::fromLatin1(name), QString::fromLatin1(value), QString::fromUtf8(help));
    };
    add("plot-x", "SPALTE",
        "x-Achse des Diagramms: eine Zahlenspalte der Tabelle, Vorgabe zero_share "
        "(auch nullkoeffs; eigene für own_zero_share).");
    add("plot-y", "SPALTE", "y-Achse des Diagramms: eine Zahlenspalte, Vorgabe mean_error (auch fehler; psnr, ...).");
    add("plot-x-range", "VON:BIS", "Bereich der x-Achse statt des Bereichs der Daten.");
    add("plot-y-range", "VON:BIS", "Bereich der y-Achse statt des Bereichs der Daten.");
    add("plot-log", "ACHSEN", "Logarithmische Achse: x, y oder xy.");
    add("plot-title", "TEXT", "Überschrift des Diagramms (\"\" für keine).");
    add("size", "BxH",
        "Größe des Diagramms: BREITExHÖHEmm (z. B. 85x60mm, je Seite 20 bis 2000) oder in Pixeln "
        "(Vorgabe 900x600, je Seite 100 bis 10000); höchstens 100 Megapixel (PNG mit 300 dpi).");
    add("labels", "SPRACHE", "Sprache der Texte im Diagramm: de (Vorgabe) oder en.");
}

PlotOptions ReadPlotOptions(const CommandLine& line) {
    PlotOptions o;
    o.x.column = AxisColumn(line.Value(QStringLiteral("plot-x")), "zero_share");
    o.y.column = AxisColumn(line.Value(QStringLiteral("plot-y")), "mean_error");
    if (line.Has(QStringLiteral("plot-x-range")))
        o.x.range = ParseRange(line.Value(QStringLiteral("plot-x-range")), QStringLiteral("--plot-x-range"));
    if (line.Has(QStringLiteral("plot-y-range")))
        o.y.range = ParseRange(line.Value(QStringLiteral("plot-y-range")), QStringLiteral("--plot-y-range"));
    if (line.Has(QStringLiteral("plot-log"))) {
        const QString axes = line.Value(QStringLiteral("plot-log"));
        if (axes != QLatin1String("x") && axes != QLatin1String("y") && axes != QLatin1String("xy"))
            throw UsageError(
                QStringLiteral("Ungültiger Wert für --plot-log: \"%1\" (erwartet: x, y oder xy).").arg(axes));
        o.x.log = axes.contains(QLatin1Char('x'));
        o.y.log = axes.contains(QLatin1Char('y'));
    }
    for (const PlotAxisOptions* axis : {&o.x, &o.y})
        if (axis->log && axis->range && axis->range->first <= 0)
            throw UsageError(QStringLiteral("Eine logarithmische Achse braucht einen Bereich über 0."));
    if (line.Has(QStringLiteral("size")))
        o.page = PlotPage::Parse(line.Value(QStringLiteral("size")), QStringLiteral("--size"));
    const QString labels = line.Value(QStringLiteral("labels"));
    if (labels == QLatin1String("en"))
        o.language = PlotLanguage::En;
    else if (!labels.isEmpty() && labels != QLatin1String("de"))
        throw UsageError(QStringLiteral("Ungültiger Wert für --labels: \"%1\" (erwartet: de oder en).").arg(labels));
    if (line.Has(QStringLiteral("plot-title"))) o.title = line.Value(QStringLiteral("plot-title"));
    return o;
}

void CheckPlotColumns(const PlotOptions& options, const QStringList& columns) {
    for (const QString& column : {options.x.column, options.y.column})
        if (!columns.contains(column))
            throw UsageError(
                QStringLiteral("Keine Spalte \"%1\" (Spalten: %2).").arg(column, columns.join(QStringLiteral(", "))));
}

// ---- Curves ----------------------------------------------------------------------------

RateDistortionPlot PlotOfTable(const Table& table, const PlotOptions& options) {
    const bool de = options.language == PlotLanguage::De;
    RateDistortionPlot plot;
    plot.x = options.x, plot.y = options.y;
    const int xc = table.RequireColumn(options.x.column), yc = table.RequireColumn(options.y.column);
    const int pictureColumn = table.Column(QStringLiteral("picture")),
              deltaColumn = table.Column(QStringLiteral("delta"));
    const int ruleColumn = table.Column(QStringLiteral("rule"));
    const auto field = [&](std::size_t r, int c) { return c < 0 ? QString() : table.rows[r][c].trimmed(); };

    // A curve per picture and Delta when some picture and Delta has several rows (several
    // Epsilons or targets); the value that varies there labels the points.
    std::map<QString, int> perDelta;
    const auto key = [&](std::size_t r, bool withDelta) {
        return field(r, pictureColumn) + QChar(0) + field(r, ruleColumn) + QChar(0) +
               (withDelta ? field(r, deltaColumn) : QString());
    };
    for (std::size_t r = 0; r < table.rows.size(); ++r) ++perDelta[key(r, true)];
    plot.byDelta =
        deltaColumn >= 0 && std::any_of(perDelta.begin(), perDelta.end(), [](const auto& e) { return e.second > 1; });
    int labelColumn = deltaColumn;
    if (plot.byDelta) {
        labelColumn = table.Column(QStringLiteral("epsilon"));
        const int zeros = table.Column(QStringLiteral("zeros"));
        const auto varies = [&](int c) {
            if (c < 0) return false;
            std::map<QString, QString> first;
            for (std::size_t r = 0; r < table.rows.size(); ++r) {
                const auto [it, added] = first.emplace(key(r, true), field(r, c));
                if (!added && it->second != field(r, c)) return true;
            }
            return false;
        };
        // A target asked for says more than the Epsilon found for it.
        if (varies(zeros)) labelColumn = zeros;
    }
    const bool severalRules = [&] {
        for (std::size_t r = 1; r < table.rows.size(); ++r)
            if (field(r, ruleColumn) != field(0, ruleColumn)) return true;
        return false;
    }();

    std::map<QString, std::size_t> curveOf, pictureOf;  // maps: tables of many thousand pictures
    std::vector<std::vector<double>> order;             // the moving value of each point
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const QString picture = PictureName(field(r, pictureColumn), options.language);
        const auto [known, first] = pictureOf.emplace(picture, static_cast<std::size_t>(plot.pictures.size()));
        if (first) plot.pictures << picture;
        const auto [it, added] = curveOf.emplace(key(r, plot.byDelta), plot.curves.size());
        if (added) {
            PlotCurve curve;
            curve.picture = known->second;
            curve.name = picture;
            if (severalRules) curve.name += QStringLiteral(", ") + field(r, ruleColumn);
            if (plot.byDelta) {
                curve.delta = table.Number(r, deltaColumn).value_or(NAN);
                curve.name += QStringLiteral(", Delta ") + G(curve.delta);
            }
            plot.curves.push_back(curve);
            order.emplace_back();
        }
        const std::optional<double> x = table.Number(r, xc), y = table.Number(r, yc);
        double moving = NAN;
        if (labelColumn >= 0) moving = table.Number(r, labelColumn).value_or(NAN);
        const auto usable = [](const std::optional<double>& v, bool log) {
            return v && std::isfinite(*v) && (!log || *v > 0);
        };
        if (!usable(x, options.x.log) || !usable(y, options.y.log)) continue;
        plot.curves[it->second].points.push_back({*x, *y, std::isfinite(moving) ? G(moving) : QString()});
        order[it->second].push_back(std::isfinite(moving) ? moving : 0);
    }
    // Along the moving value, whatever order the table's rows are in.
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        std::vector<std::size_t> index(plot.curves[c].points.size());
        for (std::size_t i = 0; i < index.size(); ++i) index[i] = i;
        std::stable_sort(index.begin(), index.end(),
                         [&](std::size_t a, std::size_t b) { return order[c][a] < order[c][b]; });
        std::vector<PlotPoint> sorted;
        for (std::size_t i : index) sorted.push_back(plot.curves[c].points[i]);
        plot.curves[c].points = std::move(sorted);
    }
    if (plot.byDelta && plot.pictures.size() == 1 && !severalRules) plot.legendHeading = plot.pictures.constFirst();

    const ColumnText xText = Describe(options.x.column, options.language),
                     yText = Describe(options.y.column, options.language);
    plot.xTitle = xText.axis;
    plot.yTitle = yText.axis;
    const QString over = de ? QStringLiteral("%1 über %2") : QStringLiteral("%1 over %2");
    plot.title = over.arg(yText.name, xText.name);
    if (IsRate(options.x.column) && yText.direction != 0)
        plot.title = (de ? QStringLiteral("Rate-Distortion: ") : QStringLiteral("Rate–distortion: ")) + plot.title;
    if (options.title) plot.title = *options.title;

    const QString labelName = labelColumn < 0 ? QString() : table.columns[labelColumn];
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
    if (xText.direction != 0 || yText.direction != 0) {
        QStringList where, why;
        if (xText.direction != 0) {
            where << (xText.direction > 0 ? (de ? QStringLiteral("rechts") : QStringLiteral("right"))
                                          : (de ? QStringLiteral("links") : QStringLiteral("left")));
            why << xText.better;
        }
        if (yText.direction != 0) {
            where << (yText.direction > 0 ? (de ? QStringLiteral("oben") : QStringLiteral("up"))
                                          : (de ? QStringLiteral("unten") : QStringLiteral("down")));
            why << yText.better;
        }
        if (!de && where.size() == 2) std::swap(where[0], where[1]);  // "down and to the right"
        const QString better =
            de ? QStringLiteral("Besser: nach %1 (%2)")
                     .arg(where.join(QLatin1Char(' ')), why.join(QStringLiteral(", ")))
               : QStringLiteral("better: %1 (%2)")
                     .arg(where.join(QStringLiteral(" and to the ")), why.join(QStringLiteral(", ")));
        plot.notes += QStringLiteral(" · ") + better;
    }
    return plot;
}

QColor PaletteColour(std::size_t index) {
    // Told apart with every common colour-vision deficiency.
    static const QColor colours[] = {QColor(0, 114, 178), QColor(213, 94, 0),    QColor(0, 158, 115),
                                     QColor(230, 159, 0), QColor(204, 121, 167), QColor(86, 180, 233),
                                     QColor(0, 0, 0),     QColor(136, 136, 136)};
    return colours[index % 8];
}

QColor ScaleColour(double fraction) {
    // A perceptually even scale from dark blue over teal to yellow-green, readable on
    // white to its end and in grey.
    static const double stops[][3] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139}, {44, 113, 142},
                                      {33, 144, 141}, {39, 173, 129}, {92, 200, 99}, {170, 220, 50}};
    constexpr int last = 7;
    const double f = std::clamp(std::isfinite(fraction) ? fraction : 0.5, 0.0, 1.0) * last;
    const int i = std::min(last - 1, static_cast<int>(f));
    const double t = f - i;
    const auto mix = [&](int k) {
        return static_cast<int>(std::lround(stops[i][k] + t * (stops[i + 1][k] - stops[i][k])));
    };
    return {mix(0), mix(1), mix(2)};
}

double PlotScale::Fraction(double v) const {
    if (log) return (std::log10(v) - std::log10(low)) / (std::log10(high) - std::log10(low));
    if (!std::isfinite(high - low)) return (v / 2 - low / 2) / (high / 2 - low / 2);  // spans beyond the doubles
    return (v - low) / (high - low);
}

PlotLayout LayOutPlot(const RateDistortionPlot& plot, QSizeF page, const PlotFonts& fonts) {
    PlotLayout layout;
    layout.page = page;
    const double w = page.width(), h = page.height();
    Sizes s;
    s.base = std::clamp(h / 50, 7.0, 10.0);
    s.title = s.base + 1;
    s.legend = s.base - 0.5;
    s.label = std::max(5.5, s.base - 1.5);
    s.notes = std::max(6.0, s.base - 1);
    s.pad = s.base * 0.7;
    layout.fontSize = s.base;
    layout.labelSize = s.label;
    layout.marker = std::clamp(s.base * 0.32, 1.8, 3.2) * (plot.curves.size() > kMostDistinctCurves ? 0.8 : 1.0);

    std::vector<double> xs, ys;
    for (const PlotCurve& curve : plot.curves)
        for (const PlotPoint& p : curve.points) xs.push_back(p.x), ys.push_back(p.y);
    layout.x = FitScale(xs, plot.x);
    layout.y = FitScale(ys, plot.y);

    const bool colourScale = plot.byDelta && plot.curves.size() > kMostDistinctCurves;
    if (colourScale) {
        layout.deltaLow = INFINITY, layout.deltaHigh = -INFINITY;
        for (const PlotCurve& curve : plot.curves)
            if (std::isfinite(curve.delta))
                layout.deltaLow = std::min(layout.deltaLow, curve.delta),
                layout.deltaHigh = std::max(layout.deltaHigh, curve.delta);
        if (!std::isfinite(layout.deltaLow)) layout.deltaLow = 0, layout.deltaHigh = 1;
    }
    layout.styles = Styles(plot, colourScale, layout.deltaLow, layout.deltaHigh);

    // Fixed parts: the title on top, the notes at the foot, the x axis's texts above them.
    double top = s.pad;
    if (!plot.title.isEmpty()) {
        const QStringList lines = Wrap(fonts, plot.title, s.title, w - 2 * s.pad);
        for (const QString& line : lines) {
            PlotText text = TextAt(fonts, line, s.title, true, QPointF(0, top));
            text.box.moveLeft((w - text.box.width()) / 2);
            text.baseline.setX(text.box.left());
            layout.texts.push_back(text);
            top += text.box.height();
        }
        top += s.pad * 0.5;
    }
    const QStringList notes = Wrap(fonts, plot.notes, s.notes, w - 2 * s.pad);
    const double notesHeight = static_cast<double>(notes.size()) * fonts.LineHeight(s.notes);
    double bottom = h - s.pad - notesHeight;  // above the notes
    {
        double y = bottom;
        for (const QString& line : notes) {
            layout.texts.push_back(TextAt(fonts, line, s.notes, false, QPointF(s.pad, y)));
            y += fonts.LineHeight(s.notes);
        }
    }
    const double lineHeight = fonts.LineHeight(s.base), tickGap = s.base * 0.35;
    bottom -= s.pad * 0.4 + lineHeight + tickGap + lineHeight + tickGap;  // x title, x ticks
    if (bottom - top < 2 * lineHeight)
        throw Error(QStringLiteral("Titel und Hinweise lassen auf %1 x %2 mm keinen Platz für die Achsen "
                                   "(--plot-title, --size).")
                        .arg(qRound(w * 25.4 / 72))
                        .arg(qRound(h * 25.4 / 72))
                        .toStdString());

    // The legend: beside the axes in as many columns as it needs, or below them.
    std::vector<LegendItem> items;
    QString heading;
    if (!colourScale) {
        heading = plot.legendHeading;
        for (std::size_t c = 0; c < plot.curves.size(); ++c)
            items.push_back(
                {heading.isEmpty() ? plot.curves[c].name : QStringLiteral("Delta ") + G(plot.curves[c].delta), c,
                 false});
        if (plot.curves.size() == 1 && !plot.byDelta) items.clear();  // one picture: the title says enough
    } else if (plot.pictures.size() > 1) {
        for (std::size_t p = 0; p < static_cast<std::size_t>(plot.pictures.size()); ++p)
            items.push_back({plot.pictures[static_cast<qsizetype>(p)], p, true});
    }
    // A table of pictures by Deltas when each picture and Delta is one curve.
    std::set<std::pair<std::size_t, double>> cells;
    for (const PlotCurve& curve : plot.curves) cells.insert({curve.picture, curve.delta});
    const bool grid = !colourScale && plot.byDelta && plot.pictures.size() > 1 && cells.size() == plot.curves.size();
    const auto tickText = [](double v) { return G(v); };
    const auto yTickWidth = [&](const PlotScale& scale, double length) {
        PlotScale copy = scale;
        copy.ticks = ChooseTicks(copy, length, [&](double) { return lineHeight * 2.2; });
        double widest = 0;
        for (double t : copy.ticks) widest = std::max(widest, fonts.Width(tickText(t), s.base));
        return widest;
    };
    // The colour bar's own column: the bar, its ticks and its title.
    double barColumn = 0;
    PlotScale deltaScale;
    deltaScale.low = layout.deltaLow, deltaScale.high = layout.deltaHigh;
    if (!(deltaScale.high > deltaScale.low)) deltaScale.low -= 0.05, deltaScale.high += 0.05;
    if (colourScale)
        barColumn = std::max(fonts.Width(QStringLiteral("Delta"), s.legend, true),
                             s.base * 1.1 + s.base * 0.4 + yTickWidth(deltaScale, (bottom - top) * 0.8)) +
                    s.pad;

    const double left0 = s.pad + lineHeight + tickGap;  // page edge, y title, gap
    double left = left0 + yTickWidth(layout.y, bottom - top) + tickGap;
    const double xHalf = fonts.Width(tickText(layout.x.high), s.base) / 2 + 2;
    LegendShape shape;
    bool beside = true;
    // More entries than the page could hold at the smallest size, each at its narrowest:
    // refused before every size is tried on every entry.
    const double narrowest = (2.6 + 0.4 + 1.2) * 4.5, lowest = fonts.LineHeight(4.5) * 1.08;
    const double capacity = std::floor(w / narrowest) * std::floor(h / lowest);
    for (double size = static_cast<double>(items.size()) > capacity ? 0 : s.legend; !items.empty(); size -= 0.5) {
        if (size < 4.5)
            throw Error(QStringLiteral("Die Legende der %1 Kurven passt nicht auf %2 x %3 mm (--size).")
                            .arg(plot.curves.size())
                            .arg(qRound(w * 25.4 / 72))
                            .arg(qRound(h * 25.4 / 72))
                            .toStdString());
        shape = ShapeLegend(fonts, items, heading, size);
        const double besideHeight = bottom - top;
        LegendShape right = shape, under = shape;
        right.rows = std::max(1, static_cast<int>((besideHeight - shape.headingHeight) / shape.rowHeight));
        right.columns = (static_cast<int>(items.size()) + right.rows - 1) / right.rows;
        right.rows = (static_cast<int>(items.size()) + right.columns - 1) / right.columns;
        const double rightArea = w - left - s.pad - barColumn - right.Width() - s.pad;
        under.columns = std::max(1, static_cast<int>((w - 2 * s.pad) / shape.columnWidth));
        under.columns = std::min(under.columns, static_cast<int>(items.size()));
        under.rows = (static_cast<int>(items.size()) + under.columns - 1) / under.columns;
        const double gridHeight = grid ? PlaceGrid(nullptr, fonts, plot, size, QPointF(), w - 2 * s.pad) : 0;
        const double underArea = bottom - top - (grid ? gridHeight : under.Height()) - s.pad * 0.5;
        const bool rightFits = !grid && !colourScale && right.Height() <= besideHeight && rightArea >= 0.5 * w &&
                               right.Width() <= w - 2 * s.pad;
        const bool underFits = underArea >= 0.4 * h && under.columns * shape.columnWidth <= w - 2 * s.pad + 1e-9;
        if (!rightFits && !underFits) continue;
        beside = rightFits && (!underFits || rightArea * (bottom - top) >=
                                                 (w - left - std::max(s.pad, xHalf) - barColumn) * underArea);
        shape = beside ? right : under;
        if (grid) shape.headingHeight = gridHeight, shape.rows = 0;  // its height below the axes
        break;
    }
    const double legendBelow = !items.empty() && !beside ? shape.Height() + s.pad * 0.5 : 0;
    const double legendBeside = !items.empty() && beside ? shape.Width() + s.pad : 0;
    const double right = w - std::max(s.pad, xHalf) - barColumn - legendBeside;
    const double areaBottom = bottom - legendBelow;
    left = left0 + yTickWidth(layout.y, areaBottom - top) + tickGap;
    layout.area = QRectF(QPointF(left, top), QPointF(right, areaBottom));
    if (!(layout.area.width() > 20 && layout.area.height() > 20))
        throw Error("Das Diagramm passt nicht auf die Seite (--size).");

    // Ticks and their texts.
    layout.y.ticks = ChooseTicks(layout.y, layout.area.height(), [&](double) { return lineHeight * 2.2; });
    layout.x.ticks = ChooseTicks(layout.x, layout.area.width(),
                                 [&](double v) { return fonts.Width(tickText(v), s.base) + s.base * 2.5; });
    std::vector<PlotText> xTicks, yTicks;
    for (double t : layout.x.ticks) {
        PlotText text = TextAt(fonts, tickText(t), s.base, false, QPointF(0, layout.area.bottom() + tickGap));
        text.box.moveLeft(layout.At(t, layout.y.low).x() - text.box.width() / 2);
        text.baseline.setX(text.box.left());
        xTicks.push_back(text);
    }
    for (double t : layout.y.ticks) {
        PlotText text = TextAt(fonts, tickText(t), s.base, false, QPointF(0, 0));
        text.box.moveTopRight(
            QPointF(layout.area.left() - tickGap, layout.At(layout.x.low, t).y() - text.box.height() / 2));
        text.baseline = text.box.topLeft() + QPointF(0, fonts.Ascent(s.base));
        // The lowest y text may meet the first x text at the corner: the x axis keeps it.
        if (std::none_of(xTicks.begin(), xTicks.end(), [&](const PlotText& x) { return x.box.intersects(text.box); }))
            yTicks.push_back(text);
    }
    layout.texts.insert(layout.texts.end(), xTicks.begin(), xTicks.end());
    layout.texts.insert(layout.texts.end(), yTicks.begin(), yTicks.end());
    // An axis title longer than the page gets a smaller size, never cut.
    const auto fitted = [&](const QString& text, double length) {
        double size = s.base;
        while (size > 5 && fonts.Width(text, size) > length) size -= 0.25;
        return size;
    };
    {
        const double size = fitted(plot.xTitle, w - 2 * s.pad);
        PlotText text =
            TextAt(fonts, plot.xTitle, size, false, QPointF(0, layout.area.bottom() + tickGap + lineHeight + tickGap));
        const double centre =
            std::clamp(layout.area.center().x(), s.pad + text.box.width() / 2, w - s.pad - text.box.width() / 2);
        text.box.moveLeft(centre - text.box.width() / 2);
        text.baseline.setX(text.box.left());
        layout.texts.push_back(text);
    }
    {
        const double size = fitted(plot.yTitle, h - 2 * s.pad);
        const QRectF b = fonts.Bounds(plot.yTitle, size);
        const double centre = std::clamp(layout.area.center().y(), s.pad + b.width() / 2, h - s.pad - b.width() / 2);
        PlotText text{QRectF(s.pad, centre - b.width() / 2, b.height(), b.width()),
                      QPointF(s.pad - b.top(), centre + b.width() / 2),
                      plot.yTitle,
                      size,
                      false,
                      true};
        layout.texts.push_back(text);
    }
    if (!items.empty()) {
        const QPointF at = beside
                               ? QPointF(layout.area.right() + std::max(s.pad, xHalf), top)
                               : QPointF(s.pad, areaBottom + tickGap + lineHeight + tickGap + lineHeight + s.pad * 0.9);
        if (grid)
            PlaceGrid(&layout, fonts, plot, shape.size, at, w - 2 * s.pad);
        else
            PlaceLegend(layout, fonts, items, heading, shape, at);
    }
    if (colourScale) {
        const double x0 = w - barColumn;
        PlotText title = TextAt(fonts, QStringLiteral("Delta"), s.legend, true, QPointF(x0, top));
        layout.texts.push_back(title);
        const double barTop = title.box.bottom() + s.base * 0.6;
        const double barHeight = std::min(layout.area.bottom() - barTop, (bottom - top) * 0.8);
        layout.colourBar = QRectF(x0, barTop, s.base * 1.1, barHeight);
        deltaScale.ticks = ChooseTicks(deltaScale, barHeight, [&](double) { return lineHeight * 2.2; });
        for (double t : deltaScale.ticks) {
            PlotText text = TextAt(fonts, tickText(t), s.base, false, QPointF(0, 0));
            const double y = layout.colourBar.bottom() - deltaScale.Fraction(t) * barHeight;
            text.box.moveTopLeft(QPointF(layout.colourBar.right() + s.base * 0.4, y - text.box.height() / 2));
            text.baseline = text.box.topLeft() + QPointF(0, fonts.Ascent(s.base));
            layout.texts.push_back(text);
        }
        layout.deltaLow = deltaScale.low, layout.deltaHigh = deltaScale.high;
    }
    layout.labels = PlaceLabels(layout, plot.curves, fonts);
    return layout;
}

std::vector<PlacedLabel> PlaceLabels(const PlotLayout& layout, const std::vector<PlotCurve>& curves,
                                     const PlotFonts& fonts) {
    const double r = layout.marker;
    Obstacles obstacles(layout.area);  // the points, then every label placed
    for (const PlotCurve& curve : curves)
        for (const PlotPoint& point : curve.points) {
            const QPointF p = layout.At(point.x, point.y);
            obstacles.Add(QRectF(p.x() - r, p.y() - r, 2 * r, 2 * r));
        }
    std::map<QString, QRectF> bounds;  // few distinct texts, many points
    std::vector<PlacedLabel> labels;
    const double size = layout.labelSize, d = r + 1.5;
    // Past the distinct styles, curves lie close as a bundle: about ten of them carry
    // labels (the first and the last among them), the colour bar tells the rest.
    const std::size_t stride = curves.size() > kMostDistinctCurves ? (curves.size() + 9) / 10 : 1;
    for (std::size_t c = 0; c < curves.size(); ++c) {
        if (c % stride != 0 && c + 1 != curves.size()) continue;
        for (const PlotPoint& point : curves[c].points) {
            if (point.label.isEmpty()) continue;
            const QPointF p = layout.At(point.x, point.y);
            auto known = bounds.find(point.label);
            if (known == bounds.end())
                known =
                    bounds.emplace(point.label, fonts.Bounds(point.label, size).adjusted(-0.5, -0.5, 0.5, 0.5)).first;
            const QRectF text = known->second;
            const double w = text.width(), h = text.height();
            // Beside the point: right, left, above, below, then the four corners.
            const QPointF corners[] = {{d, -h / 2},
                                       {-d - w, -h / 2},
                                       {-w / 2, -d - h},
                                       {-w / 2, d},
                                       {d * 0.8, -d * 0.8 - h},
                                       {d * 0.8, d * 0.8},
                                       {-d * 0.8 - w, -d * 0.8 - h},
                                       {-d * 0.8 - w, d * 0.8}};
            for (const QPointF& corner : corners) {
                const QRectF box(p + corner, QSizeF(w, h));
                if (!layout.area.contains(box)) continue;
                if (obstacles.Hit(box)) continue;
                obstacles.Add(box);
                labels.push_back({box, box.topLeft() - text.topLeft(), point.label, c});
                break;
            }
        }
    }
    return labels;
}

namespace {

// Curves of more points than this are drawn thinned: a point on the device pixel of the one
// before adds nothing, and a stroke's cost grows faster than its length, so long curves
// are stroked in pieces. Curves up to it are drawn exactly as they always were.
constexpr std::size_t kDensePoints = 2000;
constexpr std::size_t kPiece = 32;

// Whether p falls on `last`, the device pixel of the point before; `last` becomes p's.
bool SamePixel(const QPainter& painter, QPointF p, QPoint& last) {
    const QPoint pixel = painter.transform().map(p).toPoint();
    if (pixel == last) return true;
    last = pixel;
    return false;
}

std::vector<QPainterPath> CurvePaths(const QPainter& painter, const PlotLayout& layout,
                                     const std::vector<PlotPoint>& points) {
    const bool dense = points.size() > kDensePoints;
    std::vector<QPainterPath> paths(1);
    QPoint last(INT_MIN, INT_MIN);
    std::size_t inPiece = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = layout.At(points[i].x, points[i].y);
        if (dense && i + 1 < points.size() && i > 0 && SamePixel(painter, p, last)) continue;
        if (dense && inPiece == kPiece) {
            // The next piece starts where this one ends, so the line stays unbroken.
            const QPointF end = paths.back().currentPosition();
            paths.emplace_back().moveTo(end);
            inPiece = 1;
        }
        if (paths.back().elementCount() == 0)
            paths.back().moveTo(p);
        else
            paths.back().lineTo(p);
        ++inPiece;
    }
    return paths;
}

}  // namespace

void DrawPlot(QPainter& painter, const RateDistortionPlot& plot, const PlotLayout& layout, const PlotFonts& fonts) {
    const QRectF& area = layout.area;
    // Grid, then the curves inside the box, then the box over them.
    painter.setPen(QPen(QColor(225, 225, 225), 0.5));
    for (double t : layout.x.ticks) painter.drawLine(layout.At(t, layout.y.low), layout.At(t, layout.y.high));
    for (double t : layout.y.ticks) painter.drawLine(layout.At(layout.x.low, t), layout.At(layout.x.high, t));
    const double r = layout.marker;
    const double width = plot.curves.size() > kMostDistinctCurves ? 0.8 : 1.1;
    painter.save();
    painter.setClipRect(area);
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        painter.setPen(CurvePen(layout.styles[c], width));
        painter.setBrush(Qt::NoBrush);
        for (const QPainterPath& path : CurvePaths(painter, layout, plot.curves[c].points)) painter.drawPath(path);
    }
    painter.setClipRect(area.adjusted(-r, -r, r, r));
    for (std::size_t c = 0; c < plot.curves.size(); ++c) {
        const bool dense = plot.curves[c].points.size() > kDensePoints;
        QPoint last(INT_MIN, INT_MIN);
        for (const PlotPoint& point : plot.curves[c].points) {
            const QPointF p = layout.At(point.x, point.y);
            if (dense && SamePixel(painter, p, last)) continue;
            if (area.contains(p)) DrawMarker(painter, p, r, layout.styles[c]);
        }
    }
    painter.restore();
    painter.setPen(QPen(Qt::black, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
    for (double t : layout.x.ticks) {
        const QPointF p = layout.At(t, layout.y.low);
        painter.drawLine(p, p + QPointF(0, -3));
    }
    for (double t : layout.y.ticks) {
        const QPointF p = layout.At(layout.x.low, t);
        painter.drawLine(p, p + QPointF(3, 0));
    }

    for (const PlacedLabel& label : layout.labels) {
        painter.setFont(fonts.Font(layout.labelSize));
        // A white rim keeps labels readable where curves cross.
        QPainterPath outline;
        outline.addText(label.baseline, fonts.Font(layout.labelSize), label.text);
        painter.setPen(QPen(Qt::white, 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
        painter.setPen(layout.styles[label.curve].colour.darker(125));
        painter.drawText(label.baseline, label.text);
    }
    for (const LegendSample& sample : layout.samples) {
        const double y = sample.box.center().y();
        CurveStyle style = sample.picture ? CurveStyle{QColor(60, 60, 60), static_cast<int>(sample.curve % 6),
                                                       static_cast<int>(sample.curve / 6 % 3)}
                                          : layout.styles[sample.curve];
        painter.setPen(CurvePen(style, width));
        painter.drawLine(QPointF(sample.box.left(), y), QPointF(sample.box.right(), y));
        DrawMarker(painter, QPointF(sample.box.center().x(), y), std::min(r, sample.box.height() * 0.3), style);
    }
    if (!layout.colourBar.isEmpty()) {
        // Stripes rather than a gradient: every viewer draws them alike.
        const QRectF& bar = layout.colourBar;
        constexpr int stripes = 64;
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < stripes; ++i) {
            painter.setBrush(ScaleColour((i + 0.5) / stripes));
            const double y0 = bar.bottom() - bar.height() * (i + 1) / stripes;
            painter.drawRect(QRectF(bar.left(), y0, bar.width(), bar.height() / stripes + 0.05));
        }
        painter.setPen(QPen(Qt::black, 0.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bar);
    }
    painter.setPen(Qt::black);
    for (const PlotText& text : layout.texts) {
        painter.setFont(fonts.Font(text.size, text.bold));
        if (!text.vertical) {
            painter.drawText(text.baseline, text.text);
            continue;
        }
        painter.save();
        painter.translate(text.baseline);
        painter.rotate(-90);
        painter.drawText(QPointF(0, 0), text.text);
        painter.restore();
    }
}

void AddPlots(OutputFiles& outputs, const QStringList& paths, const RateDistortionPlot& plot,
              const PlotOptions& options) {
    for (const QString& path : paths)
        AddPage(outputs, path, options.page, plot.title, [&](QPainter& painter, const PlotFonts& fonts) {
            DrawPlot(painter, plot, LayOutPlot(plot, options.page.points, fonts), fonts);
        });
}

}  // namespace tesora::cli
