#pragma once
// "compress": the whole road of one picture with one level, Delta and Epsilon, and the
// figures it ends with. "sweep" runs it once per picture, scroll position and Epsilon.
#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"
#include "tools/Analysis.h"

namespace tesora::cli {

struct CompressSettings {
    int level = 0;                    // --level, or
    std::optional<int> steps;         // levels below each picture's own
    RuleOption rule;                  // flat unless --rule
    std::optional<double> zeros;      // compress --zeros: a target share of own zeros
    std::optional<double> quantise;   // --quantise Q
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
    double psnrExact = 0;          // the reconstructed doubles, same rows
    double floorMeanError = 0;     // the same picture, level and Delta with nothing removed
    double floorPsnr = 0;
    QString rule = QStringLiteral("flat");
    std::vector<double> levelEpsilons;   // levels: one per step, coarsest first
    std::optional<double> zerosTarget;   // the --zeros share asked for
    std::optional<double> quantise;
    std::optional<double> entropyBpp;
    std::vector<analysis::BandFigures> bands;
    // The labels as the window shows them.
    std::string labProzent, labFehler, labDelta, labLevel;
};

// PSNR and energy kept over the red bytes of width x height pixels of both pictures.
Quality MeasureQuality(const QImage& reconstructed, const QImage& original, int width, int height);

// Counts at CurrentLevel: a coefficient stands at the grid point of its function on the
// picture's finest grid and is the picture's own when that point lies inside the
// picture's width x height.
OwnZeros CountOwnZeros();

// What one row asks of a decomposed picture: an Epsilon text as the box gets it, or a
// target share of own zeros (or neither: no "Reduce", unless the rule is levels).
struct RowAsked {
    std::optional<QString> epsilon;
    std::optional<double> zeros;
};

// The red bytes of an opened picture.
analysis::RedPicture RedBytes(const QImage& image);
// The level a run decomposes `picture` to (--level or --steps); UsageError when the
// picture does not reach it.
int LevelFor(const CompressSettings& settings, int width, const QString& picture);
// The figures of the part every row of a picture x Delta shares.
CompressResult BaseResult(const QString& picture, const analysis::PictureAnalysis& analysis,
                          const CompressSettings& settings);
// One row on the value road: the rule (or target), quantisation, reconstruction and
// measures, with the window's labels. `bands`: the per-band figures too.
CompressResult AnalyseRow(analysis::PictureAnalysis& analysis, const CompressResult& base,
                          const CompressSettings& settings, const RowAsked& asked, bool bands);

// One picture opened, Delta set and the matrix decomposed to the level: ready for one
// reduction or several, each on a copy of the decomposed coefficients. Only the pictures
// of the road (approximation, marked coefficients, reconstruction) come from here.
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
    // The same with a rule other than "Reduce": `reduce` zeroes and marks on the working
    // matrix and returns the count.
    void FinishWith(const std::function<int(const MatrixView&, PictureSurface&)>& reduce,
                    const CompressSettings& settings, OutputFiles& outputs);

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
// --steps, --rule and --quantise, shared by compress and sweep.
void AddMeasureOptions(CommandLine& line);

CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context);

}  // namespace tesora::cli
