#include "cli/Compression.h"

#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <vector>

#include "blac/Bank.h"
#include "blac/State.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIdentity.h"
#include "cli/Road.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "mra/Lifting.h"
#include "blac/DeltaControl.h"
#include "report/DataText.h"
#include "tools/Reduction.h"

namespace tesora::cli {

using report::AnalyseRow;
using report::BaseResult;
using report::CompressResult;
using report::CompressSettings;
using report::MeasureQuality;
using report::OwnZeros;
using report::RedBytes;
using report::RowAsked;
using report::ToJson;
using report::ToText;
using report::kDataFormat;

namespace {

// Where index c = 0 ... 2n of a coefficient made by the step to level k (n = 2^k)
// stands on the finest grid: smoothing value c at c * 2^(L-k), detail m = c - n - 1 at
// the middle of its wavelet, fine point 2m + 1 of level k + 1.
std::vector<long long> GridPoints(int k) {
    const int n = Pow2Int[k];
    std::vector<long long> points(static_cast<std::size_t>(2 * n + 1));
    for (int c = 0; c <= 2 * n; ++c)
        points[static_cast<std::size_t>(c)] = c <= n ? static_cast<long long>(c) << (PictureLevel - k)
                                                     : static_cast<long long>(2 * (c - n - 1) + 1)
                                                           << (PictureLevel - k - 1);
    return points;
}

}  // namespace

OwnZeros CountOwnZeros() {
    OwnZeros own;
    const double* elements = CoeffMatrix.Data();
    const auto stride = static_cast<std::size_t>(CoeffMatrix.Cols());
    // Band k: what the step from level k + 1 to k made, the block of 2n + 1 minus the
    // n + 1 square of the next coarser step.
    for (int k = CurrentLevel; k < PictureLevel; ++k) {
        const int n = Pow2Int[k];
        const std::vector<long long> at = GridPoints(k);
        for (int i = 0; i <= 2 * n; ++i) {
            if (at[static_cast<std::size_t>(i)] >= PictureWidth) continue;
            const double* row = elements + static_cast<std::size_t>(i) * stride;
            for (int j = (i <= n ? n + 1 : 0); j <= 2 * n; ++j) {
                if (at[static_cast<std::size_t>(j)] >= PictureHeight) continue;
                ++own.details;
                own.zeros += row[j] == 0.0;
            }
        }
    }
    return own;
}

Decomposition::Decomposition(const QString& picture, const CompressSettings& settings, OutputFiles& outputs,
                             int reductions, const QImage& opened)
    : road_(picture, opened, settings.fit) {
    if (settings.level > PictureLevel)
        throw UsageError(QStringLiteral("--level %1 liegt über dem Level %2 des Bildes \"%3\".")
                             .arg(settings.level).arg(PictureLevel).arg(picture));
    base_.picture = picture;
    base_.width = PictureWidth;
    base_.height = PictureHeight;
    base_.pictureLevel = PictureLevel;
    base_.level = settings.level;
    base_.transformedRows = std::min(PictureHeight, Pow2Int[PictureLevel] + 1);
    base_.position = settings.position;

    if (settings.position) road_.SetDeltaPosition(*settings.position);
    if (settings.rawDelta) road_.SetRawDelta(*settings.rawDelta);
    // Until "Fehler?" reads the picture into it again, the reduced-picture window is
    // seen only through the approximation file.
    road_.Frontend().reducedWatched = !settings.approximation.isEmpty();
    road_.MoveTrackBar(settings.level);
    // "Speichern" now would write the reduced-picture window.
    if (!settings.approximation.isEmpty()) outputs.AddPicture(settings.approximation, road_.ReducedPicture());
    road_.Frontend().reducedWatched = false;
    if (reductions > 1) decomposed_ = road_.Take();
    // Several reductions would read the same bytes again for each "Fehler?".
    if (reductions > 1 || !opened.isNull()) road_.CompareWithOpenedPicture();
}

CompressResult Decomposition::Finish(const std::optional<QString>& epsilon, const CompressSettings& settings,
                                     OutputFiles& outputs) {
    if (finished_++ > 0) {
        if (!decomposed_) throw Error("Die Zerlegung ist schon verbraucht.");
        road_.Restore(*decomposed_);
    }
    CompressResult result = base_;
    if (epsilon) {
        road_.SetEpsilonText(*epsilon);
        result.epsilon = Epsilon;
        result.zeroCount = road_.PressReduce();
        result.zeroShare = ReductionShare(result.zeroCount);
    }
    result.own = CountOwnZeros();
    if (!settings.coefficients.isEmpty()) outputs.AddPicture(settings.coefficients, road_.MainPicture());
    road_.MoveTrackBar(PictureLevel);
    if (!settings.reconstruction.isEmpty()) outputs.AddPicture(settings.reconstruction, road_.MainPicture());
    result.meanError = road_.PressFehler();

    result.delta = Delta;
    result.schranke = Schranke;
    // "Fehler?" has just read the picture again into the reduced picture.
    result.quality = MeasureQuality(road_.MainPicture(), road_.ReducedPicture(), PictureWidth, result.transformedRows);
    const MemoryFrontend& frontend = road_.Frontend();
    result.labProzent = frontend.Text(Label::Prozent);
    result.labFehler = frontend.Text(Label::Fehler);
    result.labDelta = frontend.Text(Label::Delta);
    result.labLevel = frontend.Text(Label::Level);
    return result;
}

void Decomposition::FinishWith(const std::function<int(const MatrixView&, PictureSurface&)>& reduce,
                               const CompressSettings& settings, OutputFiles& outputs) {
    const int count = reduce(WorkingMatrix(), road_.Frontend().bild);
    road_.Frontend().SetLabel(Label::Prozent, FormatShare(ReductionShare(count)));
    if (!settings.coefficients.isEmpty()) outputs.AddPicture(settings.coefficients, road_.MainPicture());
    road_.MoveTrackBar(PictureLevel);
    if (!settings.reconstruction.isEmpty()) outputs.AddPicture(settings.reconstruction, road_.MainPicture());
}

int LevelFor(const CompressSettings& settings, int width, const QString& picture) {
    const int own = analysis::PictureLevelOf(width);
    if (settings.steps) {
        if (own - *settings.steps < 2)
            throw UsageError(QStringLiteral("--steps %1: das Bild \"%2\" hat Level %3 und erlaubt höchstens %4 Schritte.")
                                 .arg(*settings.steps).arg(picture).arg(own).arg(std::max(0, own - 2)));
    } else if (settings.level > own) {
        throw UsageError(QStringLiteral("--level %1 liegt über dem Level %2 des Bildes \"%3\".")
                             .arg(settings.level).arg(own).arg(picture));
    }
    const int level = settings.steps ? own - *settings.steps : settings.level;
    if (settings.rule.kind == 2 && settings.rule.epsilons.size() != static_cast<std::size_t>(own - level))
        throw UsageError(QStringLiteral("--rule levels: braucht für \"%1\" %2 Epsilon (eins je Level von %3 bis %4).")
                             .arg(picture).arg(own - level).arg(level).arg(own - 1));
    return level;
}

CompressResult Compress(const QString& picture, const CompressSettings& asked, OutputFiles& outputs) {
    const QImage opened = LoadUsable(picture, asked.fit);
    CompressSettings settings = asked;
    settings.level = LevelFor(settings, opened.width(), picture);
    const double delta = settings.position ? DeltaFromPosition(*settings.position) : settings.rawDelta.value_or(0.0);
    const analysis::RedPicture red = RedBytes(opened);
    analysis::AnalysisOptions options;
    options.basis = static_cast<Basis>(settings.basis);
    options.padding = settings.mirror ? analysis::Padding::Mirror : analysis::Padding::Zero;
    analysis::PictureAnalysis analysis(red, delta, settings.level, nullptr, nullptr, options);
    const RowAsked row{settings.epsilon, settings.zeros};
    CompressResult result = AnalyseRow(analysis, BaseResult(picture, analysis, settings), settings, row, true);

    // The pictures come from the window's road, with the same rule and Epsilon.
    if (settings.approximation.isEmpty() && settings.coefficients.isEmpty() && settings.reconstruction.isEmpty())
        return result;
    Decomposition road(picture, settings, outputs, 1, opened);
    const bool flat = settings.rule.kind == 0 && !settings.zeros && !result.quantise;
    if (flat) {
        road.Finish(settings.epsilon, settings, outputs);
        return result;
    }
    road.FinishWith(
        [&](const MatrixView& matrix, PictureSurface& bild) {
            const analysis::Layout& layout = analysis.LayoutInUse();
            const analysis::Norms* norms = settings.rule.kind == 1 ? &analysis.NormsInUse() : nullptr;
            int count = 0;
            if (result.epsilon || !result.levelEpsilons.empty()) {
                analysis::Rule rule;
                rule.kind = static_cast<analysis::RuleKind>(settings.rule.kind);
                rule.epsilon = result.epsilon.value_or(0.0);
                rule.epsilons = result.levelEpsilons;
                count = analysis::ApplyRule(matrix, layout, rule, norms, &bild).zeroCount;
            }
            if (result.quantise) analysis::Quantise(matrix, layout, *result.quantise, norms);
            return count;
        },
        settings, outputs);
    return result;
}

void AddMeasureOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("steps"), QStringLiteral("N"),
                        QStringLiteral("N Level unter dem Level jedes Bildes zerlegen (statt --level)."));
    line.AddValueOption(QStringLiteral("rule"), QStringLiteral("REGEL"),
                        QStringLiteral("Schwellwertregel: flat (Vorgabe, wie \"Reduce\"), norm (Koeffizient mal "
                                       "L2-Norm seiner Basisfunktion) oder levels:E1,E2,... (ein Epsilon je Level, "
                                       "gröbster zuerst)."));
    line.AddValueOption(QStringLiteral("quantise"), QStringLiteral("Q"),
                        QStringLiteral("Behaltene Koeffizienten auf ganze Vielfache von Q quantisieren; gibt entropy_bpp."));
    line.AddValueOption(QStringLiteral("bpp"), QStringLiteral("B"),
                        QStringLiteral("Statt Q: die Stufe, mit der entropy_bpp höchstens B bit/Pixel wird "
                                       "(Bisektion auf Q in 40 Schritten)."));
    line.AddValueOption(QStringLiteral("padding"), QStringLiteral("RAND"),
                        QStringLiteral("zero (Vorgabe, wie das Fenster) oder mirror: die Matrix jenseits des Bildes "
                                       "mit dem gespiegelten Bild füllen (nur BLaC)."));
}

// --basis NAME: blac or a lifting basis.
int ParseBasis(const QString& text, const QString& option) {
    const std::optional<Basis> basis = tesora::ParseBasis(text.toStdString());
    if (!basis) throw UsageError(QStringLiteral("%1 nimmt blac, haar, cdf53 oder cdf97, nicht \"%2\".").arg(option, text));
    return static_cast<int>(*basis);
}

namespace {

void AddCompressOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("level"), QStringLiteral("L"),
                        QStringLiteral("Level, auf den zerlegt wird (2 bis Level des Bildes)."));
    line.AddValueOption(QStringLiteral("position"), QStringLiteral("P"),
                        QStringLiteral("Position der Delta-Scroll-Leiste, 0 bis 100 (Delta = P x 0.01)."));
    line.AddValueOption(QStringLiteral("delta"), QStringLiteral("D"),
                        QStringLiteral("Delta direkt, 0 bis 1."));
    line.AddValueOption(QStringLiteral("epsilon"), QStringLiteral("E"),
                        QStringLiteral("Epsilon wie im Eingabefeld; ohne diese Option kein \"Reduce\"."));
    AddMeasureOptions(line);
    line.AddValueOption(QStringLiteral("zeros"), QStringLiteral("P"),
                        QStringLiteral("Statt Epsilon: kleinster Schwellwert mit mindestens P % eigenen Nullkoeffs (0 < P <= 100)."));
    line.AddValueOption(QStringLiteral("approximation"), QStringLiteral("DATEI"),
                        QStringLiteral("Das reduzierte Bild auf Level L, wie \"Speichern\" es schreibt (.bmp/.png)."));
    line.AddValueOption(QStringLiteral("coefficients"), QStringLiteral("DATEI"),
                        QStringLiteral("Das Hauptbild nach \"Reduce\", mit roten Markierungen."));
    line.AddValueOption(QStringLiteral("reconstruction"), QStringLiteral("DATEI"),
                        QStringLiteral("Das Hauptbild nach der Rekonstruktion."));
    line.AddValueOption(QStringLiteral("basis"), QStringLiteral("BASIS"),
                        QStringLiteral("blac (Vorgabe), haar, cdf53 oder cdf97: die Wavelets der Zerlegung."));
    AddFitOption(line);
}

}  // namespace

int RunCompress(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("compress"),
                     QStringLiteral("BILD (--level L | --steps N) [--position P | --delta D] [--epsilon E | --zeros P] "
                                    "[--rule REGEL] [--quantise Q | --bpp B] [--basis BASIS] [--padding RAND] "
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
        QJsonObject document = ToJson(result);
        document.insert(QStringLiteral("format"), kDataFormat);
        WriteJson(context.out, document);
    } else {
        context.out << ToText(result);
    }
    return kExitOk;
}

CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context) {
    const bool steps = line.Has(QStringLiteral("steps"));
    if (steps && line.Has(QStringLiteral("level")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --level und --steps angeben."));
    if (!steps && !line.Has(QStringLiteral("level"))) throw UsageError(QStringLiteral("Die Option --level fehlt."));
    CompressSettings settings;
    if (steps) settings.steps = ParseSteps(line.Value(QStringLiteral("steps")));
    else settings.level = ParseLevel(line.Value(QStringLiteral("level")));
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
    const bool levels = settings.rule.kind == 2;
    if (levels && (line.Has(QStringLiteral("epsilon")) || line.Has(QStringLiteral("epsilons"))))
        throw UsageError(QStringLiteral("--rule levels: bringt seine Epsilon mit; --epsilon nicht zusätzlich angeben."));
    if (line.Has(QStringLiteral("zeros"))) {
        if (levels) throw UsageError(QStringLiteral("--zeros geht nur mit den Regeln flat und norm."));
        if (line.Has(QStringLiteral("epsilon")) || line.Has(QStringLiteral("epsilons")))
            throw UsageError(QStringLiteral("Nur eine der Optionen --epsilon und --zeros angeben."));
        if (single) settings.zeros = ParseZeros(line.Value(QStringLiteral("zeros")), false).front();
    }
    settings.fit = line.Has(QStringLiteral("fit"));
    if (line.Has(QStringLiteral("epsilon"))) {
        QString warning;
        settings.epsilon = CheckEpsilonText(line.Value(QStringLiteral("epsilon")), &warning);
        if (!warning.isEmpty()) context.warnings << warning;
    }
    if (!single) return settings;
    if (line.Has(QStringLiteral("basis"))) settings.basis = ParseBasis(line.Value(QStringLiteral("basis")), "--basis");
    if (settings.basis != 0) {
        // Delta, the padding and the window's pictures belong to BLaC.
        for (const char* option : {"position", "delta", "approximation", "coefficients", "reconstruction"})
            if (line.Has(QString::fromLatin1(option)))
                throw UsageError(QStringLiteral("--%1 gehört zu BLaC, nicht zu --basis %2.")
                                     .arg(QString::fromLatin1(option), line.Value(QStringLiteral("basis"))));
        if (settings.mirror) throw UsageError(QStringLiteral("--padding mirror gehört zu BLaC."));
    }
    if (settings.mirror)
        for (const char* option : {"approximation", "coefficients", "reconstruction"})
            if (line.Has(QString::fromLatin1(option)))
                throw UsageError(QStringLiteral("--%1 zeigt das Fenster, das mit Nullen auffüllt: nicht mit "
                                                "--padding mirror.").arg(QString::fromLatin1(option)));
    if (line.Has(QStringLiteral("position")) && line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --position und --delta angeben."));
    if (line.Has(QStringLiteral("position")))
        settings.position = ParsePosition(line.Value(QStringLiteral("position")));
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
    return settings;
}

}  // namespace tesora::cli
