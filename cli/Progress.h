#pragma once
// How far a long run is: rows done of all rows, the time so far and an estimate of the
// time left, on standard error. On a terminal one line rewritten in place (at most ten
// times a second, blanked at the end); elsewhere, when asked for, a plain line per tenth.
#include <QString>
#include <QTextStream>
#include <functional>

namespace tesora::cli {

enum class ProgressMode { Off, Terminal, Lines };

// Terminal when standard error is one, Lines when asked for elsewhere, else Off.
ProgressMode ChooseProgress(bool errIsTerminal, bool asked);

// "0:07", "12:34", "1:02:03".
QString Duration(double seconds);

class Progress {
public:
    // `now` gives seconds on a steady clock (the tests pass their own).
    Progress(QTextStream& err, ProgressMode mode, long long total, std::function<double()> now = {});
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Advance(long long rows);
    // Blanks the terminal line, so whatever follows starts on a clean line.
    void Finish();

private:
    QString Line() const;

    QTextStream& err_;
    ProgressMode mode_;
    long long total_, done_ = 0;
    std::function<double()> now_;
    double start_ = 0, shownAt_ = -1;
    int tenthsShown_ = 0;
    qsizetype width_ = 0;  // of the longest terminal line written
};

}  // namespace tesora::cli
