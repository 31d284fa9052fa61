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
#include "report/Figures.h"
#include "tools/Analysis.h"

namespace tesora::cli {

// The level a run decomposes `picture` to (--level or --steps); UsageError when the
// picture does not reach it.
int LevelFor(const report::CompressSettings& settings, int width, const QString& picture);

// Runs the road once; pictures asked for are added to `outputs` (not yet written).
report::CompressResult Compress(const QString& picture, const report::CompressSettings& settings, OutputFiles& outputs);

// The level and Epsilon options, checked; for a `single` compress also Delta and the
// output files. Throws UsageError, or tesora::Error for an output that cannot be written.
// A warning about an Epsilon text goes to context.err.
// --steps, --rule, --quantise and the rest shared by compress and sweep; `lists`: a sweep's
// --quantise and --bpp take lists.
void AddMeasureOptions(CommandLine& line, bool lists = false);

// --basis NAME (and each name of a sweep's --bases): blac or a lifting basis.
Basis ParseBasisOption(const QString& text, const QString& option);

report::CompressSettings ReadCompressSettings(const CommandLine& line, bool single, Context& context);

}  // namespace tesora::cli
