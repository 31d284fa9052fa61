#pragma once
// The command-line tool without its entry point, so the tests run it in-process.
#include <QStringList>
#include <QTextStream>
#include <functional>

#include "cli/ExitCodes.h"

namespace tesora::cli {

// args[0] is the program name, args[1] the subcommand. Reports go to `out`, the one
// error line (and progress, when `progress` is set) to `err`. Needs a QGuiApplication
// only for the plot of "sweep".
int RunCli(const QStringList& args, QTextStream& out, QTextStream& err, bool progress = false);

// Runs `body` and turns what it throws into one line on `err` and an exit status:
// UsageError 2, anything else 1. Returns the body's status otherwise.
int RunGuarded(QTextStream& err, const std::function<int()>& body);

}  // namespace tesora::cli
