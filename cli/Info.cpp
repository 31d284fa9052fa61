// "info" and "filters": what a picture opens as, and the wavelet filters of a Delta.
#include <QJsonArray>
#include <QJsonObject>

#include "picture/PictureFile.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Road.h"
#include "matrix/Numbers.h"
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

// "%.17g": every digit a double has.
QString Full(double value) { return QString::number(value, 'g', 17); }

QJsonArray JsonNumbers(const double* values, int count) {
    QJsonArray array;
    for (int i = 0; i < count; ++i) array.append(values[i]);
    return array;
}

QString TextNumbers(const double* values, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i) parts << Full(values[i]);
    return parts.join(QLatin1Char(' '));
}

}  // namespace

int RunInfo(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("info"), QStringLiteral("BILD... [--json]"),
                     QStringLiteral("Breite, Höhe und Level jedes Bildes, wie \"Öffnen\" sie bestimmt."));
    if (!line.Parse(args, context.out, 1, 1 << 20)) return 0;

    // Every picture is checked before anything is printed.
    std::vector<PictureInfo> pictures;
    for (const QString& path : line.Positional()) {
        const Road road(path);
        pictures.push_back({path, PictureWidth, PictureHeight, PictureLevel});
    }
    if (line.Json()) {
        QJsonArray array;
        for (const PictureInfo& p : pictures)
            array.append(QJsonObject{{"picture", p.path}, {"width", p.width},
                                     {"height", p.height}, {"level", p.level}});
        WriteJson(context.out, QJsonObject{{"pictures", array}});
    } else {
        for (const PictureInfo& p : pictures)
            context.out << QStringLiteral("%1: %2 x %3 Pixel, Level %4\n")
                               .arg(p.path).arg(p.width).arg(p.height).arg(p.level);
    }
    return 0;
}

int RunFilters(const QStringList& args, Context& context) {
    CommandLine line(QStringLiteral("filters"), QStringLiteral("(--position P | --delta D) [--json]"),
                     QStringLiteral("Die Wavelet-Filter für eine Position der Delta-Scroll-Leiste "
                                    "(Delta = P x 0.01) oder ein beliebiges Delta."));
    line.AddValueOption(QStringLiteral("position"), QStringLiteral("P"),
                        QStringLiteral("Position der Scroll-Leiste, 0 bis 100."));
    line.AddValueOption(QStringLiteral("delta"), QStringLiteral("D"),
                        QStringLiteral("Delta von 0 bis 1."));
    if (!line.Parse(args, context.out, 0, 0)) return 0;
    if (line.Has(QStringLiteral("position")) == line.Has(QStringLiteral("delta")))
        throw UsageError(QStringLiteral("Genau eine der Optionen --position und --delta angeben."));

    MemoryFrontend frontend;
    QJsonValue position = QJsonValue::Null;
    if (line.Has(QStringLiteral("position"))) {
        const int p = ParsePosition(line.Value(QStringLiteral("position")));
        frontend.SetDeltaPosition(p);  // the scroll bar's handler, as in the window
        position = p;
    } else {
        Delta = ParseDelta(line.Value(QStringLiteral("delta")));
        RebuildWaveletCoeffs();
    }

    if (line.Json()) {
        WriteJson(context.out,
                  QJsonObject{{"position", position},
                              {"delta", Delta},
                              {"WaveletLeft", JsonNumbers(WaveletLeft, 4)},
                              {"WaveletInner", JsonNumbers(WaveletInner, 5)},
                              {"WaveletRight", JsonNumbers(WaveletRight, 4)},
                              {"OneMinusHalfDelta", OneMinusHalfDelta},
                              {"HalfDelta", HalfDelta}});
    } else {
        QTextStream& out = context.out;
        out << "Delta: " << Full(Delta);
        if (!position.isNull()) out << " (Position " << position.toInt() << ")";
        out << '\n';
        out << "WaveletLeft: " << TextNumbers(WaveletLeft, 4) << '\n';
        out << "WaveletInner: " << TextNumbers(WaveletInner, 5) << '\n';
        out << "WaveletRight: " << TextNumbers(WaveletRight, 4) << '\n';
        out << "OneMinusHalfDelta: " << Full(OneMinusHalfDelta) << '\n';
        out << "HalfDelta: " << Full(HalfDelta) << '\n';
    }
    return 0;
}

}  // namespace tesora::cli
