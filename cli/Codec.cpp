// "encode" and "decode": a picture into a compressed file and back.
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <cmath>

#include "blac/DeltaControl.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/FileIdentity.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"
#include "codec/Colour.h"
#include "codec/PictureCodec.h"
#include "matrix/Error.h"
#include "report/DataText.h"
#include "report/Figures.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::kDataFormat;

namespace {

// A compressed file is never larger than the largest picture's planes at full rate.
constexpr qint64 kMaxCodedFileBytes = qint64{64} << 20;

QImage RgbImage(const std::vector<std::uint8_t>& rgb, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::size_t n =
                3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
            line[x] = qRgb(rgb[n], rgb[n + 1], rgb[n + 2]);
        }
    }
    return image;
}

// The planes to code: the red channel, or R, G and B (the codec codes Y, Cb and Cr of them).
std::vector<analysis::RedPicture> PlanesOf(const QImage& opened, bool colour) {
    const analysis::RedPicture red = report::RedBytes(opened);
    if (!colour) return {red};
    const int width = opened.width(), height = opened.height();
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<analysis::RedPicture> planes(3, analysis::RedPicture{width, height, std::vector<std::uint8_t>(count)});
    const QImage rgb = opened.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const std::size_t n =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
            planes[0].red[n] = static_cast<std::uint8_t>(qRed(line[x]));
            planes[1].red[n] = static_cast<std::uint8_t>(qGreen(line[x]));
            planes[2].red[n] = static_cast<std::uint8_t>(qBlue(line[x]));
        }
    }
    return planes;
}

// The Y plane of R, G and B planes, in bytes.
std::vector<std::uint8_t> LumaBytes(const std::vector<analysis::RedPicture>& rgb) {
    std::vector<std::uint8_t> y(rgb[0].red.size());
    for (std::size_t n = 0; n < y.size(); ++n)
        y[n] = codec::ToByte(codec::YCbCrOf(rgb[0].red[n], rgb[1].red[n], rgb[2].red[n])[0]);
    return y;
}

// PSNR in dB of bytes against bytes, every third from `offset` (+inf when equal).
double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int stride, int offset) {
    double squared = 0.0;
    std::size_t count = 0;
    for (std::size_t n = static_cast<std::size_t>(offset); n < a.size(); n += static_cast<std::size_t>(stride), ++count)
        squared += (static_cast<double>(a[n]) - b[n]) * (static_cast<double>(a[n]) - b[n]);
    return squared == 0.0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(count) / squared);
}

std::vector<std::uint8_t> RgbBytes(const QImage& opened) {
    const QImage rgb = opened.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(3 * static_cast<std::size_t>(rgb.width()) * static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            bytes.push_back(static_cast<std::uint8_t>(qRed(line[x])));
            bytes.push_back(static_cast<std::uint8_t>(qGreen(line[x])));
            bytes.push_back(static_cast<std::uint8_t>(qBlue(line[x])));
        }
    }
    return bytes;
}

QJsonValue JsonDb(double value) { return std::isfinite(value) ? QJsonValue(value) : QJsonValue(); }

codec::EncodeRequest ReadRequest(const CommandLine& line, const QImage& opened) {
    const int targets = int{line.Has(QStringLiteral("bpp"))} + int{line.Has(QStringLiteral("bytes"))} +
                        int{line.Has(QStringLiteral("quantise"))};
    if (targets != 1)
        throw UsageError(QStringLiteral("Genau eine der Optionen --bpp, --bytes und --quantise angeben."));
    if (line.Has(QStringLiteral("position")) && line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Nur eine der Optionen --position und --delta angeben."));
    codec::EncodeRequest request;
    if (line.Has(QStringLiteral("basis"))) {
        const Basis basis = ParseBasisOption(line.Value(QStringLiteral("basis")), QStringLiteral("--basis"));
        request.basis = static_cast<codec::Basis>(basis);  // the format's codes follow the core's order
        if (basis != Basis::Blac)
            for (const char* option : {"position", "delta", "synthesis"})
                if (line.Has(QString::fromLatin1(option)))
                    throw UsageError(QStringLiteral("--%1 gehört zu BLaC, nicht zu --basis %2.")
                                         .arg(QString::fromLatin1(option), line.Value(QStringLiteral("basis"))));
    }
    if (line.Has(QStringLiteral("synthesis")))
        request.synthesis = ParseSynthesisOption(line.Value(QStringLiteral("synthesis"))) == Synthesis::Exact
                                ? codec::Synthesis::Exact
                                : codec::Synthesis::Specified;
    if (line.Has(QStringLiteral("position")))
        request.delta = DeltaFromPosition(ParsePosition(line.Value(QStringLiteral("position"))));
    if (line.Has(QStringLiteral("delta"))) request.delta = ParseDelta(line.Value(QStringLiteral("delta")));
    if (line.Has(QStringLiteral("steps"))) request.steps = ParseSteps(line.Value(QStringLiteral("steps")));
    if (line.Has(QStringLiteral("rule"))) {
        const analysis::RuleKind kind = ParseRule(line.Value(QStringLiteral("rule"))).kind;
        request.rule = kind == analysis::RuleKind::Norm   ? codec::RuleCode::Norm
                       : kind == analysis::RuleKind::Flat ? codec::RuleCode::Flat
                                                          : codec::RuleCode::Levels;
    }
    if (line.Has(QStringLiteral("quantise"))) request.step = ParseQuantise(line.Value(QStringLiteral("quantise")));
    const double pixels = static_cast<double>(opened.width()) * opened.height();
    bool ok = false;
    if (line.Has(QStringLiteral("bpp"))) {
        const double bpp = line.Value(QStringLiteral("bpp")).toDouble(&ok);
        if (!ok || !(bpp > 0.0) || bpp > 64.0)
            throw UsageError(QStringLiteral("--bpp erwartet eine Zahl über 0 bis 64."));
        request.bytes = static_cast<std::size_t>(std::floor(bpp * pixels / 8.0));
    }
    if (line.Has(QStringLiteral("bytes"))) {
        const qlonglong bytes = line.Value(QStringLiteral("bytes")).toLongLong(&ok);
        if (!ok || bytes < 1 || bytes > kMaxCodedFileBytes)
            throw UsageError(QStringLiteral("--bytes erwartet eine ganze Zahl von 1 bis %1.").arg(kMaxCodedFileBytes));
        request.bytes = static_cast<std::size_t>(bytes);
    }
    return request;
}

QByteArray ReadCodedBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Error("Die Datei " + path.toStdString() + " lässt sich nicht lesen.");
    if (file.size() > kMaxCodedFileBytes) throw Error("Die Datei ist zu groß für eine Tesora-Datei.");
    return file.readAll();
}

}  // namespace

std::optional<CodedFileInfo> ReadCodedFileInfo(const QString& path) {
    // FIFOs, devices and standard input are the picture reader's to refuse; reading
    // them here could wait forever.
    if (path == QLatin1String("-") || !QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray start = file.read(8);
    if (!codec::StartsAsFile(reinterpret_cast<const std::uint8_t*>(start.constData()),
                             static_cast<std::size_t>(start.size())))
        return std::nullopt;
    const QByteArray bytes = ReadCodedBytes(path);
    const codec::File coded = codec::ReadFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                              static_cast<std::size_t>(bytes.size()));
    const codec::Header& h = coded.header;
    CodedFileInfo info;
    info.json = QJsonObject{{"file", report::JsonName(path)},
                            {"bytes", static_cast<qint64>(bytes.size())},
                            {"width", h.width},
                            {"height", h.height},
                            {"level", h.pictureLevel},
                            {"steps", h.steps},
                            {"basis", codec::BasisName(h.basis)},
                            {"delta", h.delta},
                            {"rule", codec::RuleName(h.rule)},
                            {"synthesis", codec::SynthesisName(h.synthesis)},
                            {"quantise", h.step},
                            {"planes", h.planes}};
    info.text = QStringLiteral(
                    "%1: Tesora-Datei, %2 Byte, %3 x %4 Pixel, Level %5, %6 Stufen, Basis %7, Delta %8, "
                    "Regel %9, Quantisierung %10, %11\n")
                    .arg(path)
                    .arg(bytes.size())
                    .arg(h.width)
                    .arg(h.height)
                    .arg(h.pictureLevel)
                    .arg(h.steps)
                    .arg(QString::fromLatin1(codec::BasisName(h.basis)))
                    .arg(report::Shortest(h.delta))
                    .arg(QString::fromLatin1(codec::RuleName(h.rule)))
                    .arg(report::Shortest(h.step))
                    .arg(h.planes == 3 ? QStringLiteral("Y, Cb, Cr") : QStringLiteral("grau"));
    return info;
}

namespace {

// The encoder's settings beside -o, as encode --help lists them.
void AddEncodeOptions(CommandLine& line) {
    AddValueOptions(line,
                    {{"bpp", "B", "Bit je Pixel, höchstens."},
                     {"bytes", "N", "Größe der Datei in Byte, höchstens."},
                     {"quantise", "Q", "Quantisierungsstufe, ganzer Datenstrom."},
                     {"delta", "D", "Delta von 0 bis 1 (sonst 0)."},
                     {"position", "P", "Delta als Position 0 bis 100."},
                     {"steps", "N", "Stufen unter dem Level des Bildes (5)."},
                     {"rule", "R", "norm (Vorgabe): nach den Normen der Basisfunktionen gewichtet; flat: ungewichtet."},
                     {"basis", "BASIS", "blac (Vorgabe), haar, cdf53 oder cdf97: die Wavelets der Zerlegung."},
                     {"synthesis", "ART", "Rekonstruktion: specified (Vorgabe) oder exact (nur BLaC)."}});
}

// Size and quality of one encoding, as JSON or one line.
void ReportEncoding(const CommandLine& line, Context& context, const QString& input, const QString& output,
                    const QImage& opened, const std::vector<analysis::RedPicture>& planes,
                    const std::vector<std::uint8_t>& file, const codec::DecodedPicture& decoded,
                    const std::vector<std::uint8_t>& rgb, bool colour) {
    const std::vector<std::uint8_t> original = RgbBytes(opened);
    const double bpp = 8.0 * static_cast<double>(file.size()) / (static_cast<double>(opened.width()) * opened.height());
    const double psnr = Psnr(original, rgb, colour ? 1 : 3, 0);  // RGB, or the red channel
    // The picture's Y in bytes against the decoded Y plane in bytes (the luma figure of colour codecs).
    const double psnrY = colour ? Psnr(LumaBytes(planes), codec::PlaneBytes(decoded.planes[0]), 1, 0) : NAN;
    if (line.Json()) {
        QJsonObject json{{"format", kDataFormat},
                         {"picture", report::JsonName(input)},
                         {"file", report::JsonName(output)},
                         {"bytes", static_cast<qint64>(file.size())},
                         {"bpp", bpp},
                         {"width", opened.width()},
                         {"height", opened.height()},
                         {"planes", colour ? 3 : 1},
                         {"delta", decoded.header.delta},
                         {"steps", decoded.header.steps},
                         {"quantise", decoded.header.step},
                         {"basis", codec::BasisName(decoded.header.basis)},
                         {"synthesis", codec::SynthesisName(decoded.header.synthesis)},
                         {colour ? "psnr_rgb" : "psnr", JsonDb(psnr)}};
        if (colour) json.insert(QStringLiteral("psnr_y"), JsonDb(psnrY));
        WriteJson(context.out, json);
    } else {
        context.out << QStringLiteral("%1: %2 Byte, %3 Bit je Pixel, PSNR %4 dB%5\n")
                           .arg(output)
                           .arg(file.size())
                           .arg(QString::number(bpp, 'f', 4))
                           .arg(QString::number(psnr, 'f', 2))
                           .arg(colour ? QStringLiteral(" (RGB), Y %1 dB").arg(QString::number(psnrY, 'f', 2))
                                       : QString());
    }
}

}  // namespace

int RunEncode(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("encode"),
                     QStringLiteral("BILD -o DATEI.tsr (--bpp B | --bytes N | --quantise Q) [--delta D | --position P] "
                                    "[--steps N] [--rule flat|norm] [--basis BASIS] [--synthesis ART] [--colour] "
                                    "[--reconstruction R.png] [--json]"),
                     QStringLiteral("Das Bild als komprimierte Datei: zerlegt, quantisiert und Bitebene für Bitebene "
                                    "kodiert. --bpp und --bytes schneiden den Datenstrom an der Stelle ab, an der die "
                                    "Datei (Kopf eingeschlossen) die Größe erreicht."));
    AddOutputOption(line, QStringLiteral("DATEI"), QStringLiteral("Die komprimierte Datei (.tsr)."));
    AddEncodeOptions(line);
    line.AddFlag(QStringLiteral("colour"), QStringLiteral("Farbbild als Y, Cb, Cr (sonst der Rotkanal)."));
    line.AddValueOption(QStringLiteral("reconstruction"), QStringLiteral("BILD"),
                        QStringLiteral("Das Bild, das die Datei ergibt (.png/.bmp)."));
    if (!line.Parse(args, context.out, 1, 1)) return 0;
    if (!line.Has(QStringLiteral("output"))) throw UsageError(QStringLiteral("Es fehlt -o DATEI.tsr."));
    const QString input = line.Positional().constFirst(), output = line.Value(QStringLiteral("output"));
    const QString reconstruction = line.Value(QStringLiteral("reconstruction"));
    if (!reconstruction.isEmpty()) PictureFormatFor(reconstruction, QStringLiteral("--reconstruction"));
    CheckOutputsApart({input}, {{QStringLiteral("-o"), output}, {QStringLiteral("--reconstruction"), reconstruction}});
    CheckWritable(output);
    if (!reconstruction.isEmpty()) CheckWritable(reconstruction);

    const QImage opened = LoadUsable(input);
    const codec::EncodeRequest request = ReadRequest(line, opened);
    const bool colour = line.Has(QStringLiteral("colour"));
    const std::vector<analysis::RedPicture> planes = PlanesOf(opened, colour);
    const std::vector<std::uint8_t> file = codec::EncodePicture(planes, request);
    // The reconstruction is the file decoded: what any decoder makes of it.
    const codec::DecodedPicture decoded = codec::DecodePicture(file.data(), file.size());
    const std::vector<std::uint8_t> rgb = codec::ToRgbBytes(decoded);
    OutputFiles outputs;
    outputs.AddText(output,
                    QByteArray(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size())));
    if (!reconstruction.isEmpty()) outputs.AddPicture(reconstruction, RgbImage(rgb, opened.width(), opened.height()));
    outputs.WriteAll();

    ReportEncoding(line, context, input, output, opened, planes, file, decoded, rgb, colour);
    return kExitOk;
}

int RunDecode(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("decode"), QStringLiteral("DATEI.tsr -o BILD.png|bmp [--json]"),
                     QStringLiteral("Eine komprimierte Datei zurück zum Bild; eine beschädigte, abgeschnittene oder "
                                    "fremde Datei wird mit einer Zeile abgelehnt."));
    AddOutputOption(line, QStringLiteral("BILD"), QStringLiteral("Das Bild (.png/.bmp)."));
    if (!line.Parse(args, context.out, 1, 1)) return 0;
    if (!line.Has(QStringLiteral("output"))) throw UsageError(QStringLiteral("Es fehlt -o BILD."));
    const QString input = line.Positional().constFirst(), output = line.Value(QStringLiteral("output"));
    PictureFormatFor(output, QStringLiteral("-o"));
    CheckOutputsApart({input}, {{QStringLiteral("-o"), output}});
    CheckWritable(output);

    const QByteArray bytes = ReadCodedBytes(input);
    const codec::DecodedPicture decoded = codec::DecodePicture(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                               static_cast<std::size_t>(bytes.size()));
    const codec::Header& h = decoded.header;
    OutputFiles outputs;
    outputs.AddPicture(output, RgbImage(codec::ToRgbBytes(decoded), h.width, h.height));
    outputs.WriteAll();
    if (line.Json())
        WriteJson(context.out, QJsonObject{{"format", kDataFormat},
                                           {"file", report::JsonName(input)},
                                           {"picture", report::JsonName(output)},
                                           {"width", h.width},
                                           {"height", h.height},
                                           {"planes", h.planes},
                                           {"delta", h.delta},
                                           {"steps", h.steps},
                                           {"quantise", h.step}});
    else
        context.out << QStringLiteral("%1: %2 x %3 Pixel\n").arg(output).arg(h.width).arg(h.height);
    return kExitOk;
}

}  // namespace tesora::cli
