#pragma once
// The command line of tesora: `tesora [FILE]` plus --help, --version and
// --samples-folder. The questions that need no window are answered before the
// application object exists, so they work without a display.
#include <QString>
#include <QStringList>
#include <optional>

namespace tesora {

struct EarlyExit {
    QString text;  // ends with a newline
    bool toStandardError;
    int status;
};

// Qt's -platform option or one of the variables its platforms read.
bool DisplayAvailable(const QStringList& args);

// --help, --version, --samples-folder (found from `executableFolder`), or no display to
// open the windows on; nothing for a normal start.
std::optional<EarlyExit> CheckEarlyExit(const QStringList& args, bool displayAvailable,
                                        const QString& executableFolder);

// The picture named on the command line once Qt has taken its own options out: an empty
// file when there is none, or a usage error.
struct PictureArgument {
    QString file;
    std::optional<EarlyExit> error;
};
PictureArgument FindPictureArgument(const QStringList& args);

// The running executable's folder, without an application object.
QString ExecutableFolder(const char* argv0);

}  // namespace tesora
