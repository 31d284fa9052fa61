#pragma once
// "compress": the whole road of one picture with one level, Delta and Epsilon, and the
// figures it ends with. "sweep" runs it once per picture, scroll position and Epsilon.
#include <QJsonObject>
#include <QString>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"

namespace tesora::cli {

struct CompressSettings {
    int level = 0;
    std::optional<int> position;      // the Delta scroll bar, or
    std::optional<double> rawDelta;   // a Delta set directly
    std::optional<QString> epsilon;   // the Epsilon combo box's text; "Reduce" only if set
    QString approximation;            // output paths, empty for none
    QString coefficients;
    QString reconstruction;
    bool fit = false;                 // scale a too large picture down to fit
};

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
    Quality quality{};  // over the transformed rows only
    // The labels as the window shows them.
    std::string labProzent, labFehler, labDelta, labLevel;
};

// PSNR and energy kept over the red bytes of width x height pixels of both pictures.
Quality MeasureQuality(const QImage& reconstructed, const QImage& original, int width, int height);

// Counts at CurrentLevel: a coefficient stands at the grid point of its function on the
// picture's finest grid and is the picture's own when that point lies inside the
// picture's width x height.
OwnZeros CountOwnZeros();

// One picture opened, Delta set and the matrix decomposed to the level: ready for one
// reduction or several, each on a copy of the decomposed coefficients.
class Decomposition {
public:
    // Throws tesora::Error for an unusable picture, UsageError for a level it does not
    // reach. The approximation asked for is added to `outputs` (not yet written).
    // With the picture `opened` already (by LoadUsable), the file is not read at all:
    // "Fehler?" compares with `opened`.
    Decomposition(const QString& picture, const CompressSettings& settings, OutputFiles& outputs,
                  int reductions = 1, const QImage& opened = QImage());
    // "Reduce" with `epsilon` (none: no "Reduce"), track bar back up, "Fehler?".
    CompressResult Finish(const std::optional<QString>& epsilon, const CompressSettings& settings,
                          OutputFiles& outputs);

private:
    Road road_;
    CompressResult base_;
    std::optional<Road::Snapshot> decomposed_;
    int finished_ = 0;
};

// Runs the road once; pictures asked for are added to `outputs` (not yet written).
CompressResult Compress(const QString& picture, const CompressSettings& settings, OutputFiles& outputs);

QJsonObject ToJson(const CompressResult& result);
QString ToText(const CompressResult& result);

// The level and Epsilon options, checked; for a `single` compress also Delta and the
// output files. Throws UsageError, or tesora::Error for an output that cannot be written.
// A warning about an Epsilon text goes to context.err.
CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context);

}  // namespace tesora::cli
