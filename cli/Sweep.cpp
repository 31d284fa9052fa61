// "sweep": compress for every picture and scroll position, one CSV row each and a
// rate-distortion plot.
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Plot.h"
#include "matrix/Error.h"

namespace tesora::cli {
namespace {

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return '"' + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + '"';
}

QByteArray Csv(const std::vector<CompressResult>& rows) {
    QString text = QStringLiteral("picture,position,delta,zero_share,mean_error,psnr,energy_kept\n");
    for (const CompressResult& r : rows)
        text += QStringList{CsvField(r.picture), QString::number(*r.position), FullText(r.delta),
                            FullText(r.zeroShare), FullText(r.meanError), FullText(r.quality.psnr),
                            FullText(r.quality.energyKept)}
                    .join(QLatin1Char(',')) +
                '\n';
    return text.toUtf8();
}

}  // namespace

int RunSweep(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("sweep"),
                     QStringLiteral("BILD... --level L --epsilon E [--positions VON:BIS:SCHRITT] "
                                    "[--csv DATEI] [--plot DATEI.png] [--json]"),
                     QStringLiteral("compress für jede Scroll-Position des Bereichs und jedes Bild: "
                                    "eine CSV-Zeile je Lauf und ein Rate-Distortion-Diagramm."));
    line.AddValueOption(QStringLiteral("level"), QStringLiteral("L"),
                        QStringLiteral("Level, auf den zerlegt wird (2 bis Level des Bildes)."));
    line.AddValueOption(QStringLiteral("epsilon"), QStringLiteral("E"),
                        QStringLiteral("Epsilon wie im Eingabefeld."));
    line.AddValueOption(QStringLiteral("positions"), QStringLiteral("VON:BIS:SCHRITT"),
                        QStringLiteral("Positionen der Delta-Scroll-Leiste (Vorgabe 0:100:10)."));
    line.AddValueOption(QStringLiteral("csv"), QStringLiteral("DATEI"),
                        QStringLiteral("Die Tabelle als CSV-Datei; ohne diese Option auf die Standardausgabe."));
    line.AddValueOption(QStringLiteral("plot"), QStringLiteral("DATEI.png"),
                        QStringLiteral("Das Diagramm als PNG."));
    if (!line.Parse(args, context.out, 1, 1 << 20)) return kExitOk;

    if (!line.Has(QStringLiteral("epsilon"))) throw UsageError(QStringLiteral("Die Option --epsilon fehlt."));
    CompressSettings settings = ReadCompressSettings(line, false);
    const std::vector<int> positions = line.Has(QStringLiteral("positions"))
                                           ? ParsePositions(line.Value(QStringLiteral("positions")))
                                           : ParsePositions(QStringLiteral("0:100:10"));
    const QString csv = line.Value(QStringLiteral("csv"));
    const QString plot = line.Value(QStringLiteral("plot"));
    if (!plot.isEmpty() && PictureFormatFor(plot, QStringLiteral("--plot")) != PictureFormat::Png)
        throw UsageError(QStringLiteral("--plot: \"%1\" muss auf .png enden.").arg(plot));
    CheckOutputsApart(line.Positional(), {{QStringLiteral("--csv"), csv}, {QStringLiteral("--plot"), plot}});
    if (!csv.isEmpty()) CheckWritable(csv);
    if (!plot.isEmpty()) CheckWritable(plot);
    if (!plot.isEmpty() && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error("Für das Diagramm fehlt die Qt-Anwendung.");

    const QStringList pictures = line.Positional();
    const int total = static_cast<int>(pictures.size() * positions.size());
    std::vector<CompressResult> rows;
    std::vector<PlotCurve> curves;
    OutputFiles none;  // a sweep writes no pictures of the road
    for (const QString& picture : pictures) {
        PlotCurve curve{picture, {}};
        for (int position : positions) {
            if (context.progress) {
                context.err << QStringLiteral("\r%1/%2: %3, Position %4 ")
                                   .arg(rows.size() + 1).arg(total).arg(picture).arg(position);
                context.err.flush();
            }
            settings.position = position;
            rows.push_back(Compress(picture, settings, none));
            curve.points.push_back({rows.back().zeroShare, rows.back().meanError, rows.back().delta});
        }
        curves.push_back(std::move(curve));
    }
    if (context.progress) context.err << '\n';

    OutputFiles outputs;
    if (!csv.isEmpty()) outputs.AddText(csv, Csv(rows));
    if (!plot.isEmpty()) outputs.AddPicture(plot, DrawRateDistortion(curves));
    outputs.WriteAll();

    if (line.Json()) {
        QJsonArray array;
        for (const CompressResult& r : rows) array.append(ToJson(r));
        WriteJson(context.out, QJsonObject{{"runs", array}});
    } else if (csv.isEmpty()) {
        context.out << QString::fromUtf8(Csv(rows));
    } else {
        context.out << QStringLiteral("%1 Läufe, Tabelle in %2\n").arg(rows.size()).arg(csv);
    }
    if (!plot.isEmpty() && !line.Json()) context.out << QStringLiteral("Diagramm in %1\n").arg(plot);
    return kExitOk;
}

}  // namespace tesora::cli
