#pragma once
// "compress": the whole road of one picture with one level, Delta and Epsilon, and the
// figures it ends with (report/Figures.h, which the Python module fills the same way).
// "sweep" runs it once per picture, scroll position and Epsilon.
#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "cli/Arguments.h"
#include "cli/CommandLine.h"
#include "cli/OutputFiles.h"
#include "cli/Road.h"
#include "report/Figures.h"
#include "tools/Analysis.h"

namespace tesora::cli {

// Counts at CurrentLevel: a coefficient stands at the grid point of its function on the
// picture's finest grid and is the picture's own when that point lies inside the
// picture's width x height.
report::OwnZeros CountOwnZeros();

// The level a run decomposes `picture` to (--level or --steps); UsageError when the
// picture does not reach it.
int LevelFor(const report::CompressSettings& settings, int width, const QString& picture);

// One picture opened, Delta set and the matrix decomposed to the level: ready for one
// reduction or several, each on a copy of the decomposed coefficients. Only the pictures
// of the road (approximation, marked coefficients, reconstruction) come from here.
class Decomposition {
public:
    // Throws tesora::Error for an unusable picture, UsageError for a level it does not
    // reach. The approximation asked for is added to `outputs` (not yet written).
    // With the picture `opened` already (by LoadUsable), the file is not read at all:
    // "Fehler?" compares with `opened`.
    Decomposition(const QString& picture, const report::CompressSettings& settings, OutputFiles& outputs,
                  int reductions = 1, const QImage& opened = QImage());
    // "Reduce" with `epsilon` (none: no "Reduce"), track bar back up, "Fehler?".
    report::CompressResult Finish(const std::optional<QString>& epsilon, const report::CompressSettings& settings,
                                  OutputFiles& outputs);
    // The same with a rule other than "Reduce": `reduce` zeroes and marks on the working
    // matrix and returns the count.
    void FinishWith(const std::function<int(const MatrixView&, PictureSurface&)>& reduce,
                    const report::CompressSettings& settings, OutputFiles& outputs);

private:
    Road road_;
    report::CompressResult base_;
    std::optional<Road::Snapshot> decomposed_;
    int finished_ = 0;
};

// Runs the road once; pictures asked for are added to `outputs` (not yet written).
report::CompressResult Compress(const QString& picture, const report::CompressSettings& settings,
                                OutputFiles& outputs);

// The level and Epsilon options, checked; for a `single` compress also Delta and the
// output files. Throws UsageError, or tesora::Error for an output that cannot be written.
// A warning about an Epsilon text goes to context.err.
// --steps, --rule and --quantise, shared by compress and sweep.
void AddMeasureOptions(CommandLine& line);

report::CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context);

}  // namespace tesora::cli
