#pragma once
// The figures one compress row ends with, and their JSON document and text report: the
// same fields whichever face asked for the row.
#include <QImage>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "report/Settings.h"
#include "tools/Analysis.h"

namespace tesora::report {

struct Quality {
    double psnr;        // dB; +infinity for identical pictures
    double energyKept;  // %; NaN when the original has no energy (all black)
};

// The zero detail coefficients among those standing inside the picture's own area.
struct OwnZeros {
    long long zeros = 0;
    long long details = 0;
    double Share() const;  // %; NaN without any such coefficient
};

struct CompressResult {
    QString picture;
    int width = 0;
    int height = 0;
    int pictureLevel = 0;
    int level = 0;
    int transformedRows = 0;  // the top rows the transform covers: min(height, 2^L + 1)
    std::optional<int> position;
    double delta = 0;
    std::optional<double> epsilon;  // the value in force at "Reduce"
    double schranke = 0;
    int zeroCount = 0;
    double zeroShare = 0;
    OwnZeros own;
    double meanError = 0;
    Quality quality{};          // over the transformed rows only
    double psnrExact = 0;       // the reconstructed doubles, same rows
    double floorMeanError = 0;  // the same picture, level and Delta with nothing removed
    double floorPsnr = 0;
    double floorPsnrExact = 0;
    QString synthesis = QStringLiteral("specified");
    std::optional<long long> codedCount;  // with a quantiser: the coefficients a decoder needs
    QString rule = QStringLiteral("flat");
    std::vector<double> levelEpsilons;  // levels: one per step, coarsest first
    std::optional<double> zerosTarget;  // the --zeros share asked for
    std::optional<double> quantise;     // the step quantised with (the one found for --bpp)
    std::optional<double> bpp;          // the rate asked for
    QString basis = QStringLiteral("blac");
    QString padding = QStringLiteral("zero");
    std::optional<double> entropyBpp;
    std::vector<analysis::BandFigures> bands;
    // The labels as the window shows them.
    std::string labProzent, labFehler, labDelta, labLevel;
};

// What one row asks of a decomposed picture: an Epsilon text as the box gets it, or a
// target share of own zeros (or neither: no "Reduce", unless the rule is levels).
struct RowAsked {
    std::optional<QString> epsilon;
    std::optional<double> zeros;
};

// The red bytes of an opened picture.
analysis::RedPicture RedBytes(const QImage& image);
// The figures of the part every row of a picture x Delta shares.
CompressResult BaseResult(const QString& picture, const analysis::PictureAnalysis& analysis,
                          const CompressSettings& settings);
// One row on the value road: the rule (or target), quantisation, reconstruction and
// measures, with the window's labels. `bands`: the per-band figures too.
CompressResult AnalyseRow(analysis::PictureAnalysis& analysis, const CompressResult& base,
                          const CompressSettings& settings, const RowAsked& asked, bool bands);

// Without "format": a document alone adds it, a list of rows carries it once.
QJsonObject ToJson(const CompressResult& result);
QString ToText(const CompressResult& result);

}  // namespace tesora::report
