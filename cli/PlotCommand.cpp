// "plot": a sweep's table drawn again from its CSV file, with any of its numeric
// columns on the axes, in as many files (PNG, SVG, PDF) as asked for.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Plotting.h"
#include "cli/StandardInput.h"
#include "matrix/Error.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::NativeName;

namespace {

// Far beyond any sweep's table; a larger file is a mistake, not a table.
constexpr qint64 kLargestTable = qint64(1) << 30;

QByteArray ReadTable(const QString& path) {
    if (IsStandardStream(path)) return StandardInputBytes("Tabellen");
    std::string quoted = path.toStdString();
    quoted.insert(quoted.begin(), '"');
    quoted.push_back('"');
    const int fd = ::open(NativeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw Error("Die Tabelle " + quoted + " lässt sich nicht öffnen.");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        throw Error("Die Tabelle " + quoted + " ist keine gewöhnliche Datei.");
    if (status.st_size > kLargestTable) throw Error("Die Tabelle " + quoted + " ist zu groß.");
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, static_cast<qsizetype>(n));
        else if (n == 0)
            break;
        else if (errno != EINTR)
            throw Error("Die Tabelle " + quoted + " lässt sich nicht lesen.");
        if (bytes.size() > kLargestTable) throw Error("Die Tabelle " + quoted + " ist zu groß.");
    }
    return bytes;
}

}  // namespace

void AddPlotOptions(CommandLine& line) {
    const auto add = [&](const char* name, const char* value, const char* help) {
        line.AddValueOption(QString::fromLatin1(name), QString::fromLatin1(value), QString::fromUtf8(help));
    };
    add("plot-x", "SPALTE",
        "x-Achse des Diagramms: eine Zahlenspalte der Tabelle, Vorgabe zero_share "
        "(auch nullkoeffs; eigene für own_zero_share).");
    add("plot-y", "SPALTE", "y-Achse des Diagramms: eine Zahlenspalte, Vorgabe mean_error (auch fehler; psnr, ...).");
    add("plot-x-range", "VON:BIS", "Bereich der x-Achse statt des Bereichs der Daten.");
    add("plot-y-range", "VON:BIS", "Bereich der y-Achse statt des Bereichs der Daten.");
    add("plot-log", "ACHSEN", "Logarithmische Achse: x, y oder xy.");
    add("plot-title", "TEXT", "Überschrift des Diagramms (\"\" für keine).");
    add("size", "BxH",
        "Größe des Diagramms: BREITExHÖHEmm (z. B. 85x60mm, je Seite 20 bis 2000) oder in Pixeln "
        "(Vorgabe 900x600, je Seite 100 bis 10000); höchstens 100 Megapixel (PNG mit 300 dpi).");
    add("labels", "SPRACHE", "Sprache der Texte im Diagramm: de (Vorgabe) oder en.");
}

PlotOptions ReadPlotOptions(const CommandLine& line) {
    plot::PlotOptionTexts texts;
    texts.x = line.Value(QStringLiteral("plot-x"));
    texts.y = line.Value(QStringLiteral("plot-y"));
    const auto given = [&](const char* name) -> std::optional<QString> {
        const QString option = QString::fromLatin1(name);
        return line.Has(option) ? std::optional<QString>(line.Value(option)) : std::nullopt;
    };
    texts.xRange = given("plot-x-range");
    texts.yRange = given("plot-y-range");
    texts.log = given("plot-log");
    texts.size = given("size");
    texts.title = given("plot-title");
    texts.labels = line.Value(QStringLiteral("labels"));
    return plot::ReadPlotOptions(texts);
}

namespace {

void AddPage(OutputFiles& outputs, const QString& path, const plot::PageFile& page) {
    if (!page.image.isNull())
        outputs.AddPicture(path, page.image);
    else
        outputs.AddText(path, page.bytes);
}

}  // namespace

void AddPlots(OutputFiles& outputs, const QStringList& paths, const plot::RateDistortionPlot& plot,
              const PlotOptions& options) {
    for (const QString& path : paths) AddPage(outputs, path, plot::RenderPlot(path, plot, options));
}

void AddPlot(OutputFiles& outputs, const QString& path, QSize size, const std::function<void(QPainter&)>& draw) {
    AddPage(outputs, path, plot::RenderPixelPage(path, size, draw));
}

int RunPlot(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("plot"),
                     QStringLiteral("TABELLE.csv -o DATEI [-o DATEI]... [--plot-x SPALTE] [--plot-y SPALTE] "
                                    "[--plot-x-range VON:BIS] [--plot-y-range VON:BIS] [--plot-log x|y|xy] "
                                    "[--size BxH] [--labels de|en] [--plot-title TEXT]"),
                     QStringLiteral("Das Rate-Distortion-Diagramm einer Tabelle von sweep (oder einer Tabelle mit "
                                    "denselben Spalten), je Ausgabedatei als PNG, SVG oder PDF."));
    AddOutputOption(line, QStringLiteral("DATEI"),
                    QStringLiteral("Ausgabedatei (.png, .svg oder .pdf); mehrfach angegeben eine Datei je Angabe."));
    line.AllowRepeated(QStringLiteral("o"));
    line.AllowRepeated(QStringLiteral("output"));
    AddPlotOptions(line);
    line.NameInput(QStringLiteral("eine Tabelle"));
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;
    if (line.Json()) throw UsageError(QStringLiteral("plot schreibt kein JSON."));
    const QString table = line.Positional().constFirst();
    const QStringList paths = line.Values(QStringLiteral("o"));
    if (paths.isEmpty()) throw UsageError(QStringLiteral("Die Option -o fehlt (tesora-cli plot --help)."));
    const PlotOptions options = ReadPlotOptions(line);
    std::vector<OutputOption> outputs;
    for (const QString& path : paths) {
        PlotFormatFor(path, QStringLiteral("-o"));
        outputs.push_back({QStringLiteral("-o"), path});
    }
    CheckOutputsApart(IsStandardStream(table) ? QStringList() : QStringList{table}, outputs, {"die Tabelle", "die"});
    for (const QString& path : paths) CheckWritable(path);
    RequireFonts();

    const Table parsed = ParseTable(ReadTable(table), table);
    OutputFiles files;
    AddPlots(files, paths, PlotOfTable(parsed, options), options);
    files.WriteAll();
    for (const QString& path : paths) context.err << QStringLiteral("Diagramm in %1\n").arg(path);
    return kExitOk;
}

}  // namespace tesora::cli
