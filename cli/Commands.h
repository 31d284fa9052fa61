#pragma once
// The subcommands. Each returns the exit status or throws UsageError / tesora::Error.
#include <QStringList>

#include "cli/CommandLine.h"
#include "cli/ExitCodes.h"

namespace tesora::cli {

int RunInfo(const QStringList& args, Context& context);
int RunFilters(const QStringList& args, Context& context);
int RunCompress(const QStringList& args, Context& context);
int RunPropose(const QStringList& args, Context& context);
int RunSweep(const QStringList& args, Context& context);
int RunPlot(const QStringList& args, Context& context);
int RunAnalyse(const QStringList& args, Context& context);
int RunSynthesise(const QStringList& args, Context& context);

}  // namespace tesora::cli
