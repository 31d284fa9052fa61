#include "app/Launch.h"

#include <QFileInfo>
#include <QtGlobal>

#include "TesoraVersion.h"
#include "app/DataFolders.h"

namespace tesora {
namespace {

const char* const kHelp =
    "Aufruf: tesora [DATEI]\n"
    "Zeigt, wie ein Bild mit BLaC-Wavelets in mehrere Auflösungsstufen zerlegt und\n"
    "komprimiert wird. Mit DATEI öffnet Tesora dieses Bild wie \"Öffnen\".\n"
    "\n"
    "Optionen:\n"
    "  -h, --help            diese Hilfe zeigen und beenden\n"
    "  -v, --version         die Version zeigen und beenden\n"
    "      --samples-folder  den Ordner der Beispielbilder zeigen und beenden\n"
    "\n"
    "Außerdem gelten die Optionen von Qt, z. B. -platform offscreen.\n"
    "Ohne Fenster: tesora-cli --help.\n"
    "\n"
    "Anleitung für Studierende (mit einem ersten Versuch): /usr/share/doc/tesora/anleitung.md\n"
    "(bei einer Installation unter PREFIX: PREFIX/share/doc/tesora; im Quellbaum docs/).\n"
    "\n"
    "Exit-Status: 0 beendet, 1 kein Bildschirm, 2 falscher Aufruf.\n";

const char* const kNoDisplay =
    "tesora: Kein Bildschirm (DISPLAY ist leer). Ohne Fenster rechnet tesora-cli dieselben Schritte "
    "(tesora-cli --help zeigt die Befehle).\n";

EarlyExit UsageError(const QString& message) {
    return {QStringLiteral("tesora: ") + message + QStringLiteral(" (tesora --help zeigt die Optionen)\n"), true, 2};
}

}  // namespace

bool DisplayAvailable(const QStringList& args) {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || args.contains(QStringLiteral("-platform"));
}

std::optional<EarlyExit> CheckEarlyExit(const QStringList& args, bool displayAvailable,
                                        const QString& executableFolder) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--")) break;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return EarlyExit{QString::fromUtf8(kHelp), false, 0};
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v"))
            return EarlyExit{QStringLiteral("tesora " TESORA_VERSION "\n"), false, 0};
        if (arg == QLatin1String("--samples-folder")) {
            const QString folder = FindSamplesFolder(executableFolder);
            if (folder.isEmpty()) return EarlyExit{QStringLiteral("tesora: Keine Beispielbilder gefunden.\n"), true, 1};
            return EarlyExit{folder + QLatin1Char('\n'), false, 0};
        }
    }
    if (!displayAvailable) return EarlyExit{QString::fromUtf8(kNoDisplay), true, 1};
    return std::nullopt;
}

PictureArgument FindPictureArgument(const QStringList& args) {
    PictureArgument result;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            result.error = UsageError(QStringLiteral("Unbekannte Option \"%1\".").arg(arg));
            return result;
        } else if (!result.file.isEmpty()) {
            result.error = UsageError(QStringLiteral("Nur eine Datei, bitte."));
            return result;
        } else {
            result.file = arg;
        }
    }
    return result;
}

QString ExecutableFolder(const char* argv0) {
    // Linux names the running binary here, whatever the start path or links.
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists()) return QFileInfo(self.canonicalFilePath()).absolutePath();
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

}  // namespace tesora
