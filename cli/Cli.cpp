#include "cli/Cli.h"

#include <exception>

#include "TesoraVersion.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/Road.h"
#include "matrix/Error.h"

namespace tesora::cli {
namespace {

const char* const kOverview =
    "Aufruf: tesora-cli BEFEHL [Optionen]\n"
    "Der Weg eines Bildes durch Tesora, ohne Fenster.\n"
    "\n"
    "Befehle:\n"
    "  info      Breite, Höhe und Level der Bilder\n"
    "  filters   Wavelet-Filter für eine Scroll-Position oder ein Delta\n"
    "  compress  Bild zerlegen, reduzieren, rekonstruieren und den Fehler messen\n"
    "  propose   \"Calc Delta\" auf dem geöffneten Bild\n"
    "  sweep     compress für viele Delta-Positionen, als CSV und Diagramm\n"
    "\n"
    "tesora-cli BEFEHL --help zeigt die Optionen eines Befehls,\n"
    "tesora-cli --version die Version.\n"
    "Jeder Befehl kennt --json.\n"
    "Exit-Status: 0 Erfolg, 1 Bild oder Ausgabedatei unbrauchbar, 2 falscher Aufruf.\n";

// A report that did not reach its reader is a failure, like an output file that
// could not be written (a full disk, a closed pipe, /dev/full).
int CheckStandardOutput(QTextStream& out, QTextStream& err, int status) {
    out.flush();
    if (out.status() == QTextStream::Ok) return status;
    err << "tesora-cli: Die Standardausgabe kann nicht geschrieben werden.\n";
    return status == kExitOk ? kExitFailure : status;
}

}  // namespace

int RunCli(const QStringList& args, QTextStream& out, QTextStream& err, bool progress) {
    Context context{out, err, progress};
    int status = kExitOk;
    try {
        const QString command = args.size() > 1 ? args.at(1) : QString();
        if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
            command == QLatin1String("help")) {
            out << kOverview;
        } else if (command == QLatin1String("--version")) {
            out << "tesora-cli " TESORA_VERSION "\n";
        } else if (command.isEmpty()) {
            throw UsageError(QStringLiteral("Es fehlt ein Befehl (tesora-cli --help zeigt alle)."));
        } else {
            StartProgram();
            if (command == QLatin1String("info")) status = RunInfo(args, context);
            else if (command == QLatin1String("filters")) status = RunFilters(args, context);
            else if (command == QLatin1String("compress")) status = RunCompress(args, context);
            else if (command == QLatin1String("propose")) status = RunPropose(args, context);
            else if (command == QLatin1String("sweep")) status = RunSweep(args, context);
            else
                throw UsageError(QStringLiteral("Unbekannter Befehl \"%1\" (tesora-cli --help zeigt alle).")
                                     .arg(command));
        }
    } catch (const UsageError& e) {
        err << "tesora-cli: " << QString::fromUtf8(e.what()) << '\n';
        status = kExitUsage;
    } catch (const Error& e) {
        err << "tesora-cli: " << QString::fromUtf8(e.what()) << '\n';
        status = kExitFailure;
    } catch (const std::bad_alloc&) {
        err << "tesora-cli: Zu wenig Speicher.\n";
        status = kExitFailure;
    }
    status = CheckStandardOutput(out, err, status);
    err.flush();
    return status;
}

}  // namespace tesora::cli
