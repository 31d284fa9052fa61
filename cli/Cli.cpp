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
    "  info        Breite, Höhe und Level der Bilder\n"
    "  filters     Wavelet-Filter für eine Scroll-Position oder ein Delta, oder ihr Diagramm\n"
    "  compress    Bild zerlegen, reduzieren, rekonstruieren und den Fehler messen\n"
    "  propose     \"Calc Delta\" auf dem geöffneten Bild\n"
    "  sweep       compress für viele Delta-Positionen und Epsilon, als CSV und Diagramm\n"
    "  plot        das Diagramm einer Tabelle von sweep, als PNG, SVG oder PDF\n"
    "  analyse     Koeffizientenmatrix, Bänder und eigene Koeffizienten als .npy-Dateien\n"
    "  synthesise  eine (veränderte) Koeffizientenmatrix zurück zum Bild\n"
    "  encode    das Bild als komprimierte Datei (.tsr)\n"
    "  decode    eine komprimierte Datei zurück zum Bild\n"
    "  bd          Bjøntegaard-Deltas der Kurven einer sweep-Tabelle gegen eine Bezugskurve\n"
    "  best-delta  das Delta mit der höchsten PSNR bei einer Rate, neben Delta 0 und \"Calc Delta\"\n"
    "\n"
    "tesora-cli BEFEHL --help zeigt die Optionen eines Befehls.\n"
    "Jeder Befehl kennt --json; tesora-cli --version zeigt die Version.\n"
    "Exit-Status: 0 Erfolg, 1 Bild oder Ausgabedatei unbrauchbar, 2 falscher Aufruf.\n";

// A report that did not reach its reader is a failure, like an output file that
// could not be written (a full disk, a closed pipe, /dev/full).
int CheckStandardOutput(QTextStream& out, QTextStream& err, int status) {
    out.flush();
    if (out.status() == QTextStream::Ok) return status;
    err << "tesora-cli: Die Standardausgabe kann nicht geschrieben werden.\n";
    return status == kExitOk ? kExitFailure : status;
}

QString OneLine(const QString& message) {
    // Names and fields from files may hold control characters: shown, never obeyed by the terminal.
    QString line;
    for (const QChar c : message) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            line += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

}  // namespace

int RunGuarded(QTextStream& err, const std::function<int()>& body) {
    try {
        return body();
    } catch (const UsageError& e) {
        err << "tesora-cli: " << OneLine(QString::fromUtf8(e.what())) << '\n';
        return kExitUsage;
    } catch (const Error& e) {
        err << "tesora-cli: " << OneLine(QString::fromUtf8(e.what())) << '\n';
    } catch (const std::bad_alloc&) {
        err << "tesora-cli: Zu wenig Speicher.\n";
    } catch (const std::exception& e) {
        // Anything else a library throws: still one line and a failure, never an abort.
        err << "tesora-cli: Unerwarteter Fehler: " << OneLine(QString::fromUtf8(e.what())) << '\n';
    }
    return kExitFailure;
}

int RunCli(const QStringList& args, QTextStream& out, QTextStream& err, bool progress) {
    Context context{out, err, progress};
    const int status = RunGuarded(err, [&] {
        const QString command = args.size() > 1 ? args.at(1) : QString();
        if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
            out << kOverview;
            return kExitOk;
        }
        if (command == QLatin1String("--version")) {
            out << "tesora-cli " << TESORA_VERSION << '\n';
            return kExitOk;
        }
        if (command.isEmpty()) throw UsageError(QStringLiteral("Es fehlt ein Befehl (tesora-cli --help zeigt alle)."));
        StartProgram();
        if (command == QLatin1String("info")) return RunInfo(args, context);
        if (command == QLatin1String("filters")) return RunFilters(args, context);
        if (command == QLatin1String("compress")) return RunCompress(args, context);
        if (command == QLatin1String("propose")) return RunPropose(args, context);
        if (command == QLatin1String("sweep")) return RunSweep(args, context);
        if (command == QLatin1String("plot")) return RunPlot(args, context);
        if (command == QLatin1String("analyse")) return RunAnalyse(args, context);
        if (command == QLatin1String("synthesise")) return RunSynthesise(args, context);
        if (command == QLatin1String("encode")) return RunEncode(args, context);
        if (command == QLatin1String("decode")) return RunDecode(args, context);
        if (command == QLatin1String("bd")) return RunBd(args, context);
        if (command == QLatin1String("best-delta")) return RunBestDelta(args, context);
        throw UsageError(QStringLiteral("Unbekannter Befehl \"%1\" (tesora-cli --help zeigt alle).").arg(command));
    });
    const int checked = CheckStandardOutput(out, err, status);
    if (checked == kExitOk)
        for (const QString& warning : context.warnings) err << "tesora-cli: " << OneLine(warning) << '\n';
    err.flush();
    return checked;
}

}  // namespace tesora::cli
