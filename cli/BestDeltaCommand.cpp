// "best-delta": the Delta with the highest quality at one rate, beside Delta 0 and the
// "Calc Delta" proposal.
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <thread>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/Progress.h"
#include "cli/Road.h"
#include "mra/LevelChange.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "report/Figures.h"
#include "tools/BestDelta.h"

namespace tesora::cli {

using report::JsonName;
using report::JsonNumber;
using report::Shortest;
using report::kDataFormat;

namespace {

struct Found {
    QString picture;
    int width = 0, height = 0, pictureLevel = 0, level = 0;
    analysis::BestDelta best;
};

QJsonObject ToJson(const Found& f, double bpp, const QString& rule) {
    return QJsonObject{{"picture", JsonName(f.picture)},
                       {"width", f.width},
                       {"height", f.height},
                       {"picture_level", f.pictureLevel},
                       {"level", f.level},
                       {"bpp", bpp},
                       {"rule", rule},
                       {"best_delta", f.best.bestDelta},
                       {"best_psnr", JsonNumber(f.best.bestPsnr)},
                       {"delta0_psnr", JsonNumber(f.best.delta0Psnr)},
                       {"proposal_delta", f.best.proposalDelta},
                       {"proposal_psnr", JsonNumber(f.best.proposalPsnr)},
                       {"regret_db", JsonNumber(f.best.regretDb)}};
}

void WriteText(QTextStream& out, const Found& f, double bpp) {
    const auto decibels = [](double psnr) { return std::isinf(psnr) ? QStringLiteral("inf") : Shortest(psnr) + " dB"; };
    out << "Bild: " << f.picture << " (" << f.width << " x " << f.height << " Pixel, Level " << f.pictureLevel
        << "), Level " << f.level << ", " << Shortest(bpp) << " bit/Pixel\n";
    out << "Bestes Delta: " << Shortest(f.best.bestDelta) << " (PSNR " << decibels(f.best.bestPsnr) << ")\n";
    out << "Delta 0: PSNR " << decibels(f.best.delta0Psnr) << '\n';
    out << "Vorschlag von \"Calc Delta\": " << Shortest(f.best.proposalDelta) << " (PSNR "
        << decibels(f.best.proposalPsnr) << "), " << Shortest(f.best.regretDb) << " dB unter dem besten\n";
}

}  // namespace

int RunBestDelta(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("best-delta"),
                     QStringLiteral("BILD... --bpp B [--rule flat|norm] [--steps N] [--fit] [--progress] [--json]"),
                     QStringLiteral("Das Delta mit der höchsten psnr_exact bei B bit/Pixel (Positionen 0 bis 100, "
                                    "dann ein Goldener Schnitt zwischen den Nachbarn der besten auf 0,001), "
                                    "daneben Delta 0 und der Vorschlag von \"Calc Delta\"."));
    line.AddValueOption(QStringLiteral("bpp"), QStringLiteral("B"), QStringLiteral("Die Rate in bit/Pixel, über 0."));
    line.AddValueOption(QStringLiteral("rule"), QStringLiteral("R"),
                        QStringLiteral("flat (Vorgabe) oder norm: wie die Koeffizienten vor dem Quantisieren "
                                       "gewichtet werden."));
    line.AddValueOption(QStringLiteral("steps"), QStringLiteral("N"),
                        QStringLiteral("Level unter dem des Bildes (Vorgabe 5, höchstens bis Level 2)."));
    line.AddFlag(QStringLiteral("progress"), QStringLiteral("Zeilen zum Fortschritt auch ohne Terminal."));
    AddFitOption(line);
    if (!line.Parse(args, context.out, 1, 10000)) return kExitOk;
    if (!line.Has(QStringLiteral("bpp"))) throw UsageError(QStringLiteral("Es fehlt --bpp."));
    const double bpp = ParseQuantise(line.Value(QStringLiteral("bpp")));
    const QString ruleText =
        line.Has(QStringLiteral("rule")) ? line.Value(QStringLiteral("rule")) : QStringLiteral("flat");
    if (ruleText != QLatin1String("flat") && ruleText != QLatin1String("norm"))
        throw UsageError(QStringLiteral("--rule nimmt hier flat oder norm."));
    const int steps = line.Has(QStringLiteral("steps")) ? ParseSteps(line.Value(QStringLiteral("steps"))) : 5;

    const QStringList pictures = line.Positional();
    Progress progress(context.err, ChooseProgress(context.progress, line.Has(QStringLiteral("progress"))),
                      static_cast<long long>(pictures.size()) * 101);
    // The Deltas run side by side, each transform on one thread.
    const int threadsBefore = TransformThreads();
    SetTransformThreads(1);
    struct RestoreThreads {
        int threads;
        ~RestoreThreads() { SetTransformThreads(threads); }
    } restore{threadsBefore};
    std::vector<Found> found;
    for (const QString& picture : pictures) {
        const analysis::RedPicture red = report::RedBytes(LoadUsable(picture, line.Has(QStringLiteral("fit"))));
        Found f{picture, red.width, red.height, analysis::PictureLevelOf(red.width), 0, {}};
        f.level = std::max(2, f.pictureLevel - steps);
        analysis::BestDeltaRequest request;
        request.bpp = bpp;
        request.rule = ruleText == QLatin1String("norm") ? analysis::RuleKind::Norm : analysis::RuleKind::Flat;
        request.level = f.level;
        request.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        long long before = 0;
        f.best = analysis::FindBestDeltaFor(red, request, [&](int done, int) {
            progress.Advance(done - before);
            before = done;
        });
        found.push_back(f);
    }
    progress.Finish();
    if (line.Json()) {
        QJsonArray runs;
        for (const Found& f : found) runs.append(ToJson(f, bpp, ruleText));
        WriteJson(context.out, QJsonObject{{"format", kDataFormat}, {"runs", runs}});
    } else {
        for (const Found& f : found) WriteText(context.out, f, bpp);
    }
    return kExitOk;
}

}  // namespace tesora::cli
