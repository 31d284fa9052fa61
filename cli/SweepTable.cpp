#include "cli/SweepTable.h"

#include <QDataStream>
#include <QIODevice>
#include <cmath>

#include "report/DataText.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::CompressResult;
using report::CsvField;
using report::NativeName;
using report::Shortest;

namespace {

const char* const kCsvHeader =
    "picture,level,position,delta,epsilon,schranke,zero_share,own_zero_share,mean_error,psnr,energy_kept,"
    "floor_mean_error,floor_psnr,psnr_exact,entropy_bpp,synthesis,floor_psnr_exact,coded_count\n";
const QStringList kRateColumns{QStringLiteral("basis"), QStringLiteral("padding"), QStringLiteral("quantise"),
                               QStringLiteral("bpp")};

QString Optional(const std::optional<double>& value) { return value ? Shortest(*value) : QString(); }

}  // namespace

QStringList SweepColumns(bool withRates) {
    QStringList columns = QString::fromLatin1(kCsvHeader).trimmed().split(QLatin1Char(','));
    if (withRates) columns << kRateColumns;
    return columns;
}

QByteArray SweepCsv(const std::vector<CompressResult>& rows, bool withRates) {
    QByteArray text = SweepColumns(withRates).join(QLatin1Char(',')).toUtf8() + '\n';
    // The name as its bytes: two names that differ only in bytes that are not UTF-8 stay apart.
    for (const CompressResult& r : rows)
        text += CsvField(NativeName(r.picture)) + ',' +
                QStringList{QString::number(r.level),
                            r.position ? QString::number(*r.position) : QString(),
                            std::isfinite(r.delta) ? Shortest(r.delta) : QString(),
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
                            Optional(r.entropyBpp),
                            r.synthesis,
                            Shortest(r.floorPsnrExact),
                            r.codedCount ? QString::number(*r.codedCount) : QString()}
                    .join(QLatin1Char(','))
                    .toUtf8() +
                (withRates ? ',' + QStringList{r.basis, r.padding, Optional(r.quantise), Optional(r.bpp)}
                                       .join(QLatin1Char(','))
                                       .toUtf8()
                           : QByteArray()) +
                '\n';
    return text;
}

// Rows travel from a worker to the parent bit for bit.
QByteArray PackRows(const std::vector<CompressResult>& rows) {
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
          << qint64(r.codedCount.value_or(0)) << r.basis << r.padding << bool(r.bpp) << r.bpp.value_or(0)
          << quint32(r.bands.size());
        for (const analysis::BandFigures& b : r.bands)
            s << b.band.level << quint8(b.band.kind) << qint64(b.ownCount) << qint64(b.zeros) << b.energy << b.maxAbs
              << bool(b.entropyBits) << b.entropyBits.value_or(0) << bool(b.codedCount)
              << qint64(b.codedCount.value_or(0));
    }
    return bytes;
}

void UnpackRows(const QByteArray& bytes, std::vector<CompressResult>& rows) {
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
        bool has[4] = {};
        double values[4] = {};
        quint32 bands = 0;
        bool hasCoded = false;
        qint64 coded = 0;
        s >> r.psnrExact >> r.floorMeanError >> r.floorPsnr >> r.rule >> levelEpsilons >> has[0] >> values[0] >>
            has[1] >> values[1] >> has[2] >> values[2] >> r.synthesis >> r.floorPsnrExact >> hasCoded >> coded >>
            r.basis >> r.padding >> has[3] >> values[3] >> bands;
        if (hasCoded) r.codedCount = coded;
        r.levelEpsilons.assign(levelEpsilons.begin(), levelEpsilons.end());
        if (has[0]) r.zerosTarget = values[0];
        if (has[1]) r.quantise = values[1];
        if (has[2]) r.entropyBpp = values[2];
        if (has[3]) r.bpp = values[3];
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

}  // namespace tesora::cli
