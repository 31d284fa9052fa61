#include "cli/Analyse.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <cmath>
#include <cstring>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "report/Npy.h"
#include "tools/Coding.h"

namespace tesora::cli {

using report::kDataFormat;
using report::QtReadableName;
using report::RedBytes;
using report::Shortest;

QImage GreyImage(const std::vector<std::uint8_t>& bytes, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = PictureSurface::GreyWord(
                bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]);
    }
    return image;
}

namespace {

// The largest matrix file: 1025 x 1025 doubles and a generous header.
constexpr qint64 kMaxMatrixFileBytes = qint64{kMaxSide} * kMaxSide * 8 + 65536;

struct DeltaSetting {
    double delta = 0.0;
    std::optional<int> position;
};

DeltaSetting ReadDelta(const CommandLine& line) {
    if (line.Has(QStringLiteral("position")) && line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --position und --delta angeben."));
    DeltaSetting setting;
    if (line.Has(QStringLiteral("position"))) {
        setting.position = ParsePosition(line.Value(QStringLiteral("position")));
        setting.delta = DeltaFromPosition(*setting.position);
    }
    if (line.Has(QStringLiteral("delta"))) setting.delta = ParseDelta(line.Value(QStringLiteral("delta")));
    return setting;
}

void AddDeltaOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("position"), QStringLiteral("P"),
                        QStringLiteral("Position der Delta-Scroll-Leiste, 0 bis 100 (Delta = P x 0.01)."));
    line.AddValueOption(QStringLiteral("delta"), QStringLiteral("D"), QStringLiteral("Delta direkt, 0 bis 1."));
    line.AddValueOption(QStringLiteral("synthesis"), QStringLiteral("ART"),
                        QStringLiteral("Rekonstruktion: specified (Vorgabe, wie das Fenster) oder exact (die genaue "
                                       "Umkehrung der Zerlegung)."));
}

// --synthesis, when given: the JSON names it only then, so documents without it keep their bytes.
std::optional<Synthesis> ReadSynthesis(const CommandLine& line) {
    if (!line.Has(QStringLiteral("synthesis"))) return std::nullopt;
    return ParseSynthesisOption(line.Value(QStringLiteral("synthesis")));
}

void AddSynthesis(QJsonObject& document, std::optional<Synthesis> synthesis) {
    if (synthesis) document.insert(QStringLiteral("synthesis"), QString::fromLatin1(SynthesisName(*synthesis)));
}

void CheckNpyName(const QString& path, const QString& option) {
    if (!path.endsWith(QLatin1String(".npy"), Qt::CaseInsensitive))
        throw UsageError(QStringLiteral("%1: \"%2\" endet nicht auf .npy.").arg(option, path));
}

QByteArray Bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

std::string ReadMatrixFile(const QString& path) {
    if (path == QLatin1String("-"))
        throw UsageError(
            QStringLiteral("synthesise liest keine Matrix von der Standardeingabe: \"-\" ist kein "
                           "Name einer Matrixdatei (./- nennt eine Datei dieses Namens)."));
    const QString qtName = QtReadableName(path);
    // A FIFO or a device would block or never end, as for pictures.
    const QFileInfo info(qtName);
    if (info.exists() && !info.isFile())
        throw Error("\"" + path.toStdString() +
                    "\" ist keine reguläre Datei (etwa ein FIFO oder Gerät), keine Matrixdatei.");
    QFile file(qtName);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Die Matrixdatei \"" + path.toStdString() + "\" kann nicht gelesen werden.");
    if (file.size() > kMaxMatrixFileBytes)
        throw Error("Die Datei \"" + path.toStdString() + "\" ist zu groß für eine Koeffizientenmatrix.");
    const QByteArray bytes = file.read(kMaxMatrixFileBytes + 1);
    if (bytes.size() > kMaxMatrixFileBytes)
        throw Error("Die Datei \"" + path.toStdString() + "\" ist zu groß für eine Koeffizientenmatrix.");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void ReportAnalysis(const CommandLine& line, Context& context, const QString& path, const analysis::RedPicture& picture,
                    const DeltaSetting& delta, const analysis::Coefficients& square, const analysis::Layout& layout) {
    const std::optional<Synthesis> synthesis = ReadSynthesis(line);
    const int pictureLevel = layout.pictureLevel, target = layout.level;
    if (line.Json()) {
        QJsonArray legend;
        for (const analysis::Band& band : layout.bands)
            legend.append(
                QJsonObject{{"level", band.level}, {"kind", QString::fromLatin1(analysis::BandKindName(band.kind))}});
        QJsonObject document{{"format", kDataFormat},
                             {"picture", path},
                             {"width", picture.width},
                             {"height", picture.height},
                             {"picture_level", pictureLevel},
                             {"level", target},
                             {"position", delta.position ? QJsonValue(*delta.position) : QJsonValue(QJsonValue::Null)},
                             {"delta", delta.delta},
                             {"side", square.side},
                             {"bands", legend}};
        AddSynthesis(document, synthesis);
        WriteJson(context.out, document);
    } else {
        context.out << "Bild: " << path << " (" << picture.width << " x " << picture.height << " Pixel, Level "
                    << pictureLevel << ")\n";
        context.out << "Level: " << target << "\nDelta: " << Shortest(delta.delta) << '\n';
        context.out << "Matrix: " << square.side << " x " << square.side << " in " << line.Value(QStringLiteral("save"))
                    << '\n';
    }
}

// The .npy outputs: named so, apart from the picture and each other, writable.
void CheckAnalyseOutputs(const CommandLine& line) {
    std::vector<OutputOption> outputs;
    for (const char* option : {"save", "bands", "own", "coded"}) {
        const QString name = QString::fromLatin1(option);
        if (!line.Has(name)) continue;
        CheckNpyName(line.Value(name), "--" + name);
        outputs.push_back({"--" + name, line.Value(name)});
    }
    CheckOutputsApart(line.Positional(), outputs);
    for (const OutputOption& output : outputs) CheckWritable(output.path);
}

void AddAnalyseOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("level"), QStringLiteral("L"),
                        QStringLiteral("Level, auf den zerlegt wird (2 bis Level des Bildes)."));
    line.AddValueOption(QStringLiteral("steps"), QStringLiteral("N"),
                        QStringLiteral("Statt --level: N Stufen unter dem Level des Bildes."));
    AddDeltaOptions(line);
    line.AddValueOption(QStringLiteral("save"), QStringLiteral("DATEI"),
                        QStringLiteral("Die Koeffizientenmatrix (.npy)."));
    line.AddValueOption(QStringLiteral("bands"), QStringLiteral("DATEI"), QStringLiteral("Die Bänder (.npy)."));
    line.AddValueOption(QStringLiteral("own"), QStringLiteral("DATEI"),
                        QStringLiteral("Die Maske der eigenen Koeffizienten des Bildes (.npy)."));
    line.AddValueOption(QStringLiteral("coded"), QStringLiteral("DATEI"),
                        QStringLiteral("Die Maske der Koeffizienten, deren Funktion (nach --synthesis) ins Bild "
                                       "reicht (.npy)."));
}

// The matrix and the masks asked for, all written or none.
void WriteAnalyseFiles(const CommandLine& line, const DeltaSetting& delta, const analysis::Coefficients& square,
                       const analysis::Layout& layout) {
    OutputFiles files;
    files.AddText(line.Value(QStringLiteral("save")),
                  Bytes(npy::EncodeDoubles(square.values, square.side, square.side)));
    if (line.Has(QStringLiteral("bands"))) {
        std::vector<std::int32_t> bands(layout.band.size());
        for (std::size_t e = 0; e < bands.size(); ++e)
            bands[e] = layout.band[e] == analysis::Layout::kNoBand ? -1 : layout.band[e];
        files.AddText(line.Value(QStringLiteral("bands")), Bytes(npy::EncodeInts(bands, layout.side, layout.side)));
    }
    if (line.Has(QStringLiteral("own")))
        files.AddText(line.Value(QStringLiteral("own")), Bytes(npy::EncodeBools(layout.own, layout.side, layout.side)));
    if (line.Has(QStringLiteral("coded"))) {
        const std::vector<std::uint8_t> coded =
            analysis::CodedMask(layout, FiltersOf(delta.delta), ReadSynthesis(line).value_or(Synthesis::Specified));
        files.AddText(line.Value(QStringLiteral("coded")), Bytes(npy::EncodeBools(coded, layout.side, layout.side)));
    }
    files.WriteAll();
}

}  // namespace

int RunAnalyse(const QStringList& args, Context& context) {
    CommandLine line(
        QStringLiteral("analyse"),
        QStringLiteral("BILD [--level L | --steps N] [--position P | --delta D] --save DATEI.npy "
                       "[--bands DATEI.npy] [--own DATEI.npy] [--coded DATEI.npy] [--synthesis ART] [--json]"),
        QStringLiteral("Zerlegt das Bild bis Level L (Vorgabe 2) und schreibt die Koeffizientenmatrix "
                       "(float64, Element [x, y]), die Nummer des Bandes jedes Elements (int32, -1 "
                       "für keines) und die Maske der Koeffizienten im Bild (bool) als .npy-Dateien."));
    AddAnalyseOptions(line);
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;

    if (line.Has(QStringLiteral("level")) && line.Has(QStringLiteral("steps")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --level und --steps angeben."));
    std::optional<int> level, steps;
    if (line.Has(QStringLiteral("level"))) level = ParseLevel(line.Value(QStringLiteral("level")));
    if (line.Has(QStringLiteral("steps")))
        steps = ParseWhole(line.Value(QStringLiteral("steps")), QStringLiteral("--steps"), 0, 8);
    const DeltaSetting delta = ReadDelta(line);
    ReadSynthesis(line);
    if (!line.Has(QStringLiteral("save"))) throw UsageError(QStringLiteral("Die Option --save fehlt."));
    CheckAnalyseOutputs(line);

    const QString path = line.Positional().constFirst();
    const analysis::RedPicture picture = RedBytes(LoadUsable(path));
    const int pictureLevel = analysis::PictureLevelOf(picture.width);
    if (steps && pictureLevel - *steps < 2)
        throw UsageError(QStringLiteral("--steps %1: das Bild \"%2\" hat Level %3 und erlaubt höchstens %4 Schritte.")
                             .arg(*steps)
                             .arg(path)
                             .arg(pictureLevel)
                             .arg(std::max(pictureLevel - 2, 0)));
    const int target = level ? *level : steps ? pictureLevel - *steps : 2;
    if (pictureLevel < 2 || target < 2 || target > pictureLevel)
        throw UsageError(QStringLiteral("Level %1 liegt außerhalb von 2 bis %2, dem Level des Bildes \"%3\".")
                             .arg(target)
                             .arg(pictureLevel)
                             .arg(path));

    TransformWorkspace workspace;
    const analysis::Coefficients square =
        analysis::DecomposePicture(picture, FiltersOf(delta.delta), target, workspace);
    const analysis::Layout layout = analysis::LayoutOf(pictureLevel, target, picture.width, picture.height);

    WriteAnalyseFiles(line, delta, square, layout);

    ReportAnalysis(line, context, path, picture, delta, square, layout);
    return kExitOk;
}

namespace {

void AddSynthesiseOptions(CommandLine& line) {
    line.AddValueOption(QStringLiteral("level"), QStringLiteral("L"), QStringLiteral("Level der Matrix (2 bis P)."));
    line.AddValueOption(QStringLiteral("picture-level"), QStringLiteral("P"),
                        QStringLiteral("Level des Bildes; folgt sonst aus der Seitenlänge 2^P + 1."));
    line.AddValueOption(QStringLiteral("width"), QStringLiteral("B"), QStringLiteral("Breite des Bildes in Pixeln."));
    line.AddValueOption(QStringLiteral("height"), QStringLiteral("H"),
                        QStringLiteral("Höhe des Bildes in Pixeln (höchstens 2^P + 1)."));
    AddDeltaOptions(line);
    line.AddValueOption(QStringLiteral("reconstruction"), QStringLiteral("DATEI"),
                        QStringLiteral("Das rekonstruierte Bild (.bmp/.png)."));
}

// The picture level of a matrix file's square, checked against the options and for
// finite values.
int CheckedMatrixLevel(const npy::Doubles& matrix, const QString& path, std::optional<int> givenPictureLevel, int level,
                       int width, int height) {
    int pictureLevel = 2;
    while (pictureLevel < kMaxLevel && (1 << pictureLevel) + 1 < matrix.rows) ++pictureLevel;
    const int side = (1 << pictureLevel) + 1;
    if (matrix.rows != side || matrix.cols != side)
        throw Error("Die Matrix in \"" + path.toStdString() + "\" ist " + FormatD(matrix.rows) + " x " +
                    FormatD(matrix.cols) + " groß; erwartet ist ein Quadrat der Seite 2^P + 1 (5 bis " +
                    FormatD(kMaxSide) + ").");
    if (givenPictureLevel && *givenPictureLevel != pictureLevel)
        throw UsageError(QStringLiteral("--picture-level %1 passt nicht zur Matrix der Seite %2 (Level %3).")
                             .arg(*givenPictureLevel)
                             .arg(side)
                             .arg(pictureLevel));
    if (level > pictureLevel)
        throw UsageError(QStringLiteral("--level %1 liegt über dem Level %2 der Matrix.").arg(level).arg(pictureLevel));
    if (width > side || height > side || analysis::PictureLevelOf(width) != pictureLevel)
        throw UsageError(QStringLiteral("Ein Bild von %1 x %2 Pixeln passt nicht zur Matrix der Seite %3.")
                             .arg(width)
                             .arg(height)
                             .arg(side));
    for (std::size_t e = 0; e < matrix.values.size(); ++e)
        if (!std::isfinite(matrix.values[e]))
            throw Error("Die Matrix in \"" + path.toStdString() + "\" enthält bei [" +
                        FormatD(static_cast<long long>(e) / side) + ", " + FormatD(static_cast<long long>(e) % side) +
                        "] keine endliche Zahl.");

    return pictureLevel;
}

void ReportSynthesis(bool json, QTextStream& out, const QString& path, const analysis::Coefficients& square, int width,
                     int height, const DeltaSetting& delta, const std::optional<Synthesis>& synthesis,
                     const QString& output) {
    if (json) {
        QJsonObject document{{"format", kDataFormat}, {"matrix", path},          {"picture_level", square.pictureLevel},
                             {"level", square.level}, {"width", width},          {"height", height},
                             {"delta", delta.delta},  {"reconstruction", output}};
        AddSynthesis(document, synthesis);
        WriteJson(out, document);
    } else
        out << "Rekonstruktion (" << width << " x " << height << " Pixel) in " << output << '\n';
}

}  // namespace

int RunSynthesise(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("synthesise"),
                     QStringLiteral("MATRIX.npy --level L --width B --height H [--picture-level P] "
                                    "[--position P | --delta D] [--synthesis ART] --reconstruction DATEI [--json]"),
                     QStringLiteral("Liest eine (auch veränderte) Koeffizientenmatrix von Level L, rekonstruiert "
                                    "sie bis zum Level des Bildes und schreibt das Bild, wie das Fenster es malt."));
    AddSynthesiseOptions(line);
    line.NameInput(QStringLiteral("eine Matrixdatei"));
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;

    for (const char* option : {"level", "width", "height", "reconstruction"})
        if (!line.Has(QString::fromLatin1(option)))
            throw UsageError(QStringLiteral("Die Option --%1 fehlt.").arg(QString::fromLatin1(option)));
    const int level = ParseLevel(line.Value(QStringLiteral("level")));
    const int width = ParseWhole(line.Value(QStringLiteral("width")), QStringLiteral("--width"), 1, kMaxSide);
    const int height = ParseWhole(line.Value(QStringLiteral("height")), QStringLiteral("--height"), 1, kMaxSide);
    std::optional<int> givenPictureLevel;
    if (line.Has(QStringLiteral("picture-level")))
        givenPictureLevel =
            ParseWhole(line.Value(QStringLiteral("picture-level")), QStringLiteral("--picture-level"), 2, kMaxLevel);
    const DeltaSetting delta = ReadDelta(line);
    const std::optional<Synthesis> synthesis = ReadSynthesis(line);
    const QString output = line.Value(QStringLiteral("reconstruction"));
    PictureFormatFor(output, QStringLiteral("--reconstruction"));
    CheckOutputsApart(line.Positional(), {{QStringLiteral("--reconstruction"), output}}, {"die Matrixdatei", "die"});
    CheckWritable(output);

    const QString path = line.Positional().constFirst();
    const npy::Doubles matrix = npy::DecodeDoubles(ReadMatrixFile(path), path.toStdString());
    const int pictureLevel = CheckedMatrixLevel(matrix, path, givenPictureLevel, level, width, height);
    const int side = (1 << pictureLevel) + 1;

    analysis::Coefficients square;
    square.pictureLevel = pictureLevel;
    square.level = level;
    square.side = side;
    square.values = matrix.values;
    TransformWorkspace workspace;
    analysis::Reconstruct(square, FiltersOf(delta.delta), pictureLevel, workspace,
                          synthesis.value_or(Synthesis::Specified));
    for (const double value : square.values)
        if (!std::isfinite(value))
            throw Error("Die Rekonstruktion der Matrix in \"" + path.toStdString() +
                        "\" läuft über: sie enthält Werte, die nicht endlich sind.");
    // Every row is transformed (height <= side), so no byte of the blank picture survives.
    const analysis::RedPicture blank{
        width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height))};
    const std::vector<std::uint8_t> bytes = analysis::ToBytes(square.View(), blank);
    OutputFiles files;
    files.AddPicture(output, GreyImage(bytes, width, height));
    files.WriteAll();
    ReportSynthesis(line.Json(), context.out, path, square, width, height, delta, synthesis, output);
    return kExitOk;
}

}  // namespace tesora::cli
