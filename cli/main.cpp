// tesora-cli: the program's road without windows. All the work is in RunCli.
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/Cli.h"
#include "cli/Interrupt.h"
#include "platform/Platform.h"
#include "report/NativeNames.h"

namespace {

// Standard error carries one line per failure; Qt's notes (such as the runtime folder
// of the off-screen platform) would bury it. Critical and fatal messages still pass.
QtMessageHandler defaultHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) defaultHandler(type, context, message);
}

// Only the plots draw text, and text needs the GUI application with its fonts; every
// other run starts faster without it. A wrong guess costs a clear error, not a crash.
bool NeedsFonts(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "plot") == 0) return true;
    if (argc < 2 || (std::strcmp(argv[1], "sweep") != 0 && std::strcmp(argv[1], "filters") != 0)) return false;
    for (int i = 2; i < argc; ++i)
        if (std::strncmp(argv[i], "--plot", 6) == 0 || std::strncmp(argv[i], "-plot", 5) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(QuietHandler);
    tesora::cli::InstallInterruptCleanup();
    std::unique_ptr<QCoreApplication> app;
    if (NeedsFonts(argc, argv)) {
        // Without a display the plot is still drawn, off screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Not QCoreApplication::arguments(): it loses bytes of file names that are not UTF-8.
    return tesora::cli::RunCli(tesora::report::DecodeArguments(argc, argv), out, err,
                               tesora::platform::IsTerminal(stderr));
}
