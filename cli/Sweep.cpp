// "sweep": compress for every picture, scroll position and Epsilon, one CSV row each
// and a rate-distortion plot. A picture and position is decomposed once and serves
// every Epsilon; the pairs run in worker processes.
#include <QDataStream>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
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
using report::CsvField;
using report::kDataFormat;
using report::NativeName;
using report::RedBytes;
using report::Shortest;
using report::ToJson;

namespace {

struct SweepOptions {
    CompressSettings settings;
    QStringList pictures;
    std::vector<int> positions;
    std::vector<double> deltas;  // --deltas, in place of the positions
    QStringList epsilons;        // the Epsilon texts, as the box gets them
    std::vector<double> zeros;   // --zeros: targets in place of Epsilons
    int jobs = 1;
    QString csv;        // "-": standard output
    QStringList plots;  // one file each, the format by its extension
    PlotOptions plot;
    bool json = false, progress = false;
};

const char* const kCsvHeader =
    "picture,level,position,delta,epsilon,schranke,zero_share,own_zero_share,mean_error,psnr,energy_kept,"
    "floor_mean_error,floor_psnr,psnr_exact,entropy_bpp,synthesis,floor_psnr_exact,coded_count\n";

QByteArray Csv(const std::vector<CompressResult>& rows) {
    QByteArray text(kCsvHeader);
    // The name as its bytes: two names that differ only in bytes that are not UTF-8 stay apart.
    for (const CompressResult& r : rows)
        text += CsvField(NativeName(r.picture)) + ',' +
                QStringList{QString::number(r.level),
                            r.position ? QString::number(*r.position) : QString(),
                            Shortest(r.delta),
                            r.epsilon ? Shortest(*r.epsilon) : QString(),
                            Shortest(r.schranke),
                            Shortest(r.zeroShare),
                            Shortest(r.own.Share()),
                            Shortest(r.meanError),
                            Shortest(r.quality.psnr),
                            Shortest(r.quality.energyKept),
                            Shortest(r.floorMeanError),
                            Shortest(r.floorPsnr),
                            Shortest(r.psnrExact),
                            r.entropyBpp ? Shortest(*r.entropyBpp) : QString(),
                            r.synthesis,
                            Shortest(r.floorPsnrExact),
                            r.codedCount ? QString::number(*r.codedCount) : QString()}
                    .join(QLatin1Char(','))
                    .toUtf8() +
                '\n';
    return text;
}

// Rows travel from a worker to the parent bit for bit.
QByteArray Pack(const std::vector<CompressResult>& rows) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s << quint32(rows.size());
    for (const CompressResult& r : rows) {
        s << r.picture << r.width << r.height << r.pictureLevel << r.level << r.transformedRows
          << r.position.value_or(-1) << r.delta << bool(r.epsilon) << r.epsilon.value_or(0) << r.schranke << r.zeroCount
          << r.zeroShare << qint64(r.own.zeros) << qint64(r.own.details) << r.meanError << r.quality.psnr
          << r.quality.energyKept << QString::fromStdString(r.labProzent) << QString::fromStdString(r.labFehler)
          << QString::fromStdString(r.labDelta) << QString::fromStdString(r.labLevel);
        s << r.psnrExact << r.floorMeanError << r.floorPsnr << r.rule
          << QList<double>(r.levelEpsilons.begin(), r.levelEpsilons.end()) << bool(r.zerosTarget)
          << r.zerosTarget.value_or(0) << bool(r.quantise) << r.quantise.value_or(0) << bool(r.entropyBpp)
          << r.entropyBpp.value_or(0) << r.synthesis << r.floorPsnrExact << bool(r.codedCount)
          << qint64(r.codedCount.value_or(0)) << quint32(r.bands.size());
        for (const analysis::BandFigures& b : r.bands)
            s << b.band.level << quint8(b.band.kind) << qint64(b.ownCount) << qint64(b.zeros) << b.energy << b.maxAbs
              << bool(b.entropyBits) << b.entropyBits.value_or(0) << bool(b.codedCount)
              << qint64(b.codedCount.value_or(0));
    }
    return bytes;
}

void Unpack(const QByteArray& bytes, std::vector<CompressResult>& rows) {
    QDataStream s(bytes);
    quint32 count = 0;
    s >> count;
    for (quint32 i = 0; i < count; ++i) {
        CompressResult r;
        int position = 0;
        bool hasEpsilon = false;
        double epsilon = 0;
        qint64 zeros = 0, details = 0;
        QString labels[4];
        s >> r.picture >> r.width >> r.height >> r.pictureLevel >> r.level >> r.transformedRows >> position >>
            r.delta >> hasEpsilon >> epsilon >> r.schranke >> r.zeroCount >> r.zeroShare >> zeros >> details >>
            r.meanError >> r.quality.psnr >> r.quality.energyKept >> labels[0] >> labels[1] >> labels[2] >> labels[3];
        if (position >= 0) r.position = position;
        if (hasEpsilon) r.epsilon = epsilon;
        r.own = {zeros, details};
        r.labProzent = labels[0].toStdString(), r.labFehler = labels[1].toStdString();
        r.labDelta = labels[2].toStdString(), r.labLevel = labels[3].toStdString();
        QList<double> levelEpsilons;
        bool has[3] = {};
        double values[3] = {};
        quint32 bands = 0;
        bool hasCoded = false;
        qint64 coded = 0;
        s >> r.psnrExact >> r.floorMeanError >> r.floorPsnr >> r.rule >> levelEpsilons >> has[0] >> values[0] >>
            has[1] >> values[1] >> has[2] >> values[2] >> r.synthesis >> r.floorPsnrExact >> hasCoded >> coded >> bands;
        if (hasCoded) r.codedCount = coded;
        r.levelEpsilons.assign(levelEpsilons.begin(), levelEpsilons.end());
        if (has[0]) r.zerosTarget = values[0];
        if (has[1]) r.quantise = values[1];
        if (has[2]) r.entropyBpp = values[2];
        for (quint32 b = 0; b < bands; ++b) {
            analysis::BandFigures f;
            quint8 kind = 0;
            qint64 own = 0, bandZeros = 0;
            bool entropy = false, bandHasCoded = false;
            double bits = 0;
            qint64 bandCoded = 0;
            s >> f.band.level >> kind >> own >> bandZeros >> f.energy >> f.maxAbs >> entropy >> bits >> bandHasCoded >>
                bandCoded;
            if (bandHasCoded) f.codedCount = bandCoded;
            f.band.kind = static_cast<analysis::BandKind>(kind);
            f.ownCount = own;
            f.zeros = bandZeros;
            if (entropy) f.entropyBits = bits;
            r.bands.push_back(f);
        }
        rows.push_back(std::move(r));
    }
}

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

int DeltaCount(const SweepOptions& options) {
    return static_cast<int>(options.deltas.empty() ? options.positions.size() : options.deltas.size());
}

// One picture at one Delta: decomposed once, its floor measured once, then one row per
// Epsilon or target, each on a copy of the decomposition.
QByteArray RunPair(const SweepOptions& options, int pair, PictureCache& cache) {
    const int count = DeltaCount(options);
    const auto d = static_cast<std::size_t>(pair % count);
    CompressSettings settings = options.settings;
    double delta = 0;
    if (options.deltas.empty()) {
        settings.position = options.positions[d];
        delta = DeltaFromPosition(*settings.position);
    } else {
        delta = options.deltas[d];
    }
    const QString& picture = options.pictures[pair / count];
    const analysis::RedPicture& red = cache.Red(picture);
    const int level = LevelFor(settings, red.width, picture);
    analysis::PictureAnalysis analysis(red, delta, level, cache.Layout(), cache.Columns(), settings.synthesis);
    cache.Layout() = analysis.SharedLayout();
    cache.Columns() = analysis.SharedColumns();
    const CompressResult base = BaseResult(picture, analysis, settings);
    std::vector<CompressResult> rows;
    // Only JSON shows the bands.
    if (!options.zeros.empty()) {
        for (double zeros : options.zeros)
            rows.push_back(AnalyseRow(analysis, base, settings, {std::nullopt, zeros}, options.json));
    } else if (options.epsilons.isEmpty()) {
        rows.push_back(AnalyseRow(analysis, base, settings, {}, options.json));
    } else {
        for (const QString& epsilon : options.epsilons)
            rows.push_back(AnalyseRow(analysis, base, settings, {epsilon, std::nullopt}, options.json));
    }
    return Pack(rows);
}

std::vector<CompressResult> RunRows(const SweepOptions& options, Context& context) {
    // Every pair allocates and frees pictures, surfaces and a copy of the coefficients
    // of megabytes. Kept in the heap once freed, the next pair reuses their pages instead
    // of mapping fresh ones, whose first touch costs more than the work on them.
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    const int positions = DeltaCount(options);
    const int pairs = static_cast<int>(options.pictures.size()) * positions;
    if (options.pictures.contains(QStringLiteral("-"))) StandardInputBytes();  // once, before the workers
    // A pair gives one row per Epsilon or per zero target.
    const auto rowsPerPair =
        static_cast<long long>(options.zeros.empty() ? options.epsilons.size() : options.zeros.size());
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
    for (const QByteArray& bytes : packed) Unpack(bytes, rows);
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
    AddMeasureOptions(line);
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
    if (!one && !many) throw UsageError(QStringLiteral("Die Option --epsilon fehlt."));
    if (one) return {*settings.epsilon};
    QStringList warnings;
    const QStringList epsilons = ParseEpsilonList(line.Value(QStringLiteral("epsilons")), &warnings);
    context.warnings << warnings;
    return epsilons;
}

SweepOptions ReadSweepOptions(const CommandLine& line, Context& context) {
    SweepOptions o;
    o.settings = ReadCompressSettings(line, false, context);
    o.epsilons = ReadEpsilons(line, context, o.settings);
    if (line.Has(QStringLiteral("zeros"))) o.zeros = ParseZeros(line.Value(QStringLiteral("zeros")), true);
    if (line.Has(QStringLiteral("deltas"))) {
        if (line.Has(QStringLiteral("positions")))
            throw UsageError(QStringLiteral("Nur eine der Optionen --positions und --deltas angeben."));
        o.deltas = ParseDeltaList(line.Value(QStringLiteral("deltas")));
    } else {
        o.positions = ParsePositions(line.Has(QStringLiteral("positions")) ? line.Value(QStringLiteral("positions"))
                                                                           : QStringLiteral("0:100:10"));
    }
    o.jobs = line.Has(QStringLiteral("jobs")) ? ParseJobs(line.Value(QStringLiteral("jobs"))) : CoreCount();
    o.pictures = line.Positional();
    o.csv = line.Value(QStringLiteral("csv"));
    o.plots = line.Values(QStringLiteral("plot"));
    o.json = line.Json();
    o.progress = line.Has(QStringLiteral("progress"));
    // The rows are counted before any work: their product must not wrap, and a run of more
    // rows than a table can sensibly hold is refused.
    const long long pairs = static_cast<long long>(o.pictures.size()) * DeltaCount(o);
    const qsizetype perPair = o.zeros.empty() ? o.epsilons.size() : static_cast<qsizetype>(o.zeros.size());
    const auto rowsPerPair = static_cast<long long>(std::max<qsizetype>(1, perPair));
    if (pairs * rowsPerPair > kMaxSweepRows)
        throw UsageError(QStringLiteral("Der Lauf hätte %1 Zeilen (Bilder x Deltas x Epsilon); höchstens %2 "
                                        "sind möglich.")
                             .arg(pairs * rowsPerPair)
                             .arg(kMaxSweepRows));
    o.plot = ReadPlotOptions(line);
    CheckPlotColumns(o.plot, QString::fromLatin1(kCsvHeader).trimmed().split(QLatin1Char(',')));
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
    if (csvFile) outputs.AddText(o.csv, Csv(rows));
    // Drawn from the table itself, so "plot" redraws it from the file alike.
    if (!o.plots.isEmpty()) AddPlots(outputs, o.plots, PlotOfTable(ParseTable(Csv(rows), QString()), o.plot), o.plot);
    outputs.WriteAll();

    if (o.json) {
        QJsonArray array;
        for (const CompressResult& r : rows) array.append(ToJson(r));
        WriteJson(context.out, QJsonObject{{"format", kDataFormat}, {"runs", array}});
    } else if (!csvFile) {
        // As bytes where the stream has a device: a name that is not UTF-8 keeps them.
        const QByteArray csv = Csv(rows);
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
        QStringLiteral("BILD... (--level L | --steps N) (--epsilon E | --epsilons LISTE | --zeros LISTE) "
                       "[--rule REGEL] [--quantise Q] [--synthesis ART] [--positions VON:BIS:SCHRITT | --deltas LISTE] "
                       "[--jobs N] [--csv DATEI] [--plot DATEI]... [--plot-x SPALTE] [--plot-y SPALTE] [--size BxH] "
                       "[--labels de|en] [--progress] [--fit] [--json]"),
        QStringLiteral("compress für jedes Bild, jede Scroll-Position des Bereichs und jedes "
                       "Epsilon: eine CSV-Zeile je Lauf und ein Rate-Distortion-Diagramm."));
    AddSweepOptions(line);
    if (!line.Parse(args, context.out, 1, 1 << 20)) return kExitOk;
    const SweepOptions options = ReadSweepOptions(line, context);
    WriteResults(options, RunRows(options, context), context);
    return kExitOk;
}

}  // namespace tesora::cli
