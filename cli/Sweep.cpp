// "sweep": compress for every picture, scroll position (or basis), Epsilon and rate, one
// CSV row each, and a rate-distortion plot. A picture and position is decomposed once and
// serves every Epsilon and rate; the pairs run in worker processes.
#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <exception>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/Road.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Plotting.h"
#include "cli/Progress.h"
#include "cli/StandardInput.h"
#include "cli/SweepTable.h"
#include "cli/Workers.h"
#include "blac/DeltaControl.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "report/DataText.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::AnalyseRow;
using report::BaseResult;
using report::CompressResult;
using report::CompressSettings;
using report::kDataFormat;
using report::RedBytes;
using report::RowAsked;
using report::ToJson;

namespace {

// One curve of a picture: BLaC at one Delta, or a standard basis.
struct SweepCurve {
    Basis basis = Basis::Blac;
    std::optional<int> position;  // BLaC from the scroll bar, or
    double delta = 0.0;           // a Delta given directly
};

// One rate of a row: a quantiser step, a target rate, or neither.
struct SweepRate {
    std::optional<double> quantise, bpp;
};

struct SweepOptions {
    CompressSettings settings;
    QStringList pictures;
    std::vector<SweepCurve> curves;  // per picture, in this order
    QStringList epsilons;            // the Epsilon texts, as the box gets them
    std::vector<double> zeros;       // --zeros: targets in place of Epsilons
    std::vector<SweepRate> rates{SweepRate{}};
    bool withRates = false;  // the table's rate and basis columns
    int jobs = 1;
    QString csv;        // "-": standard output
    QStringList plots;  // one file each, the format by its extension
    PlotOptions plot;
    bool json = false, progress = false;
};

// The picture this process read last. The pairs of one picture follow each other, so a
// process reads each picture about once instead of once per position.
class PictureCache {
public:
    explicit PictureCache(bool fit) : fit_(fit) {}
    const QImage& Open(const QString& path) {
        if (image_.isNull() || path_ != path) {
            image_ = QImage();  // the old picture's memory goes before the new one comes
            red_ = {};
            layout_.reset();
            columns_.reset();
            image_ = LoadUsable(path, fit_);
            red_ = RedBytes(image_);
            path_ = path;
        }
        return image_;
    }
    const analysis::RedPicture& Red(const QString& path) {
        Open(path);
        return red_;
    }
    // What every Delta of the picture shares: its bytes by columns, the layout of a level.
    std::shared_ptr<const analysis::Layout>& Layout() { return layout_; }
    std::shared_ptr<const std::vector<std::uint8_t>>& Columns() { return columns_; }

private:
    bool fit_;
    QString path_;
    QImage image_;
    analysis::RedPicture red_;
    std::shared_ptr<const analysis::Layout> layout_;
    std::shared_ptr<const std::vector<std::uint8_t>> columns_;
};

// Far beyond any table a plot can show; keeps every count of pairs and rows inside an int.
constexpr long long kMaxSweepRows = 10'000'000;

int CurveCount(const SweepOptions& options) { return static_cast<int>(options.curves.size()); }

// A pair gives one row per Epsilon (or target) and rate.
long long RowsPerPair(const SweepOptions& options) {
    const qsizetype asked =
        options.zeros.empty() ? options.epsilons.size() : static_cast<qsizetype>(options.zeros.size());
    return static_cast<long long>(std::max<qsizetype>(1, asked)) * static_cast<long long>(options.rates.size());
}

// The rows of one picture x curve: its Epsilons (or targets) in order, each at every rate.
std::vector<CompressResult> RowsOfPair(const SweepOptions& options, analysis::PictureAnalysis& analysis,
                                       const QString& picture, const CompressSettings& curveSettings) {
    std::vector<RowAsked> asked;
    for (double zeros : options.zeros) asked.push_back({std::nullopt, zeros});
    for (const QString& epsilon : options.epsilons)
        if (options.zeros.empty()) asked.push_back({epsilon, std::nullopt});
    if (asked.empty()) asked.emplace_back();
    std::vector<CompressResult> rows;
    for (const RowAsked& row : asked)
        for (const SweepRate& rate : options.rates) {
            CompressSettings settings = curveSettings;
            settings.quantise = rate.quantise;
            settings.bpp = rate.bpp;
            // Only JSON shows the bands.
            rows.push_back(AnalyseRow(analysis, BaseResult(picture, analysis, settings), settings, row, options.json));
        }
    return rows;
}

// One picture at one Delta or basis: decomposed once, its floor measured once, then its
// rows, each on a copy of the decomposition.
QByteArray RunPair(const SweepOptions& options, int pair, PictureCache& cache) {
    const int count = CurveCount(options);
    const SweepCurve& curve = options.curves[static_cast<std::size_t>(pair % count)];
    CompressSettings settings = options.settings;
    settings.position = curve.position;
    const double delta = curve.position ? DeltaFromPosition(*curve.position) : curve.delta;
    const QString& picture = options.pictures[pair / count];
    const analysis::RedPicture& red = cache.Red(picture);
    const int level = LevelFor(settings, red.width, picture);
    const bool blac = curve.basis == Basis::Blac;
    analysis::AnalysisOptions analysisOptions;
    analysisOptions.basis = curve.basis;
    // The synthesis and the padding are BLaC's; a standard basis's rows show the defaults.
    if (blac && settings.mirror) analysisOptions.padding = analysis::Padding::Mirror;
    analysis::PictureAnalysis analysis(red, delta, level, blac ? cache.Layout() : nullptr, cache.Columns(),
                                       blac ? settings.synthesis : Synthesis::Specified, analysisOptions);
    if (blac) cache.Layout() = analysis.SharedLayout();
    cache.Columns() = analysis.SharedColumns();
    return PackRows(RowsOfPair(options, analysis, picture, settings));
}

std::vector<CompressResult> RunRows(const SweepOptions& options, Context& context) {
    // Every pair allocates and frees pictures, surfaces and a copy of the coefficients
    // of megabytes. Kept in the heap once freed, the next pair reuses their pages instead
    // of mapping fresh ones, whose first touch costs more than the work on them.
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    const int pairs = static_cast<int>(options.pictures.size()) * CurveCount(options);
    if (options.pictures.contains(QStringLiteral("-"))) StandardInputBytes();  // once, before the workers
    const long long rowsPerPair = RowsPerPair(options);
    Progress progress(context.err, ChooseProgress(context.progress, options.progress), pairs * rowsPerPair);
    const auto done = [&](int) { progress.Advance(rowsPerPair); };
    PictureCache cache(options.settings.fit);
    const int workers = std::min(options.jobs, pairs);
    if (workers > 1) {
        // Read here, the first picture reaches every worker without being read again. A
        // failure is left to the first task, which reports it in its place.
        try {
            cache.Open(options.pictures.constFirst());
        } catch (const std::exception&) {
        }
    }
    // --jobs counts the cores the run may use: the workers share them, and a worker's
    // transform runs on its share.
    const int threadsBefore = TransformThreads();
    SetTransformThreads(std::max(1, options.jobs / std::max(1, workers)));
    struct RestoreThreads {
        int threads;
        ~RestoreThreads() { SetTransformThreads(threads); }
    } restoreThreads{threadsBefore};
    const std::vector<QByteArray> packed = RunTasks(
        pairs, options.jobs, [&](int pair) { return RunPair(options, pair, cache); }, done);
    progress.Finish();  // the closing lines start on a clean line
    std::vector<CompressResult> rows;
    for (const QByteArray& bytes : packed) UnpackRows(bytes, rows);
    return rows;
}

void AddSweepOptions(CommandLine& line) {
    const auto add = [&](const char* name, const char* value, const char* help) {
        line.AddValueOption(QString::fromLatin1(name), QString::fromLatin1(value), QString::fromUtf8(help));
    };
    add("level", "L", "Level, auf den zerlegt wird (2 bis Level des Bildes).");
    add("epsilon", "E", "Epsilon wie im Eingabefeld.");
    add("epsilons", "LISTE", "Mehrere Epsilon: E1,E2,... oder START:STOP:SCHRITT; eine Zeile je Epsilon.");
    add("positions", "VON:BIS:SCHRITT", "Positionen der Delta-Scroll-Leiste (Vorgabe 0:100:10).");
    add("deltas", "LISTE", "Delta-Werte D1,D2,... von 0 bis 1 statt der Positionen.");
    add("zeros", "LISTE", "Statt Epsilon: Ziele P1,P2,... in % eigener Nullkoeffs; eine Zeile je Ziel.");
    AddMeasureOptions(line, true);
    add("basis", "BASIS", "blac (Vorgabe), haar, cdf53 oder cdf97: die Wavelets der Zerlegung.");
    add("bases", "LISTE", "Statt --basis mehrere Basen B1,B2,...; blac mit jedem Delta, die anderen je einmal.");
    add("jobs", "N", "Zahl der Kerne, die der Lauf nutzt (Vorgabe: alle): je Kern ein Arbeitsprozess.");
    add("csv", "DATEI", "Die Tabelle als CSV-Datei (\"-\" oder ohne diese Option: Standardausgabe).");
    add("plot", "DATEI", "Das Diagramm als PNG, SVG oder PDF; mehrfach angegeben eine Datei je Angabe.");
    line.AllowRepeated(QStringLiteral("plot"));
    AddPlotOptions(line);
    line.AddFlag(QStringLiteral("progress"),
                 QStringLiteral("Fortschritt auch dann auf die Standardfehlerausgabe, wenn sie kein Terminal ist "
                                "(eine Zeile je 10 %)."));
    AddFitOption(line);
}

QStringList ReadEpsilons(const CommandLine& line, Context& context, const CompressSettings& settings) {
    const bool one = line.Has(QStringLiteral("epsilon")), many = line.Has(QStringLiteral("epsilons"));
    if (one && many) throw UsageError(QStringLiteral("Nur eine der Optionen --epsilon und --epsilons angeben."));
    // A target or the levels rule stands in for the Epsilon.
    if (line.Has(QStringLiteral("zeros")) || settings.rule.kind == analysis::RuleKind::Levels) return {};
    // With rates asked for, no Epsilon means no "Reduce", as in compress.
    if (!one && !many && !line.Has(QStringLiteral("quantise")) && !line.Has(QStringLiteral("bpp")))
        throw UsageError(QStringLiteral("Die Option --epsilon fehlt."));
    if (!one && !many) return {};
    if (one) return {*settings.epsilon};
    QStringList warnings;
    const QStringList epsilons = ParseEpsilonList(line.Value(QStringLiteral("epsilons")), &warnings);
    context.warnings << warnings;
    return epsilons;
}

std::vector<SweepRate> ReadRates(const CommandLine& line) {
    std::vector<SweepRate> rates;
    if (line.Has(QStringLiteral("quantise")))
        for (double q : ParseList(line.Value(QStringLiteral("quantise")), ParseQuantise)) rates.push_back({q, {}});
    if (line.Has(QStringLiteral("bpp")))
        for (double b : ParseList(line.Value(QStringLiteral("bpp")), ParseRate)) rates.push_back({{}, b});
    if (rates.empty()) rates.emplace_back();
    return rates;
}

// The bases in order; BLaC stands for every Delta of the positions or the list.
std::vector<SweepCurve> ReadCurves(const CommandLine& line, const CompressSettings& settings) {
    std::vector<Basis> bases{Basis::Blac};
    if (line.Has(QStringLiteral("basis")) && line.Has(QStringLiteral("bases")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --basis und --bases angeben."));
    if (line.Has(QStringLiteral("basis")))
        bases = {ParseBasisOption(line.Value(QStringLiteral("basis")), QStringLiteral("--basis"))};
    if (line.Has(QStringLiteral("bases"))) {
        bases.clear();
        for (const QString& name : line.Value(QStringLiteral("bases")).split(QLatin1Char(','))) {
            const Basis basis = ParseBasisOption(name.trimmed(), QStringLiteral("--bases"));
            if (std::find(bases.begin(), bases.end(), basis) != bases.end())
                throw UsageError(QStringLiteral("--bases nennt %1 zweimal.").arg(name.trimmed()));
            bases.push_back(basis);
        }
    }
    if (line.Has(QStringLiteral("deltas")) && line.Has(QStringLiteral("positions")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --positions und --deltas angeben."));
    if (std::find(bases.begin(), bases.end(), Basis::Blac) == bases.end()) {
        // Delta, the padding and the synthesis belong to BLaC.
        for (const char* option : {"positions", "deltas", "synthesis"})
            if (line.Has(QString::fromLatin1(option)))
                throw UsageError(QStringLiteral("--%1 gehört zu BLaC, das die Basen nicht nennen.")
                                     .arg(QString::fromLatin1(option)));
        if (settings.mirror) throw UsageError(QStringLiteral("--padding mirror gehört zu BLaC."));
    }
    std::vector<SweepCurve> curves;
    for (const Basis basis : bases) {
        if (basis != Basis::Blac) {
            curves.push_back({basis, std::nullopt, NAN});
        } else if (line.Has(QStringLiteral("deltas"))) {
            for (double delta : ParseDeltaList(line.Value(QStringLiteral("deltas"))))
                curves.push_back({basis, std::nullopt, delta});
        } else {
            for (int position :
                 ParsePositions(line.Has(QStringLiteral("positions")) ? line.Value(QStringLiteral("positions"))
                                                                      : QStringLiteral("0:100:10")))
                curves.push_back({basis, position, 0.0});
        }
    }
    return curves;
}

// Pictures x curves x rows per pair, counted before any work without wrapping: a run of
// more rows than a table can sensibly hold is refused.
void CheckRowCount(const SweepOptions& o) {
    long long rows = 0;
    const bool wraps = __builtin_mul_overflow(static_cast<long long>(o.pictures.size()),
                                              static_cast<long long>(o.curves.size()), &rows) ||
                       __builtin_mul_overflow(rows, RowsPerPair(o), &rows);
    if (wraps || rows > kMaxSweepRows)
        throw UsageError(QStringLiteral("Der Lauf hätte %1 Zeilen (Bilder x Deltas oder Basen x Epsilon x Raten); "
                                        "höchstens %2 sind möglich.")
                             .arg(wraps ? QStringLiteral("mehr als %1").arg(kMaxSweepRows) : QString::number(rows))
                             .arg(kMaxSweepRows));
}

SweepOptions ReadSweepOptions(const CommandLine& line, Context& context) {
    SweepOptions o;
    o.settings = ReadCompressSettings(line, false, context);
    o.epsilons = ReadEpsilons(line, context, o.settings);
    if (line.Has(QStringLiteral("zeros"))) o.zeros = ParseZeros(line.Value(QStringLiteral("zeros")), true);
    o.curves = ReadCurves(line, o.settings);
    o.rates = ReadRates(line);
    for (const char* option : {"quantise", "bpp", "basis", "bases", "padding"})
        o.withRates = o.withRates || line.Has(QString::fromLatin1(option));
    o.jobs = line.Has(QStringLiteral("jobs")) ? ParseJobs(line.Value(QStringLiteral("jobs"))) : CoreCount();
    o.pictures = line.Positional();
    o.csv = line.Value(QStringLiteral("csv"));
    o.plots = line.Values(QStringLiteral("plot"));
    o.json = line.Json();
    o.progress = line.Has(QStringLiteral("progress"));
    CheckRowCount(o);
    o.plot = ReadPlotOptions(line);
    CheckPlotColumns(o.plot, SweepColumns(o.withRates));
    if (o.json && IsStandardStream(o.csv))
        throw UsageError(QStringLiteral("--json und --csv - schreiben beide auf die Standardausgabe."));
    std::vector<OutputOption> outputs{{QStringLiteral("--csv"), IsStandardStream(o.csv) ? QString() : o.csv}};
    for (const QString& plot : o.plots) {
        PlotFormatFor(plot, QStringLiteral("--plot"));
        outputs.push_back({QStringLiteral("--plot"), plot});
    }
    CheckOutputsApart(o.pictures, outputs);
    // Usage first, then the file system: exit status 2 wins over 1.
    if (!o.csv.isEmpty() && !IsStandardStream(o.csv)) CheckWritable(o.csv);
    for (const QString& plot : o.plots) CheckWritable(plot);
    if (!o.plots.isEmpty()) RequireFonts();
    return o;
}

void WriteResults(const SweepOptions& o, const std::vector<CompressResult>& rows, Context& context) {
    const bool csvFile = !o.csv.isEmpty() && !IsStandardStream(o.csv);
    OutputFiles outputs;
    const QByteArray csv = SweepCsv(rows, o.withRates);
    if (csvFile) outputs.AddText(o.csv, csv);
    // Drawn from the table itself, so "plot" redraws it from the file alike.
    if (!o.plots.isEmpty()) AddPlots(outputs, o.plots, PlotOfTable(ParseTable(csv, QString()), o.plot), o.plot);
    outputs.WriteAll();

    if (o.json) {
        QJsonArray array;
        for (const CompressResult& r : rows) array.append(ToJson(r));
        WriteJson(context.out, QJsonObject{{"format", kDataFormat}, {"runs", array}});
    } else if (!csvFile) {
        // As bytes where the stream has a device: a name that is not UTF-8 keeps them.
        if (QIODevice* device = context.out.device()) {
            context.out.flush();
            if (device->write(csv) != csv.size()) context.out.setStatus(QTextStream::WriteFailed);
        } else {
            context.out << QString::fromUtf8(csv);
        }
    }
    // Messages, not data: standard error, so standard output stays a clean table.
    if (csvFile) context.err << QStringLiteral("%1 Läufe, Tabelle in %2\n").arg(rows.size()).arg(o.csv);
    for (const QString& plot : o.plots) context.err << QStringLiteral("Diagramm in %1\n").arg(plot);
}

}  // namespace

int RunSweep(const QStringList& args, Context& context) {
    CommandLine line(
        QStringLiteral("sweep"),
        QStringLiteral(
            "BILD... (--level L | --steps N) (--epsilon E | --epsilons LISTE | --zeros LISTE) "
            "[--rule REGEL] [--quantise LISTE | --bpp LISTE] [--basis BASIS | --bases LISTE] [--padding RAND] "
            "[--synthesis ART] [--positions VON:BIS:SCHRITT | --deltas LISTE] "
            "[--jobs N] [--csv DATEI] [--plot DATEI]... [--plot-x SPALTE] [--plot-y SPALTE] [--size BxH] "
            "[--labels de|en] [--progress] [--fit] [--json]"),
        QStringLiteral("compress für jedes Bild, jede Scroll-Position des Bereichs (oder Basis), jedes "
                       "Epsilon und jede Rate: eine CSV-Zeile je Lauf, in dieser Reihenfolge, und ein "
                       "Rate-Distortion-Diagramm."));
    AddSweepOptions(line);
    if (!line.Parse(args, context.out, 1, 1 << 20)) return kExitOk;
    const SweepOptions options = ReadSweepOptions(line, context);
    WriteResults(options, RunRows(options, context), context);
    return kExitOk;
}

}  // namespace tesora::cli
