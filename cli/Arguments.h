#pragma once
// Checked conversions of the command line's values and of output paths. Everything is
// checked before any work starts, so a bad argument never leaves a file behind.
#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesora::cli {

// The command line is wrong: exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Whole number 2 ... 10; whether the picture reaches it is checked once it is open.
int ParseLevel(const QString& text);
// Scroll bar position 0 ... 100.
int ParsePosition(const QString& text, const QString& option = QStringLiteral("--position"));
// Raw Delta 0 ... 1.
double ParseDelta(const QString& text);
// A non-negative number. The text itself is handed on, so the combo box's own
// conversion decides the value exactly as in the window.
QString CheckEpsilonText(const QString& text);
// Any finite number (the proposal copes with bounds of 0 and below).
QString CheckSchrankeText(const QString& text);

// FROM:TO:STEP with 0 <= FROM <= TO <= 100 and STEP >= 1.
std::vector<int> ParsePositions(const QString& text);

enum class PictureFormat { Bmp, Png };
// The format the extension asks for; anything but .bmp / .png is a usage error.
PictureFormat PictureFormatFor(const QString& path, const QString& option);

// The folder must exist and be writable and the path must not name a folder; throws
// tesora::Error (exit status 1) otherwise.
void CheckWritable(const QString& path);

}  // namespace tesora::cli
