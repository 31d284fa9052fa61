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
#include "report/Rates.h"
#include "tools/BestDelta.h"

namespace tesora::cli {

using report::kDataFormat;
using report::Shortest;

namespace {

void WriteText(QTextStream& out, const report::BestDeltaRun& f) {
    const auto decibels = [](double psnr) { return std::isinf(psnr) ? QStringLiteral("inf") : Shortest(psnr) + " dB"; };
    out << "Bild: " << f.picture << " (" << f.width << " x " << f.height << " Pixel, Level " << f.pictureLevel
        << "), Level " << f.level << ", " << Shortest(f.bpp) << " bit/Pixel\n";
    out << "Bestes Delta: " << Shortest(f.best.bestDelta) << " (PSNR " << decibels(f.best.bestPsnr) << ")\n";
    out << "Delta 0: PSNR " << decibels(f.best.delta0Psnr) << '\n';
    out << "Vorschlag von \"Calc Delta\": " << Shortest(f.best.proposalDelta) << " (PSNR "
        << decibels(f.best.proposalPsnr) << "), " << Shortest(f.best.regretDb) << " dB unter dem besten\n";
}

void AddOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("bpp"), QStringLiteral("B"), QStringLiteral("Die Rate in bit/Pixel, über 0."));
    line.AddValueOption(QStringLiteral("rule"), QStringLiteral("R"),
                        QStringLiteral("flat (Vorgabe) oder norm: wie die Koeffizienten vor dem Quantisieren "
                                       "gewichtet werden."));
    line.AddValueOption(QStringLiteral("synthesis"), QStringLiteral("ART"),
                        QStringLiteral("Rekonstruktion: specified (Vorgabe, wie das Fenster) oder exact (die genaue "
                                       "Umkehrung der Zerlegung)."));
    line.AddValueOption(QStringLiteral("steps"), QStringLiteral("N"),
                        QStringLiteral("Level unter dem des Bildes (Vorgabe 5, höchstens bis Level 2)."));
    line.AddFlag(QStringLiteral("progress"),
                 QStringLiteral("Fortschritt auch dann auf die Standardfehlerausgabe, wenn sie kein Terminal ist "
                                "(eine Zeile je 10 %)."));
    AddFitOption(line);
}

void WriteRuns(QTextStream& out, const std::vector<report::BestDeltaRun>& found,
               const std::optional<Synthesis>& synthesis, bool json) {
    if (json) {
        QJsonArray runs;
        for (const report::BestDeltaRun& f : found) {
            QJsonObject run = report::ToJson(f);
            if (synthesis) run.insert(QStringLiteral("synthesis"), QString::fromLatin1(SynthesisName(*synthesis)));
            runs.append(run);
        }
        WriteJson(out, QJsonObject{{"format", kDataFormat}, {"runs", runs}});
    } else {
        for (const report::BestDeltaRun& f : found) {
            WriteText(out, f);
            if (synthesis) out << "Rekonstruktion: " << SynthesisName(*synthesis) << '\n';
        }
    }
}

}  // namespace

int RunBestDelta(const QStringList& args, Context& context) {
    CommandLine line(
        QStringLiteral("best-delta"),
        QStringLiteral("BILD... --bpp B [--rule flat|norm] [--synthesis ART] [--steps N] [--fit] [--progress] "
                       "[--json]"),
        QStringLiteral("Das Delta mit der höchsten psnr_exact bei B bit/Pixel (Positionen 0 bis 100, "
                       "dann ein Goldener Schnitt zwischen den Nachbarn der besten auf 0,001), "
                       "daneben Delta 0 und der Vorschlag von \"Calc Delta\"."));
    AddOptions(line);
    if (!line.Parse(args, context.out, 1, 10000)) return kExitOk;
    if (!line.Has(QStringLiteral("bpp"))) throw UsageError(QStringLiteral("Es fehlt --bpp."));
    const double bpp = ParseRate(line.Value(QStringLiteral("bpp")));
    const QString ruleText =
        line.Has(QStringLiteral("rule")) ? line.Value(QStringLiteral("rule")) : QStringLiteral("flat");
    if (ruleText != QLatin1String("flat") && ruleText != QLatin1String("norm"))
        throw UsageError(QStringLiteral("--rule nimmt hier flat oder norm."));
    const int steps = line.Has(QStringLiteral("steps")) ? ParseSteps(line.Value(QStringLiteral("steps"))) : 5;
    // Named in the output only when asked for, so runs without it keep their bytes.
    std::optional<Synthesis> synthesis;
    if (line.Has(QStringLiteral("synthesis")))
        synthesis = ParseSynthesisOption(line.Value(QStringLiteral("synthesis")));

    const QStringList pictures = line.Positional();
    Progress progress(context.err, ChooseProgress(context.progress, line.Has(QStringLiteral("progress"))),
                      static_cast<long long>(pictures.size()) * analysis::BestDeltaEvaluations());
    // The Deltas run side by side, each transform on one thread.
    const int threadsBefore = TransformThreads();
    SetTransformThreads(1);
    struct RestoreThreads {
        int threads;
        ~RestoreThreads() { SetTransformThreads(threads); }
    } restore{threadsBefore};
    std::vector<report::BestDeltaRun> found;
    for (const QString& picture : pictures) {
        const analysis::RedPicture red = report::RedBytes(LoadUsable(picture, line.Has(QStringLiteral("fit"))));
        const int pictureLevel = analysis::PictureLevelOf(red.width);
        report::BestDeltaRun f{picture, red.width, red.height, pictureLevel, std::max(2, pictureLevel - steps),
                               bpp,     ruleText,  {}};
        analysis::BestDeltaRequest request;
        request.bpp = bpp;
        request.rule = ruleText == QLatin1String("norm") ? analysis::RuleKind::Norm : analysis::RuleKind::Flat;
        request.level = f.level;
        request.synthesis = synthesis.value_or(Synthesis::Specified);
        request.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        long long before = 0;
        f.best = analysis::FindBestDeltaFor(red, request, [&](int done, int) {
            progress.Advance(done - before);
            before = done;
        });
        found.push_back(f);
    }
    progress.Finish();
    WriteRuns(context.out, found, synthesis, line.Json());
    return kExitOk;
}

}  // namespace tesora::cli
