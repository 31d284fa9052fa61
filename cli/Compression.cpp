#include "cli/Compression.h"

#include <QJsonObject>
#include <cmath>

#include "blac/State.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileIdentity.h"
#include "cli/Road.h"
#include "matrix/Numbers.h"
#include "tools/Reduction.h"

namespace tesora::cli {
namespace {

const QRgb* Row(const QImage& image, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); }

QJsonValue Optional(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

}  // namespace

Quality MeasureQuality(const QImage& reconstructed, const QImage& original, int width, int height) {
    double squaredError = 0, reconstructedEnergy = 0, originalEnergy = 0;
    for (int y = 0; y < height; ++y) {
        const QRgb* rebuilt = Row(reconstructed, y);
        const QRgb* file = Row(original, y);
        for (int x = 0; x < width; ++x) {
            const double a = qRed(rebuilt[x]);
            const double b = qRed(file[x]);
            squaredError += (a - b) * (a - b);
            reconstructedEnergy += a * a;
            originalEnergy += b * b;
        }
    }
    const double mse = squaredError / (static_cast<double>(width) * height);
    Quality quality;
    quality.psnr = mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
    quality.energyKept = originalEnergy == 0 ? NAN : reconstructedEnergy / originalEnergy * 100.0;
    return quality;
}

CompressResult Compress(const QString& picture, const CompressSettings& settings, OutputFiles& outputs) {
    Road road(picture);
    if (settings.level > PictureLevel)
        throw UsageError(QStringLiteral("--level %1 liegt über dem Level %2 des Bildes \"%3\".")
                             .arg(settings.level).arg(PictureLevel).arg(picture));
    CompressResult result;
    result.picture = picture;
    result.width = PictureWidth;
    result.height = PictureHeight;
    result.pictureLevel = PictureLevel;
    result.level = settings.level;
    result.position = settings.position;

    if (settings.position) road.SetDeltaPosition(*settings.position);
    if (settings.rawDelta) road.SetRawDelta(*settings.rawDelta);
    road.MoveTrackBar(settings.level);
    // "Speichern" now would write the reduced-picture window.
    if (!settings.approximation.isEmpty()) outputs.AddPicture(settings.approximation, road.ReducedPicture());
    if (settings.epsilon) {
        road.SetEpsilonText(*settings.epsilon);
        result.epsilon = Epsilon;
        result.zeroCount = road.PressReduce();
        result.zeroShare = ReductionShare(result.zeroCount);
    }
    if (!settings.coefficients.isEmpty()) outputs.AddPicture(settings.coefficients, road.MainPicture());
    road.MoveTrackBar(PictureLevel);
    if (!settings.reconstruction.isEmpty()) outputs.AddPicture(settings.reconstruction, road.MainPicture());
    result.meanError = road.PressFehler();

    result.delta = Delta;
    // "Fehler?" has just read the file again into the reduced picture.
    result.quality = MeasureQuality(road.MainPicture(), road.ReducedPicture(), PictureWidth, PictureHeight);
    const MemoryFrontend& frontend = road.Frontend();
    result.labProzent = frontend.Text(Label::Prozent);
    result.labFehler = frontend.Text(Label::Fehler);
    result.labDelta = frontend.Text(Label::Delta);
    result.labLevel = frontend.Text(Label::Level);
    return result;
}

QJsonValue JsonNumber(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString FullText(double value) {
    if (std::isnan(value)) return QStringLiteral("nan");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return QString::number(value, 'g', 17);
}

QJsonObject ToJson(const CompressResult& r) {
    return QJsonObject{
        {"picture", r.picture},
        {"width", r.width},
        {"height", r.height},
        {"pictureLevel", r.pictureLevel},
        {"level", r.level},
        {"position", r.position ? QJsonValue(*r.position) : QJsonValue(QJsonValue::Null)},
        {"delta", r.delta},
        {"epsilon", Optional(r.epsilon)},
        {"zeroCount", r.zeroCount},
        {"zeroShare", r.zeroShare},
        {"meanError", r.meanError},
        {"psnr", JsonNumber(r.quality.psnr)},
        {"energyKept", JsonNumber(r.quality.energyKept)},
        {"labels", QJsonObject{{"labProzent", QString::fromStdString(r.labProzent)},
                               {"labFehler", QString::fromStdString(r.labFehler)},
                               {"labDelta", QString::fromStdString(r.labDelta)},
                               {"labLevel", QString::fromStdString(r.labLevel)}}},
    };
}

QString ToText(const CompressResult& r) {
    QString text;
    QTextStream out(&text);
    out << "Bild: " << r.picture << " (" << r.width << " x " << r.height << " Pixel, Level "
        << r.pictureLevel << ")\n";
    out << "Level: " << r.level << '\n';
    out << "Delta: " << QString::fromStdString(FormatG(r.delta));
    if (r.position) out << " (Position " << *r.position << ')';
    out << '\n';
    if (r.epsilon) out << "Epsilon: " << QString::fromStdString(FormatG(*r.epsilon)) << '\n';
    out << "Nullkoeffs: " << QString::fromStdString(r.labProzent) << " (" << r.zeroCount
        << " Koeffizienten)\n";
    out << "Fehler: " << QString::fromStdString(r.labFehler) << '\n';
    out << "PSNR: "
        << (std::isinf(r.quality.psnr) ? QStringLiteral("inf") : QString::number(r.quality.psnr, 'f', 2) + " dB")
        << '\n';
    out << "Energie erhalten: "
        << (std::isnan(r.quality.energyKept) ? QStringLiteral("nicht bestimmbar (schwarzes Bild)")
                                             : QString::number(r.quality.energyKept, 'f', 3) + " %")
        << '\n';
    return text;
}

int RunCompress(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("compress"),
                     QStringLiteral("BILD --level L [--position P | --delta D] [--epsilon E] "
                                    "[--approximation DATEI] [--coefficients DATEI] "
                                    "[--reconstruction DATEI] [--json]"),
                     QStringLiteral("Öffnet das Bild, setzt Delta, zieht den Level-Regler auf L, "
                                    "drückt \"Reduce\" (mit --epsilon), zieht den Regler zurück "
                                    "und drückt \"Fehler?\"."));
    line.AddValueOption(QStringLiteral("level"), QStringLiteral("L"),
                        QStringLiteral("Level, auf den zerlegt wird (2 bis Level des Bildes)."));
    line.AddValueOption(QStringLiteral("position"), QStringLiteral("P"),
                        QStringLiteral("Position der Delta-Scroll-Leiste, 0 bis 100 (Delta = P x 0.01)."));
    line.AddValueOption(QStringLiteral("delta"), QStringLiteral("D"),
                        QStringLiteral("Delta direkt, 0 bis 1."));
    line.AddValueOption(QStringLiteral("epsilon"), QStringLiteral("E"),
                        QStringLiteral("Epsilon wie im Eingabefeld; ohne diese Option kein \"Reduce\"."));
    line.AddValueOption(QStringLiteral("approximation"), QStringLiteral("DATEI"),
                        QStringLiteral("Das reduzierte Bild auf Level L, wie \"Speichern\" es schreibt (.bmp/.png)."));
    line.AddValueOption(QStringLiteral("coefficients"), QStringLiteral("DATEI"),
                        QStringLiteral("Das Hauptbild nach \"Reduce\", mit roten Markierungen."));
    line.AddValueOption(QStringLiteral("reconstruction"), QStringLiteral("DATEI"),
                        QStringLiteral("Das Hauptbild nach der Rekonstruktion."));
    if (!line.Parse(args, context.out, 1, 1)) return kExitOk;

    CompressSettings settings = ReadCompressSettings(line, true);
    const QString picture = line.Positional().constFirst();
    OutputFiles outputs;
    const CompressResult result = Compress(picture, settings, outputs);
    outputs.WriteAll();
    if (line.Json()) WriteJson(context.out, ToJson(result));
    else context.out << ToText(result);
    return kExitOk;
}

CompressSettings ReadCompressSettings(const CommandLine& line, bool single) {
    if (!line.Has(QStringLiteral("level"))) throw UsageError(QStringLiteral("Die Option --level fehlt."));
    CompressSettings settings;
    settings.level = ParseLevel(line.Value(QStringLiteral("level")));
    if (line.Has(QStringLiteral("epsilon")))
        settings.epsilon = CheckEpsilonText(line.Value(QStringLiteral("epsilon")));
    if (!single) return settings;
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
