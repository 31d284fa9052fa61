// "bd": Bjøntegaard deltas of a sweep's curves against a reference curve, from its table.
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Plotting.h"
#include "matrix/Error.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "tools/RateDistortion.h"

namespace tesora::cli {

using report::JsonName;
using report::JsonNumber;
using report::kDataFormat;
using report::Shortest;

namespace {

// The table's rows as points: rate entropy_bpp, quality psnr_exact, one curve per value
// of the `by` column. A row without both figures is no point.
std::vector<analysis::TablePoint> Points(const Table& table, const QString& by) {
    const int picture = table.RequireColumn(QStringLiteral("picture"));
    const int curve = table.RequireColumn(by);
    const int rate = table.RequireColumn(QStringLiteral("entropy_bpp"));
    const int psnr = table.RequireColumn(QStringLiteral("psnr_exact"));
    std::vector<analysis::TablePoint> points;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const QStringList& row = table.rows[r];
        points.push_back({row.at(picture).toStdString(),
                          row.at(curve).toStdString(),
                          {table.Number(r, rate).value_or(NAN), table.Number(r, psnr).value_or(NAN)}});
    }
    return points;
}

}  // namespace

int RunBd(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("bd"), QStringLiteral("TABELLE.csv --by delta|basis --reference WERT [--json]"),
                     QStringLiteral("Bjøntegaard-Deltas jeder Kurve einer sweep-Tabelle gegen die Bezugskurve: "
                                    "PSNR (dB) und Rate (%), aus entropy_bpp und psnr_exact."));
    AddValueOptions(line, {{"by", "SPALTE", "delta oder basis: die Spalte, deren Werte die Kurven trennen."},
                           {"reference", "WERT", "Der Wert der Bezugskurve in dieser Spalte (etwa 0 oder cdf97)."}});
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;
    const QString by = line.Value(QStringLiteral("by"));
    if (by != QLatin1String("delta") && by != QLatin1String("basis"))
        throw UsageError(QStringLiteral("--by nimmt delta oder basis."));
    if (!line.Has(QStringLiteral("reference"))) throw UsageError(QStringLiteral("Es fehlt --reference."));
    const QString reference = line.Value(QStringLiteral("reference"));
    std::function<bool(const std::string&)> isReference = [&](const std::string& value) {
        return QString::fromStdString(value) == reference;
    };
    if (by == QLatin1String("delta")) {
        // Deltas compare as numbers: 0.50 names the curve the table writes as 0.5.
        const double wanted = ParseDelta(reference, QStringLiteral("--reference"));
        isReference = [wanted](const std::string& value) {
            bool ok = false;
            return QString::fromStdString(value).toDouble(&ok) == wanted && ok;
        };
    }

    const QString path = line.Positional().constFirst();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Die Tabelle \"" + path.toStdString() + "\" lässt sich nicht lesen.");
    const Table table = ParseTable(file.readAll(), path);
    const std::vector<analysis::CurveComparison> rows = analysis::CompareWithReference(Points(table, by), isReference);

    if (line.Json()) {
        QJsonArray curves;
        for (const analysis::CurveComparison& c : rows)
            curves.append(QJsonObject{{"picture", JsonName(QString::fromStdString(c.picture))},
                                      {by, QString::fromStdString(c.curve)},
                                      {"points", c.points},
                                      {"bd_psnr", JsonNumber(c.delta.psnr)},
                                      {"bd_rate", JsonNumber(c.delta.rate)}});
        WriteJson(context.out,
                  QJsonObject{{"format", kDataFormat}, {"by", by}, {"reference", reference}, {"curves", curves}});
        return kExitOk;
    }
    for (const analysis::CurveComparison& c : rows)
        context.out << QString::fromStdString(c.picture) << ": " << by << ' ' << QString::fromStdString(c.curve)
                    << " gegen " << reference << ": BD-PSNR " << Shortest(c.delta.psnr) << " dB, BD-Rate "
                    << Shortest(c.delta.rate) << " % (" << c.points << " Punkte)\n";
    return kExitOk;
}

}  // namespace tesora::cli
