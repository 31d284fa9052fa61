// tesora-cli: the program's road without windows. All the work is in RunCli.
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

#include "cli/Cli.h"

namespace {

// Standard error carries one line per failure; Qt's notes (such as the runtime folder
// of the off-screen platform) would bury it. Critical and fatal messages still pass.
QtMessageHandler defaultHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(QuietHandler);
    // Without a display the tool still draws its plot, off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tesora::cli::RunCli(QCoreApplication::arguments(), out, err, isatty(fileno(stderr)) != 0);
}
