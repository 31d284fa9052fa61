#pragma once
// "compress": the whole road of one picture with one level, Delta and Epsilon, and the
// figures it ends with. "sweep" runs it once per picture and scroll position.
#include <QJsonObject>
#include <QString>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"

namespace tesora::cli {

struct CompressSettings {
    int level = 0;
    std::optional<int> position;      // the Delta scroll bar, or
    std::optional<double> rawDelta;   // a Delta set directly
    std::optional<QString> epsilon;   // the Epsilon combo box's text; "Reduce" only if set
    QString approximation;            // output paths, empty for none
    QString coefficients;
    QString reconstruction;
};

struct Quality {
    double psnr;        // dB; +infinity for identical pictures
    double energyKept;  // %; NaN when the original has no energy (all black)
};

struct CompressResult {
    QString picture;
    int width = 0;
    int height = 0;
    int pictureLevel = 0;
    int level = 0;
    std::optional<int> position;
    double delta = 0;
    std::optional<double> epsilon;  // the value in force at "Reduce"
    int zeroCount = 0;
    double zeroShare = 0;
    double meanError = 0;
    Quality quality{};
    // The labels as the window shows them.
    std::string labProzent, labFehler, labDelta, labLevel;
};

// PSNR and energy kept over the red bytes of width x height pixels of both pictures.
Quality MeasureQuality(const QImage& reconstructed, const QImage& original, int width, int height);

// Runs the road; pictures asked for are added to `outputs` (not yet written). Throws
// tesora::Error for an unusable picture, UsageError for a level it does not reach.
CompressResult Compress(const QString& picture, const CompressSettings& settings, OutputFiles& outputs);

QJsonObject ToJson(const CompressResult& result);
QString ToText(const CompressResult& result);

// The level and Epsilon options, checked; for a `single` compress also Delta and the
// output files. Throws UsageError, or tesora::Error for an output that cannot be written.
CompressSettings ReadCompressSettings(const CommandLine& line, bool single);

// Figures that may be infinite or undefined: null in JSON, "inf" / "nan" in text.
QJsonValue JsonNumber(double value);
QString FullText(double value);

}  // namespace tesora::cli
