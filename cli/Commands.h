#pragma once
// The subcommands. Each returns the exit status or throws UsageError / tesora::Error.
#include <QJsonObject>
#include <QStringList>
#include <optional>

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
int RunEncode(const QStringList& args, Context& context);
int RunDecode(const QStringList& args, Context& context);
int RunBd(const QStringList& args, Context& context);
int RunBestDelta(const QStringList& args, Context& context);

// What "info" says of a compressed file; nullopt for a file that does not begin as one.
// Throws tesora::Error for a damaged one.
struct CodedFileInfo {
    QJsonObject json;
    QString text;
};
std::optional<CodedFileInfo> ReadCodedFileInfo(const QString& path);

}  // namespace tesora::cli
