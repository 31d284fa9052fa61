#pragma once
// Checked conversions of the command line's values and of output paths. Everything is
// checked before any work starts, so a bad argument never leaves a file behind.
#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

#include "plot/UsageError.h"
#include "report/Settings.h"

namespace tesora::cli {

// The command line is wrong: exit status 2. The plots throw it for their options too.
using plot::UsageError;

// A whole number low ... high for `option` ("--steps"), refused in the common words.
int ParseWhole(const QString& text, const QString& option, int low, int high);
// Whole number 2 ... 10; whether the picture reaches it is checked once it is open.
int ParseLevel(const QString& text);
// Scroll bar position 0 ... 100.
int ParsePosition(const QString& text, const QString& option = QStringLiteral("--position"));
// Raw Delta 0 ... 1.
double ParseDelta(const QString& text, const QString& option = QStringLiteral("--delta"));
// --deltas: a comma list of Deltas, each as --delta takes it.
std::vector<double> ParseDeltaList(const QString& text);
// --steps: levels below the picture's own, 1 to 8.
int ParseSteps(const QString& text);
// --zeros: a share in %, 0 < P <= 100; a sweep takes a comma list.
std::vector<double> ParseZeros(const QString& text, bool list);
// --quantise: a step Q > 0.
double ParseQuantise(const QString& text);
// --synthesis: specified or exact.
Synthesis ParseSynthesisOption(const QString& text);
// --bpp: a rate in bits per pixel, above 0.
double ParseRate(const QString& text);
// A comma list, each item read by `parse` (a sweep's --quantise and --bpp).
std::vector<double> ParseList(const QString& text, double (*parse)(const QString&));
// --rule: flat, norm or levels:E1,E2,... (Epsilons from 0, coarsest step first).
report::RuleOption ParseRule(const QString& text);
// A non-negative number. The text itself is handed on, so the combo box's own
// conversion decides the value exactly as in the window: the longest numeric prefix
// ("2,5" reads as 2). When characters were ignored, *warning gets one line saying so.
QString CheckEpsilonText(const QString& text, QString* warning = nullptr);
// Any number (the proposal copes with bounds of 0 and below), read the same way.
QString CheckSchrankeText(const QString& text, QString* warning = nullptr);

// What a combo box makes of a text: strtod in the "C" locale. `used` is the length of
// the numeric prefix after leading blanks, 0 when the text does not begin with a number.
struct BoxNumber {
    double value = 0;
    qsizetype used = 0;
    QString ignored;  // what follows the prefix (trailing blanks dropped)
};
BoxNumber ReadBoxNumber(const QString& text);

// Comma list of Epsilon texts or START:STOP:STEP (STEP > 0, at most 10000 values).
// Each value is checked as --epsilon is; warnings as for CheckEpsilonText.
QStringList ParseEpsilonList(const QString& text, QStringList* warnings);

// The number of worker processes, 1 ... 256.
int ParseJobs(const QString& text);

// FROM:TO:STEP with 0 <= FROM <= TO <= 100 and STEP >= 1.
std::vector<int> ParsePositions(const QString& text);

enum class PictureFormat { Bmp, Png };
// The format the extension asks for; anything but .bmp / .png is a usage error.
PictureFormat PictureFormatFor(const QString& path, const QString& option);

// The folder must exist and be writable and the path must not name a folder; throws
// tesora::Error (exit status 1) otherwise. A FIFO must have a reader now; it is held
// open until ReleaseFifos.
void CheckWritable(const QString& path);
void ReleaseFifos();

}  // namespace tesora::cli
