#include "cli/Arguments.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/NativeNames.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/DeltaBound.h"

namespace tesora::cli {
namespace {

[[noreturn]] void Bad(const QString& option, const QString& text, const QString& expected) {
    throw UsageError(QStringLiteral("Ungültiger Wert für %1: \"%2\" (erwartet: %3).")
                         .arg(option, text, expected));
}

int ParseInt(const QString& text, const QString& option, int low, int high, const QString& expected) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high) Bad(option, text, expected);
    return value;
}

double ParseDouble(const QString& text, bool* ok) {
    const QString trimmed = text.trimmed();
    double value = trimmed.toDouble(ok);
    if (!*ok) {
        // Qt refuses decimals beyond a double's range; the window's combo boxes read
        // them as infinity (or 0), and the tool must give the same results.
        static const QRegularExpression decimal(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)[eE][+-]?\d+$)"));
        if (decimal.match(trimmed).hasMatch()) {
            value = ParseNumber(trimmed.toStdString());
            *ok = std::isinf(value) || value == 0.0;
        }
    }
    if (std::isnan(value)) *ok = false;
    return value;
}

}  // namespace

int ParseLevel(const QString& text) {
    return ParseInt(text, QStringLiteral("--level"), 2, 10, QStringLiteral("ganze Zahl von 2 bis 10"));
}

int ParsePosition(const QString& text, const QString& option) {
    return ParseInt(text, option, 0, 100, QStringLiteral("ganze Zahl von 0 bis 100"));
}

double ParseDelta(const QString& text) {
    bool ok = false;
    const double value = ParseDouble(text, &ok);
    if (!ok || value < 0.0 || value > 1.0)
        Bad(QStringLiteral("--delta"), text, QStringLiteral("Zahl von 0 bis 1"));
    // Smaller values leave no usable filters (see DeltaBound.h).
    if (value > 0.0 && value < kSmallestUsableDelta)
        Bad(QStringLiteral("--delta"), text,
            QStringLiteral("0 oder eine Zahl von %1 bis 1; darunter sind Wavelet-Filter und Gram-Matrizen unbrauchbar")
                .arg(QString::number(kSmallestUsableDelta, 'g', 17)));
    return value;
}

QString CheckEpsilonText(const QString& text) {
    bool ok = false;
    const double value = ParseDouble(text, &ok);
    if (!ok || value < 0.0)
        Bad(QStringLiteral("--epsilon"), text, QStringLiteral("Zahl ab 0"));
    return text.trimmed();
}

QString CheckSchrankeText(const QString& text) {
    bool ok = false;
    ParseDouble(text, &ok);
    if (!ok) Bad(QStringLiteral("--schranke"), text, QStringLiteral("Zahl"));
    return text.trimmed();
}

std::vector<int> ParsePositions(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    const QString expected = QStringLiteral("VON:BIS:SCHRITT mit 0 <= VON <= BIS <= 100, SCHRITT >= 1");
    if (parts.size() != 3) Bad(QStringLiteral("--positions"), text, expected);
    bool ok[3] = {false, false, false};
    const int from = parts[0].trimmed().toInt(&ok[0]);
    const int to = parts[1].trimmed().toInt(&ok[1]);
    const int step = parts[2].trimmed().toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || from < 0 || to > 100 || from > to || step < 1)
        Bad(QStringLiteral("--positions"), text, expected);
    std::vector<int> positions;
    // In 64 bits: a step near INT_MAX must end the range, not wrap around into it.
    for (long long p = from; p <= to; p += step) positions.push_back(static_cast<int>(p));
    return positions;
}

PictureFormat PictureFormatFor(const QString& path, const QString& option) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp")) return PictureFormat::Bmp;
    if (suffix == QLatin1String("png")) return PictureFormat::Png;
    throw UsageError(QStringLiteral("%1: \"%2\" endet weder auf .bmp noch auf .png.").arg(option, path));
}

void CheckWritable(const QString& path) {
    // On the name's bytes: Qt cannot spell every name a command line may hold.
    const QByteArray native = NativeName(path);
    const QByteArray folder = SplitNativeName(path).folder;
    const std::string quoted = QStringLiteral("\"%1\"").arg(path).toStdString();
    struct stat status;
    const bool exists = stat(native.constData(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) throw Error("Die Ausgabedatei " + quoted + " ist ein Ordner.");
    if (stat(folder.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        throw Error("Der Ordner für " + quoted + " existiert nicht.");
    if (access(folder.constData(), W_OK) != 0) throw Error("Der Ordner für " + quoted + " ist nicht beschreibbar.");
    if (exists && access(native.constData(), W_OK) != 0)
        throw Error("Die Datei " + quoted + " ist schreibgeschützt.");
}

}  // namespace tesora::cli
