#include "cli/Arguments.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <vector>
#include <locale.h>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "tools/DeltaBound.h"

namespace tesora::cli {

using report::NativeName;
using report::RuleOption;
using report::ShortestText;
using report::SplitNativeName;

namespace {

[[noreturn]] void Bad(const QString& option, const QString& text, const QString& expected) {
    throw UsageError(QStringLiteral("Ungültiger Wert für %1: \"%2\" (erwartet: %3).").arg(option, text, expected));
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

QString CheckBoxText(const QString& text, const QString& option, const QString& expected, double low,
                     QString* warning) {
    const BoxNumber number = ReadBoxNumber(text);
    // "nan" is a prefix strtod reads, but no number a figure could be computed from.
    if (number.used == 0 || std::isnan(number.value) || number.value < low) Bad(option, text, expected);
    if (!number.ignored.isEmpty() && warning)
        *warning = QStringLiteral(
                       "Hinweis: %1 \"%2\" wird wie im Eingabefeld als %3 gelesen "
                       "(\"%4\" ignoriert).")
                       .arg(option, text.trimmed(), QString::fromStdString(ShortestText(number.value)), number.ignored);
    return text.trimmed();
}

}  // namespace

int ParseWhole(const QString& text, const QString& option, int low, int high) {
    return ParseInt(text, option, low, high, QStringLiteral("ganze Zahl von %1 bis %2").arg(low).arg(high));
}

int ParseLevel(const QString& text) {
    return ParseInt(text, QStringLiteral("--level"), 2, 10, QStringLiteral("ganze Zahl von 2 bis 10"));
}

int ParsePosition(const QString& text, const QString& option) {
    return ParseInt(text, option, 0, 100, QStringLiteral("ganze Zahl von 0 bis 100"));
}

int ParseJobs(const QString& text) {
    return ParseInt(text, QStringLiteral("--jobs"), 1, 256, QStringLiteral("ganze Zahl von 1 bis 256"));
}

double ParseDelta(const QString& text, const QString& option) {
    bool ok = false;
    const double value = ParseDouble(text, &ok);
    if (!ok || value < 0.0 || value > 1.0) Bad(option, text, QStringLiteral("Zahl von 0 bis 1"));
    // Smaller values leave no usable filters (see DeltaBound.h).
    if (value > 0.0 && value < kSmallestUsableDelta)
        Bad(option, text,
            QStringLiteral("0 oder eine Zahl von %1 bis 1; darunter sind Wavelet-Filter und Gram-Matrizen unbrauchbar")
                .arg(QString::number(kSmallestUsableDelta, 'g', 17)));
    // "-0" is 0: shown, written and computed with as 0.
    return value == 0.0 ? 0.0 : value;
}

std::vector<double> ParseDeltaList(const QString& text) {
    std::vector<double> deltas;
    for (const QString& part : text.split(QLatin1Char(',')))
        deltas.push_back(ParseDelta(part, QStringLiteral("--deltas")));
    return deltas;
}

int ParseSteps(const QString& text) {
    return ParseInt(text, QStringLiteral("--steps"), 1, 8, QStringLiteral("ganze Zahl von 1 bis 8"));
}

std::vector<double> ParseZeros(const QString& text, bool list) {
    const QString expected =
        list ? QStringLiteral("Liste von Prozentwerten über 0 bis 100") : QStringLiteral("Prozentwert über 0 bis 100");
    std::vector<double> shares;
    for (const QString& part : list ? text.split(QLatin1Char(',')) : QStringList{text}) {
        bool ok = false;
        const double value = ParseDouble(part, &ok);
        if (!ok || !(value > 0.0) || value > 100.0) Bad(QStringLiteral("--zeros"), text, expected);
        shares.push_back(value);
    }
    return shares;
}

double ParseQuantise(const QString& text) {
    bool ok = false;
    const double value = ParseDouble(text, &ok);
    if (!ok || !(value > 0.0) || !std::isfinite(value))
        Bad(QStringLiteral("--quantise"), text, QStringLiteral("Zahl über 0"));
    return value;
}

Synthesis ParseSynthesisOption(const QString& text) {
    const std::optional<Synthesis> synthesis = ParseSynthesis(text.toStdString());
    if (!synthesis) Bad(QStringLiteral("--synthesis"), text, QStringLiteral("specified oder exact"));
    return *synthesis;
}

double ParseRate(const QString& text) {
    bool ok = false;
    const double value = ParseDouble(text, &ok);
    if (!ok || !(value > 0.0) || !std::isfinite(value))
        Bad(QStringLiteral("--bpp"), text, QStringLiteral("Zahl über 0"));
    return value;
}

std::vector<double> ParseList(const QString& text, double (*parse)(const QString&)) {
    std::vector<double> values;
    for (const QString& item : text.split(QLatin1Char(','))) values.push_back(parse(item));
    return values;
}

RuleOption ParseRule(const QString& text) {
    const QString expected = QStringLiteral("flat, norm oder levels:E1,E2,...");
    RuleOption rule;
    rule.text = text.trimmed();
    if (rule.text == QLatin1String("flat")) return rule;
    if (rule.text == QLatin1String("norm")) {
        rule.kind = analysis::RuleKind::Norm;
        return rule;
    }
    if (!rule.text.startsWith(QLatin1String("levels:"))) Bad(QStringLiteral("--rule"), text, expected);
    rule.kind = analysis::RuleKind::Levels;
    for (const QString& part : rule.text.mid(7).split(QLatin1Char(','))) {
        bool ok = false;
        const double value = ParseDouble(part, &ok);
        if (!ok || value < 0.0) Bad(QStringLiteral("--rule"), text, expected);
        rule.epsilons.push_back(value);
    }
    return rule;
}

QString CheckEpsilonText(const QString& text, QString* warning) {
    return CheckBoxText(text, QStringLiteral("--epsilon"), QStringLiteral("Zahl ab 0"), 0.0, warning);
}

QString CheckSchrankeText(const QString& text, QString* warning) {
    return CheckBoxText(text, QStringLiteral("--schranke"), QStringLiteral("Zahl"), -INFINITY, warning);
}

BoxNumber ReadBoxNumber(const QString& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const QByteArray bytes = text.toUtf8();
    const char* start = bytes.constData();
    while (*start == ' ' || *start == '\t' || *start == '\n' || *start == '\r' || *start == '\v' || *start == '\f')
        ++start;
    char* end = nullptr;
    BoxNumber number;
    number.value = strtod_l(start, &end, cLocale);
    number.used = end - start;
    number.ignored = QString::fromUtf8(end).trimmed();
    return number;
}

QStringList ParseEpsilonList(const QString& text, QStringList* warnings) {
    const QString option = QStringLiteral("--epsilons");
    const QString expected = QStringLiteral("Liste E1,E2,... oder START:STOP:SCHRITT");
    QStringList values;
    auto check = [&](const QString& part) {
        QString warning;
        values << CheckBoxText(part, option, expected, 0.0, &warning);
        if (!warning.isEmpty()) *warnings << warning;
    };
    const QStringList range = text.split(QLatin1Char(':'));
    if (range.size() == 1) {
        for (const QString& part : text.split(QLatin1Char(','))) check(part);
        return values;
    }
    if (range.size() != 3) Bad(option, text, expected);
    // A range is computed, so its values are written back in the shortest form that
    // reads back exactly: the box then reads the very double of the range.
    QString ignored;
    const double start = ReadBoxNumber(CheckBoxText(range[0], option, expected, 0.0, &ignored)).value;
    const double stop = ReadBoxNumber(CheckBoxText(range[1], option, expected, 0.0, &ignored)).value;
    const double step = ReadBoxNumber(CheckBoxText(range[2], option, expected, 0.0, &ignored)).value;
    if (!ignored.isEmpty() || !(step > 0) || !(stop >= start) || !std::isfinite(stop) || (stop - start) / step > 10000)
        Bad(option, text, expected);
    const auto count = static_cast<long long>(std::floor((stop - start) / step * (1 + 1e-12)));
    for (long long i = 0; i <= count; ++i)
        values << QString::fromStdString(ShortestText(start + static_cast<double>(i) * step));
    return values;
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

namespace {

// FIFOs named as outputs, open for writing from the start to the end of the run: one
// without a reader is refused before any work, and a reader sees no end of file before
// the output is written.
std::vector<int>& HeldFifos() {
    static std::vector<int> held;
    return held;
}

void HoldFifo(const QByteArray& native, const std::string& quoted) {
    const int fd = open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENXIO) throw Error("Die Ausgabedatei " + quoted + " ist ein FIFO ohne Leser.");
    if (fd < 0) throw Error("Die Datei " + quoted + " kann nicht geschrieben werden.");
    HeldFifos().push_back(fd);
}

}  // namespace

void ReleaseFifos() {
    for (const int fd : HeldFifos()) close(fd);
    HeldFifos().clear();
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
    if (exists && access(native.constData(), W_OK) != 0) throw Error("Die Datei " + quoted + " ist schreibgeschützt.");
    if (exists && S_ISFIFO(status.st_mode)) HoldFifo(native, quoted);
    // Found now, not at the rename after other outputs already took their names.
    const long nameMax = pathconf(folder.constData(), _PC_NAME_MAX);
    const long pathMax = pathconf(folder.constData(), _PC_PATH_MAX);
    if ((nameMax > 0 && SplitNativeName(path).leaf.size() > nameMax) || (pathMax > 0 && native.size() >= pathMax))
        throw Error("Der Name " + quoted + " ist für das Dateisystem zu lang.");
}

}  // namespace tesora::cli
