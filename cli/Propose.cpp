// "propose": "Calc Delta" on the freshly opened picture.
#include <QJsonObject>

#include "blac/State.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"
#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "tools/DeltaProposal.h"

namespace tesora::cli {

namespace {

// What "Calc Delta" left: the proposal's label, the scroll bar and Delta.
void WriteProposal(Context& context, bool json, const QString& picture, const MemoryFrontend& frontend) {
    const QString proposal = QString::fromStdString(frontend.Text(Label::DeltaVorgeschlagen));
    if (json) {
        WriteJson(
            context.out,
            QJsonObject{{"format", report::kDataFormat},
                        {"picture", report::JsonName(picture)},
                        {"schranke", report::JsonNumber(Schranke)},
                        {"difference_sum_below", report::JsonNumber(DifferenceSumBelow)},
                        {"difference_sum_total", report::JsonNumber(DifferenceSumTotal)},
                        {"position", frontend.deltaPosition},
                        {"delta", Delta},
                        {"labels", QJsonObject{{"lab_delta_vorgeschlagen", proposal},
                                               {"lab_delta", QString::fromStdString(frontend.Text(Label::Delta))}}}});
    } else {
        QTextStream& out = context.out;
        out << "Bild: " << picture << '\n';
        out << "Schranke: " << report::Shortest(Schranke) << '\n';
        out << "Vorschlag:" << proposal << '\n';
        out << "Position: " << frontend.deltaPosition << '\n';
        out << "Delta: " << report::Shortest(Delta) << '\n';
    }
}

}  // namespace

int RunPropose(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("propose"),
                     QStringLiteral("BILD [--schranke S] [--position P] [--difference DATEI] [--fit] [--json]"),
                     QStringLiteral("Öffnet das Bild und drückt \"Calc Delta\": der Vorschlag, die "
                                    "Position, auf die er die Scroll-Leiste setzt, und das Delta danach."));
    AddValueOptions(line, {{"schranke", "S", "Schranke wie im Eingabefeld (Vorgabe 50)."},
                           {"position", "P", "Position der Delta-Scroll-Leiste vor dem Vorschlag, 0 bis 100."},
                           {"difference", "DATEI", "Das Differenzenbild (.bmp/.png)."}});
    AddFitOption(line);
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;

    std::optional<QString> schranke;
    if (line.Has(QStringLiteral("schranke"))) {
        QString warning;
        schranke = CheckSchrankeText(line.Value(QStringLiteral("schranke")), &warning);
        if (!warning.isEmpty()) context.warnings << warning;
    }
    std::optional<int> position;
    if (line.Has(QStringLiteral("position"))) position = ParsePosition(line.Value(QStringLiteral("position")));
    const QString difference = line.Value(QStringLiteral("difference"));
    if (!difference.isEmpty()) {
        PictureFormatFor(difference, QStringLiteral("--difference"));
        CheckOutputsApart(line.Positional(), {{QStringLiteral("--difference"), difference}});
        CheckWritable(difference);
    }

    const QString picture = line.Positional().constFirst();
    Road road(picture, line.Has(QStringLiteral("fit")));
    if (schranke) road.SetSchrankeText(*schranke);
    if (position) road.SetDeltaPosition(*position);
    road.PressCalcDelta();
    OutputFiles outputs;
    if (!difference.isEmpty()) outputs.AddPicture(difference, road.ReducedPicture());
    outputs.WriteAll();

    WriteProposal(context, line.Json(), picture, road.Frontend());
    return kExitOk;
}

}  // namespace tesora::cli
