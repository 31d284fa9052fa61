#include "cli/Compression.h"

#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIdentity.h"
#include "cli/Road.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "mra/Lifting.h"
#include "blac/DeltaControl.h"
#include "report/DataText.h"
#include "mra/Rendering.h"

namespace tesora::cli {

using report::CompressResult;
using report::CompressSettings;

namespace {

// The pictures a compress writes, as the windows show them, from the one decomposition
// that painted `painter`'s main picture: the reduced window at the level, the main
// picture after the rule zeroed and marked a copy of the coefficients, and again after
// the track bar went back up (by the specified synthesis, as the window reconstructs).
void PaintPictures(const CompressSettings& settings, analysis::PictureAnalysis& analysis, const CompressResult& result,
                   MemoryFrontend& painter, OutputFiles& outputs) {
    analysis::Coefficients square = analysis.Decomposed();
    if (!settings.approximation.isEmpty()) {
        // At the picture's own level the track bar does not move: the window keeps the picture.
        if (square.level < square.pictureLevel) {
            const analysis::RedPicture& picture = analysis.Picture();
            RenderWorkspace workspace;
            RenderApproximation(
                {square.View(), analysis.FiltersInUse().delta, square.level, picture.width, picture.height},
                painter.reduced, workspace);
        }
        outputs.AddPicture(settings.approximation, SurfaceImage(painter.reduced));
    }
    if (settings.coefficients.isEmpty() && settings.reconstruction.isEmpty()) return;
    const analysis::Layout& layout = analysis.LayoutInUse();
    const analysis::Norms* norms = settings.rule.kind == analysis::RuleKind::Norm ? &analysis.NormsInUse() : nullptr;
    if (result.epsilon || !result.levelEpsilons.empty()) {
        analysis::Rule rule;
        rule.kind = settings.rule.kind;
        rule.epsilon = result.epsilon.value_or(0.0);
        rule.epsilons = result.levelEpsilons;
        analysis::ApplyRule(square.View(), layout, rule, norms, &painter.bild);
    }
    if (result.quantise) analysis::Quantise(square.View(), layout, *result.quantise, norms);
    if (!settings.coefficients.isEmpty()) outputs.AddPicture(settings.coefficients, SurfaceImage(painter.bild));
    if (settings.reconstruction.isEmpty()) return;
    TransformWorkspace workspace;
    analysis::Reconstruct(square, analysis.FiltersInUse(), square.pictureLevel, workspace, &painter);
    outputs.AddPicture(settings.reconstruction, SurfaceImage(painter.bild));
}

}  // namespace

int LevelFor(const CompressSettings& settings, int width, const QString& picture) {
    const int own = analysis::PictureLevelOf(width);
    if (settings.steps) {
        if (own - *settings.steps < 2)
            throw UsageError(
                QStringLiteral("--steps %1: das Bild \"%2\" hat Level %3 und erlaubt höchstens %4 Schritte.")
                    .arg(*settings.steps)
                    .arg(picture)
                    .arg(own)
                    .arg(std::max(0, own - 2)));
    } else if (settings.level > own) {
        throw UsageError(QStringLiteral("--level %1 liegt über dem Level %2 des Bildes \"%3\".")
                             .arg(settings.level)
                             .arg(own)
                             .arg(picture));
    }
    const int level = settings.steps ? own - *settings.steps : settings.level;
    const analysis::RuleAsked asked{settings.rule.kind, false, false, settings.rule.epsilons.size(), false};
    if (analysis::CheckRule(asked, own - level) == analysis::RuleProblem::WrongListLength)
        throw UsageError(QStringLiteral("--rule levels: braucht für \"%1\" %2 Epsilon (eins je Level von %3 bis %4).")
                             .arg(picture)
                             .arg(own - level)
                             .arg(level)
                             .arg(own - 1));
    return level;
}

CompressResult Compress(const QString& picture, const CompressSettings& asked, OutputFiles& outputs) {
    const QImage opened = LoadUsable(picture, asked.fit);
    CompressSettings settings = asked;
    settings.level = LevelFor(settings, opened.width(), picture);
    const double delta = settings.position ? DeltaFromPosition(*settings.position) : settings.rawDelta.value_or(0.0);
    const analysis::RedPicture red = report::RedBytes(opened);
    // The pictures asked for are painted by the one decomposition, as the track bar paints.
    const bool pictures =
        !settings.approximation.isEmpty() || !settings.coefficients.isEmpty() || !settings.reconstruction.isEmpty();
    MemoryFrontend painter;
    if (pictures) {
        CopyToSurface(opened, painter.bild);
        painter.reduced = painter.bild;
    }
    analysis::AnalysisOptions options;
    options.basis = settings.basis;
    options.padding = settings.mirror ? analysis::Padding::Mirror : analysis::Padding::Zero;
    options.painter = pictures ? &painter : nullptr;
    analysis::PictureAnalysis analysis(red, delta, settings.level, nullptr, nullptr, settings.synthesis, options);
    const report::RowAsked row{settings.epsilon, settings.zeros};
    CompressResult result =
        report::AnalyseRow(analysis, report::BaseResult(picture, analysis, settings), settings, row, true);
    if (pictures) PaintPictures(settings, analysis, result, painter, outputs);
    return result;
}

void AddMeasureOptions(CommandLine& line, bool lists) {
    // A sweep takes lists of steps and rates, one row each.
    const char* quantise = lists ? "Stufen Q1,Q2,...: quantisieren wie compress --quantise; eine Zeile je Stufe."
                                 : "Behaltene Koeffizienten auf ganze Vielfache von Q quantisieren; gibt entropy_bpp.";
    const char* bpp = lists ? "Statt --quantise: Raten B1,B2,... in bit/Pixel wie compress --bpp; eine Zeile je Rate."
                            : "Statt Q: die Stufe, mit der entropy_bpp höchstens B bit/Pixel wird (Bisektion auf Q in "
                              "40 Schritten).";
    AddValueOptions(
        line,
        {{"steps", "N", "N Level unter dem Level jedes Bildes zerlegen (statt --level)."},
         {"rule", "REGEL",
          "Schwellwertregel: flat (Vorgabe, wie \"Reduce\"), norm (Koeffizient mal L2-Norm seiner Basisfunktion) "
          "oder levels:E1,E2,... (ein Epsilon je Level, gröbster zuerst)."},
         {"quantise", lists ? "LISTE" : "Q", quantise},
         {"synthesis", "ART",
          "Rekonstruktion: specified (Vorgabe, wie das Fenster) oder exact (die genaue Umkehrung der Zerlegung)."},
         {"bpp", lists ? "LISTE" : "B", bpp},
         {"padding", "RAND",
          "zero (Vorgabe, wie das Fenster) oder mirror: die Matrix jenseits des Bildes mit dem gespiegelten Bild "
          "füllen (nur BLaC)."}});
}

// --basis NAME: blac or a lifting basis.
Basis ParseBasisOption(const QString& text, const QString& option) {
    const std::optional<Basis> basis = ParseBasis(text.toStdString());
    if (!basis)
        throw UsageError(QStringLiteral("%1 nimmt blac, haar, cdf53 oder cdf97, nicht \"%2\".").arg(option, text));
    return *basis;
}

namespace {

void AddCompressOptions(CommandLine& line) {
    AddValueOptions(line, {{"level", "L", "Level, auf den zerlegt wird (2 bis Level des Bildes)."},
                           {"position", "P", "Position der Delta-Scroll-Leiste, 0 bis 100 (Delta = P x 0.01)."},
                           {"delta", "D", "Delta direkt, 0 bis 1."},
                           {"epsilon", "E", "Epsilon wie im Eingabefeld; ohne diese Option kein \"Reduce\"."}});
    AddMeasureOptions(line);
    AddValueOptions(
        line,
        {{"zeros", "P", "Statt Epsilon: kleinster Schwellwert mit mindestens P % eigenen Nullkoeffs (0 < P <= 100)."},
         {"approximation", "DATEI", "Das reduzierte Bild auf Level L, wie \"Speichern\" es schreibt (.bmp/.png)."},
         {"coefficients", "DATEI", "Das Hauptbild nach \"Reduce\", mit roten Markierungen."},
         {"reconstruction", "DATEI", "Das Hauptbild nach der Rekonstruktion."},
         {"basis", "BASIS", "blac (Vorgabe), haar, cdf53 oder cdf97: die Wavelets der Zerlegung."}});
    AddFitOption(line);
}

}  // namespace

int RunCompress(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("compress"),
                     QStringLiteral("BILD (--level L | --steps N) [--position P | --delta D] [--epsilon E | --zeros P] "
                                    "[--rule REGEL] [--quantise Q | --bpp B] [--basis BASIS] [--padding RAND] "
                                    "[--synthesis ART] "
                                    "[--approximation DATEI] [--coefficients DATEI] "
                                    "[--reconstruction DATEI] [--fit] [--json]"),
                     QStringLiteral("Öffnet das Bild (\"-\": von der Standardeingabe), setzt Delta, zieht "
                                    "den Level-Regler auf L, drückt \"Reduce\" (mit --epsilon), zieht den "
                                    "Regler zurück und drückt \"Fehler?\"."));
    AddCompressOptions(line);
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;

    CompressSettings settings = ReadCompressSettings(line, true, context);
    const QString picture = line.Positional().constFirst();
    OutputFiles outputs;
    const CompressResult result = Compress(picture, settings, outputs);
    outputs.WriteAll();
    if (line.Json()) {
        QJsonObject document = report::ToJson(result);
        document.insert(QStringLiteral("format"), report::kDataFormat);
        WriteJson(context.out, document);
    } else {
        context.out << report::ToText(result);
    }
    return kExitOk;
}

namespace {

// The rule's options against each other (--epsilon or a sweep's --epsilons, --zeros).
void CheckRuleOptions(const CommandLine& line, bool single, CompressSettings& settings) {
    // A sweep's --epsilons list counts as Epsilon here; the levels rule's list came with --rule.
    // Only sweep has --epsilons; asking the parser about an option it lacks warns.
    const bool epsilons = !single && line.Has(QStringLiteral("epsilons"));
    analysis::RuleAsked asked{settings.rule.kind, line.Has(QStringLiteral("epsilon")) || epsilons,
                              line.Has(QStringLiteral("zeros")), std::nullopt, false};
    if (settings.rule.kind == analysis::RuleKind::Levels) asked.epsilons = settings.rule.epsilons.size();
    switch (analysis::CheckRule(asked, std::nullopt)) {
        case analysis::RuleProblem::LevelsWithEpsilon:
            throw UsageError(
                QStringLiteral("--rule levels: bringt seine Epsilon mit; --epsilon nicht zusätzlich angeben."));
        case analysis::RuleProblem::LevelsWithZeros:
            throw UsageError(QStringLiteral("--zeros geht nur mit den Regeln flat und norm."));
        case analysis::RuleProblem::EpsilonAndZeros:
            throw UsageError(QStringLiteral("Nur eine der Optionen --epsilon und --zeros angeben."));
        default: break;
    }
    if (asked.zeros && single) settings.zeros = ParseZeros(line.Value(QStringLiteral("zeros")), false).front();
}

// Delta, the basis, the padding and the picture files of one compress.
void ReadSingleOptions(const CommandLine& line, CompressSettings& settings) {
    if (line.Has(QStringLiteral("basis")))
        settings.basis = ParseBasisOption(line.Value(QStringLiteral("basis")), QStringLiteral("--basis"));
    if (settings.basis != Basis::Blac) {
        // Delta, the padding, the synthesis and the window's pictures belong to BLaC.
        for (const char* option : {"position", "delta", "synthesis", "approximation", "coefficients", "reconstruction"})
            if (line.Has(QString::fromLatin1(option)))
                throw UsageError(QStringLiteral("--%1 gehört zu BLaC, nicht zu --basis %2.")
                                     .arg(QString::fromLatin1(option), line.Value(QStringLiteral("basis"))));
        if (settings.mirror) throw UsageError(QStringLiteral("--padding mirror gehört zu BLaC."));
    }
    if (settings.mirror)
        for (const char* option : {"approximation", "coefficients", "reconstruction"})
            if (line.Has(QString::fromLatin1(option)))
                throw UsageError(QStringLiteral("--%1 zeigt das Fenster, das mit Nullen auffüllt: nicht mit "
                                                "--padding mirror.")
                                     .arg(QString::fromLatin1(option)));
    if (line.Has(QStringLiteral("position")) && line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --position und --delta angeben."));
    if (line.Has(QStringLiteral("position"))) settings.position = ParsePosition(line.Value(QStringLiteral("position")));
    if (line.Has(QStringLiteral("delta"))) settings.rawDelta = ParseDelta(line.Value(QStringLiteral("delta")));
    const struct {
        const char* option;
        QString* path;
    } files[] = {{"approximation", &settings.approximation},
                 {"coefficients", &settings.coefficients},
                 {"reconstruction", &settings.reconstruction}};
    for (const auto& file : files) {
        const QString option = QString::fromLatin1(file.option);
        if (!line.Has(option)) continue;
        *file.path = line.Value(option);
        PictureFormatFor(*file.path, "--" + option);
    }
    CheckOutputsApart(line.Positional(), {{QStringLiteral("--approximation"), settings.approximation},
                                          {QStringLiteral("--coefficients"), settings.coefficients},
                                          {QStringLiteral("--reconstruction"), settings.reconstruction}});
    // Usage first, then the file system: exit status 2 wins over 1.
    for (const auto& file : files)
        if (!file.path->isEmpty()) CheckWritable(*file.path);
}

}  // namespace

CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context) {
    const bool steps = line.Has(QStringLiteral("steps"));
    if (steps && line.Has(QStringLiteral("level")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --level und --steps angeben."));
    if (!steps && !line.Has(QStringLiteral("level"))) throw UsageError(QStringLiteral("Die Option --level fehlt."));
    CompressSettings settings;
    if (steps)
        settings.steps = ParseSteps(line.Value(QStringLiteral("steps")));
    else
        settings.level = ParseLevel(line.Value(QStringLiteral("level")));
    if (line.Has(QStringLiteral("rule"))) settings.rule = ParseRule(line.Value(QStringLiteral("rule")));
    if (line.Has(QStringLiteral("quantise")) && line.Has(QStringLiteral("bpp")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --quantise und --bpp angeben."));
    // A sweep takes lists of both.
    if (single && line.Has(QStringLiteral("quantise")))
        settings.quantise = ParseQuantise(line.Value(QStringLiteral("quantise")));
    if (single && line.Has(QStringLiteral("bpp"))) settings.bpp = ParseRate(line.Value(QStringLiteral("bpp")));
    if (line.Has(QStringLiteral("padding"))) {
        const QString padding = line.Value(QStringLiteral("padding"));
        if (padding != QLatin1String("zero") && padding != QLatin1String("mirror"))
            throw UsageError(QStringLiteral("--padding nimmt zero oder mirror, nicht \"%1\".").arg(padding));
        settings.mirror = padding == QLatin1String("mirror");
    }
    if (line.Has(QStringLiteral("synthesis")))
        settings.synthesis = ParseSynthesisOption(line.Value(QStringLiteral("synthesis")));
    CheckRuleOptions(line, single, settings);
    settings.fit = line.Has(QStringLiteral("fit"));
    if (line.Has(QStringLiteral("epsilon"))) {
        QString warning;
        settings.epsilon = CheckEpsilonText(line.Value(QStringLiteral("epsilon")), &warning);
        if (!warning.isEmpty()) context.warnings << warning;
    }
    if (single) ReadSingleOptions(line, settings);
    return settings;
}

}  // namespace tesora::cli
