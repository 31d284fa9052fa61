// "info" and "filters": what a picture opens as, and the wavelet filters of a Delta.
#include <QJsonArray>
#include <QJsonObject>

#include "picture/PictureFile.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/OutputFiles.h"
#include "cli/Plotting.h"
#include "cli/Road.h"
#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "tools/Loading.h"
#include "tools/MemoryFrontend.h"

namespace tesora::cli {

namespace {

struct PictureInfo {
    QString path;
    int width;
    int height;
    int level;
};

QJsonArray JsonNumbers(const double* values, int count) {
    QJsonArray array;
    for (int i = 0; i < count; ++i) array.append(values[i]);
    return array;
}

QString TextNumbers(const double* values, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i) parts << report::Shortest(values[i]);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

int RunInfo(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("info"), QStringLiteral("BILD... [--fit] [--json]"),
                     QStringLiteral("Breite, Höhe und Level jedes Bildes, wie \"Öffnen\" sie bestimmt. "
                                    "Ein unbrauchbares Bild gibt eine Fehlerzeile, die anderen werden "
                                    "trotzdem gezeigt; der Exit-Status ist dann 1."));
    AddFitOption(line);
    if (!line.Parse(args, context.out, 1, 1 << 20)) return 0;
    const bool fit = line.Has(QStringLiteral("fit"));

    // A bad picture among good ones costs its own line, not the report on the others.
    std::vector<PictureInfo> pictures;
    std::vector<CodedFileInfo> codedFiles;
    int failures = 0;
    for (const QString& path : line.Positional()) {
        try {
            if (std::optional<CodedFileInfo> coded = ReadCodedFileInfo(path)) {
                codedFiles.push_back(std::move(*coded));
                continue;
            }
            const Road road(path, fit);
            pictures.push_back({path, PictureWidth, PictureHeight, PictureLevel});
        } catch (const UsageError&) {
            throw;
        } catch (const Error& e) {
            context.err << "tesora-cli: " << QString::fromUtf8(e.what()) << '\n';
            ++failures;
        }
    }
    if (line.Json()) {
        QJsonArray array;
        for (const PictureInfo& p : pictures)
            array.append(QJsonObject{
                {"picture", report::JsonName(p.path)}, {"width", p.width}, {"height", p.height}, {"level", p.level}});
        QJsonObject document{{"format", report::kDataFormat}, {"pictures", array}};
        if (!codedFiles.empty()) {
            QJsonArray files;
            for (const CodedFileInfo& coded : codedFiles) files.append(coded.json);
            document.insert(QStringLiteral("files"), files);
        }
        WriteJson(context.out, document);
    } else {
        for (const PictureInfo& p : pictures)
            context.out
                << QStringLiteral("%1: %2 x %3 Pixel, Level %4\n").arg(p.path).arg(p.width).arg(p.height).arg(p.level);
        for (const CodedFileInfo& coded : codedFiles) context.out << coded.text;
    }
    return failures > 0 ? kExitFailure : kExitOk;
}

namespace {

// Sets Delta as the scroll bar (position) or directly (raw Delta) and rebuilds the filters.
void SetDelta(MemoryFrontend& frontend, const QString& option, const QString& value) {
    if (option == QLatin1String("position")) {
        frontend.SetDeltaPosition(ParsePosition(value));  // the scroll bar's handler
    } else {
        Delta = ParseDelta(value);
        RebuildWaveletCoeffs();
    }
}

void WriteFilters(Context& context, bool json, const QJsonValue& position) {
    if (json) {
        WriteJson(context.out, QJsonObject{{"format", report::kDataFormat},
                                           {"position", position},
                                           {"delta", Delta},
                                           {"wavelet_left", JsonNumbers(WaveletLeft, 4)},
                                           {"wavelet_inner", JsonNumbers(WaveletInner, 5)},
                                           {"wavelet_right", JsonNumbers(WaveletRight, 4)},
                                           {"one_minus_half_delta", OneMinusHalfDelta},
                                           {"half_delta", HalfDelta}});
        return;
    }
    QTextStream& out = context.out;
    out << "Delta: " << report::Shortest(Delta);
    if (!position.isNull()) out << " (Position " << position.toInt() << ")";
    out << '\n';
    out << "WaveletLeft: " << TextNumbers(WaveletLeft, 4) << '\n';
    out << "WaveletInner: " << TextNumbers(WaveletInner, 5) << '\n';
    out << "WaveletRight: " << TextNumbers(WaveletRight, 4) << '\n';
    out << "OneMinusHalfDelta: " << report::Shortest(OneMinusHalfDelta) << '\n';
    out << "HalfDelta: " << report::Shortest(HalfDelta) << '\n';
}

// The basis functions of every listed Delta, one after the other from a fresh start.
void PlotFilters(Context& context, const QString& option, const QStringList& values, const QString& path) {
    PlotFormatFor(path, QStringLiteral("--plot"));
    CheckWritable(path);
    RequireFonts();
    std::vector<BasisFunctions> functions;
    for (const QString& value : values) {
        StartProgram();
        MemoryFrontend frontend;
        SetDelta(frontend, option, value);
        functions.push_back(ComputeBasisFunctions());
    }
    OutputFiles outputs;
    AddPlot(outputs, path, QSize(kBasisPlotWidth, kBasisPlotHeight),
            [&](QPainter& painter) { DrawBasisFunctions(painter, functions); });
    outputs.WriteAll();
    context.err << QStringLiteral("Diagramm in %1\n").arg(path);
}

}  // namespace

int RunFilters(const QStringList& args, Context& context) {
    CommandLine line(
        QStringLiteral("filters"),
        QStringLiteral("(--position P | --delta D) [--json] | --plot DATEI (--position P,... | --delta D,...)"),
        QStringLiteral("Die Wavelet-Filter für eine Position der Delta-Scroll-Leiste "
                       "(Delta = P x 0.01) oder ein beliebiges Delta; mit --plot die "
                       "Skalierungsfunktion und die Wavelets als Diagramm."));
    line.AddValueOption(
        QStringLiteral("position"), QStringLiteral("P"),
        QStringLiteral("Position der Scroll-Leiste, 0 bis 100 (mit --plot auch eine Liste P1,P2,...)."));
    line.AddValueOption(QStringLiteral("delta"), QStringLiteral("D"),
                        QStringLiteral("Delta von 0 bis 1 (mit --plot auch eine Liste D1,D2,...)."));
    line.AddValueOption(QStringLiteral("plot"), QStringLiteral("DATEI"),
                        QStringLiteral("Skalierungsfunktion und Wavelets je Delta als Diagramm (.png/.svg)."));
    if (!line.Parse(args, context.out, 0, 0)) return 0;
    if (line.Has(QStringLiteral("position")) == line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Genau eine der Optionen --position und --delta angeben."));
    const QString option = line.Has(QStringLiteral("position")) ? QStringLiteral("position") : QStringLiteral("delta");
    const QStringList values = line.Value(option).split(QLatin1Char(','));
    if (line.Has(QStringLiteral("plot"))) {
        if (line.Json()) throw UsageError(QStringLiteral("--plot und --json schließen sich aus."));
        PlotFilters(context, option, values, line.Value(QStringLiteral("plot")));
        return 0;
    }
    if (values.size() != 1) throw UsageError(QStringLiteral("Eine Liste für --%1 nur mit --plot.").arg(option));
    MemoryFrontend frontend;
    SetDelta(frontend, option, values.constFirst());
    WriteFilters(context, line.Json(),
                 option == QLatin1String("position") ? QJsonValue(frontend.deltaPosition) : QJsonValue());
    return 0;
}

}  // namespace tesora::cli
