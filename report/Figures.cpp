#include "report/Figures.h"

#include <QJsonArray>
#include <QTextStream>
#include <cmath>
#include <cstdint>

#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "report/NativeNames.h"
#include "tools/Reduction.h"

namespace tesora::report {
namespace {

const QRgb* Row(const QImage& image, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y)); }

QJsonValue Optional(const std::optional<double>& value) {
    return value ? JsonNumber(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue LevelEpsilons(const CompressResult& r) {
    if (r.levelEpsilons.empty()) return QJsonValue(QJsonValue::Null);
    QJsonArray list;
    for (double e : r.levelEpsilons) list.append(JsonNumber(e));
    return list;
}

QJsonArray Bands(const CompressResult& r) {
    QJsonArray list;
    for (const analysis::BandFigures& b : r.bands) {
        QJsonObject band{{"level", b.band.level},
                         {"kind", QString::fromLatin1(analysis::BandKindName(b.band.kind))},
                         {"own_count", static_cast<double>(b.ownCount)},
                         {"zeros", static_cast<double>(b.zeros)},
                         {"energy", JsonNumber(b.energy)},
                         {"max_abs", JsonNumber(b.maxAbs)}};
        if (b.codedCount) band.insert(QStringLiteral("coded_count"), static_cast<double>(*b.codedCount));
        if (b.entropyBits) band.insert(QStringLiteral("entropy_bits"), JsonNumber(*b.entropyBits));
        list.append(band);
    }
    return list;
}

}  // namespace

double OwnZeros::Share() const { return analysis::OwnZeroShare(zeros, details); }

analysis::RedPicture RedBytes(const QImage& image) {
    analysis::RedPicture red;
    red.width = image.width();
    red.height = image.height();
    red.red.resize(static_cast<std::size_t>(red.width) * static_cast<std::size_t>(red.height));
    for (int y = 0; y < red.height; ++y) {
        const QRgb* line = Row(image, y);
        for (int x = 0; x < red.width; ++x)
            red.red[static_cast<std::size_t>(y) * static_cast<std::size_t>(red.width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(qRed(line[x]));
    }
    return red;
}

CompressResult BaseResult(const QString& picture, const analysis::PictureAnalysis& analysis,
                          const CompressSettings& settings) {
    const analysis::RedPicture& red = analysis.Picture();
    CompressResult base;
    base.picture = picture;
    base.width = red.width;
    base.height = red.height;
    base.pictureLevel = analysis.LayoutInUse().pictureLevel;
    base.level = analysis.LayoutInUse().level;
    base.transformedRows = analysis::TransformedRows(red);
    base.position = settings.position;
    const bool blac = analysis.Options().basis == Basis::Blac;
    base.delta = blac ? analysis.FiltersInUse().delta : NAN;  // a lifting basis has no Delta
    base.basis = QString::fromLatin1(BasisName(analysis.Options().basis));
    base.padding =
        analysis.Options().padding == analysis::Padding::Mirror ? QStringLiteral("mirror") : QStringLiteral("zero");
    base.bpp = settings.bpp;
    base.schranke = 50.0;  // a fresh program's Schranke: no road here sets it
    base.rule = settings.rule.text;
    base.quantise = settings.quantise;
    base.synthesis = QString::fromLatin1(SynthesisName(analysis.SynthesisInUse()));
    return base;
}

CompressResult AnalyseRow(analysis::PictureAnalysis& analysis, const CompressResult& base,
                          const CompressSettings& settings, const RowAsked& asked, bool bands) {
    CompressResult result = base;
    analysis::RowRequest request;
    request.rule.kind = settings.rule.kind;
    request.rule.epsilons = settings.rule.epsilons;
    const bool levels = request.rule.kind == analysis::RuleKind::Levels;
    const bool reduce = asked.epsilon || asked.zeros || levels;
    // Without "Reduce" the flat rule at 0 removes nothing and only counts.
    if (asked.epsilon) request.rule.epsilon = ParseNumber(asked.epsilon->toStdString());
    request.zerosPercent = asked.zeros;
    request.quantiseStep = settings.quantise;
    request.bppTarget = settings.bpp;
    request.withBands = bands;
    const analysis::RowResult row = analysis.Row(request);
    result.quantise = row.quantiseStep;
    if (reduce && !levels) result.epsilon = row.rule.epsilon;
    if (levels) result.levelEpsilons = settings.rule.epsilons;
    result.zerosTarget = asked.zeros;
    result.zeroCount = row.rule.zeroCount;
    result.zeroShare = ReductionShare(row.rule.zeroCount, result.pictureLevel);
    result.own = {row.rule.ownZeros, row.rule.ownDetails};
    result.meanError = row.quality.meanError;
    result.quality = {row.quality.psnr, row.quality.energyKept};
    result.psnrExact = row.quality.psnrExact;
    const analysis::Quality& floor = analysis.Floor();
    result.floorMeanError = floor.meanError;
    result.floorPsnr = floor.psnr;
    result.floorPsnrExact = floor.psnrExact;
    result.entropyBpp = row.entropyBpp;
    result.codedCount = row.codedCount;
    result.bands = row.bands;
    // The labels as the window leaves them after "Fehler?".
    result.labProzent = reduce ? FormatShare(result.zeroShare) : "0 %";
    result.labFehler = FormatG(result.meanError);
    result.labDelta = "Delta: " + FormatG(result.delta);
    result.labLevel = "Level: " + FormatD(result.pictureLevel);
    return result;
}

QJsonObject ToJson(const CompressResult& r) {
    return QJsonObject{
        {"picture", JsonName(r.picture)},
        {"width", r.width},
        {"height", r.height},
        {"picture_level", r.pictureLevel},
        {"level", r.level},
        {"transformed_rows", r.transformedRows},
        {"position", r.position ? QJsonValue(*r.position) : QJsonValue(QJsonValue::Null)},
        {"delta", JsonNumber(r.delta)},
        {"epsilon", Optional(r.epsilon)},
        {"schranke", JsonNumber(r.schranke)},
        {"zero_count", r.zeroCount},
        {"zero_share", r.zeroShare},
        {"own_zero_count", static_cast<double>(r.own.zeros)},
        {"own_detail_count", static_cast<double>(r.own.details)},
        {"own_zero_share", JsonNumber(r.own.Share())},
        {"mean_error", r.meanError},
        {"psnr", JsonNumber(r.quality.psnr)},
        {"energy_kept", JsonNumber(r.quality.energyKept)},
        {"psnr_exact", JsonNumber(r.psnrExact)},
        {"floor_mean_error", r.floorMeanError},
        {"floor_psnr", JsonNumber(r.floorPsnr)},
        {"floor_psnr_exact", JsonNumber(r.floorPsnrExact)},
        {"synthesis", r.synthesis},
        {"coded_count", r.codedCount ? QJsonValue(static_cast<double>(*r.codedCount)) : QJsonValue(QJsonValue::Null)},
        {"steps", r.pictureLevel - r.level},
        {"rule", r.rule},
        {"level_epsilons", LevelEpsilons(r)},
        {"zeros_target", Optional(r.zerosTarget)},
        {"quantise", Optional(r.quantise)},
        {"bpp", Optional(r.bpp)},
        {"basis", r.basis},
        {"padding", r.padding},
        {"entropy_bpp", Optional(r.entropyBpp)},
        {"bands", Bands(r)},
        {"labels", QJsonObject{{"lab_prozent", QString::fromStdString(r.labProzent)},
                               {"lab_fehler", QString::fromStdString(r.labFehler)},
                               {"lab_delta", QString::fromStdString(r.labDelta)},
                               {"lab_level", QString::fromStdString(r.labLevel)}}},
    };
}

QString ToText(const CompressResult& r) {
    QString text;
    QTextStream out(&text);
    out << "Bild: " << r.picture << " (" << r.width << " x " << r.height << " Pixel, Level " << r.pictureLevel << ")\n";
    if (r.transformedRows < r.height)
        out << "Hinweis: nur die oberen " << r.transformedRows << " Zeilen werden transformiert.\n";
    out << "Level: " << r.level << '\n';
    if (r.basis != QLatin1String("blac")) {
        out << "Basis: " << r.basis << '\n';
    } else {
        out << "Delta: " << Shortest(r.delta);
        if (r.position) out << " (Position " << *r.position << ')';
        out << '\n';
    }
    if (r.padding != QLatin1String("zero")) out << "Rand: " << r.padding << '\n';
    if (r.bpp) out << "Zielrate: " << Shortest(*r.bpp) << " bit/Pixel\n";
    if (r.rule != QLatin1String("flat")) out << "Regel: " << r.rule << '\n';
    if (r.zerosTarget) out << "Ziel: " << Shortest(*r.zerosTarget) << " % eigene Nullkoeffs\n";
    if (r.epsilon) out << "Epsilon: " << Shortest(*r.epsilon) << '\n';
    out << "Nullkoeffs: " << QString::fromStdString(r.labProzent) << " (" << r.zeroCount << " Koeffizienten)\n";
    out << "Eigene Nullkoeffs: " << Shortest(r.own.Share()) << " % (" << r.own.zeros << " von " << r.own.details
        << " Details im Bild)\n";
    const auto decibels = [](double psnr) { return std::isinf(psnr) ? QStringLiteral("inf") : Shortest(psnr) + " dB"; };
    out << "Fehler: " << QString::fromStdString(r.labFehler) << '\n';
    out << "Fehler ohne Reduce: " << QString::fromStdString(FormatG(r.floorMeanError)) << " (PSNR "
        << decibels(r.floorPsnr) << ")\n";
    out << "PSNR: " << decibels(r.quality.psnr) << '\n';
    out << "PSNR der Rekonstruktion vor dem Runden: " << decibels(r.psnrExact) << '\n';
    out << "Energie erhalten: "
        << (std::isnan(r.quality.energyKept) ? QStringLiteral("nicht bestimmbar (schwarzes Bild)")
                                             : Shortest(r.quality.energyKept) + " %")
        << '\n';
    if (r.entropyBpp)
        out << "Entropie: " << Shortest(*r.entropyBpp) << " bit/Pixel (Q = " << Shortest(r.quantise.value_or(0))
            << ")\n";
    return text;
}

}  // namespace tesora::report
