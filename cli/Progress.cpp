#include "cli/Progress.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tesora::cli {
namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressMode ChooseProgress(bool errIsTerminal, bool asked) {
    if (errIsTerminal) return ProgressMode::Terminal;
    return asked ? ProgressMode::Lines : ProgressMode::Off;
}

QString Duration(double seconds) {
    const auto total = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    const long long h = total / 3600, m = total / 60 % 60, s = total % 60;
    if (h > 0) return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

Progress::Progress(QTextStream& err, ProgressMode mode, long long total, std::function<double()> now)
    : err_(err),
      mode_(total > 0 ? mode : ProgressMode::Off),
      total_(total),
      now_(now ? std::move(now) : std::function<double()>(SteadySeconds)) {
    start_ = now_();
}

QString Progress::Line() const {
    const double elapsed = now_() - start_;
    QString line = QStringLiteral("%1/%2 Zeilen, %3 vergangen").arg(done_).arg(total_).arg(Duration(elapsed));
    // The rows so far set the pace; before the first there is nothing to go by.
    if (done_ > 0 && done_ < total_)
        line += QStringLiteral(", noch etwa %1")
                    .arg(Duration(elapsed * static_cast<double>(total_ - done_) / static_cast<double>(done_)));
    return line;
}

void Progress::Advance(long long rows) {
    if (mode_ == ProgressMode::Off) return;
    done_ = std::min(total_, done_ + rows);
    if (mode_ == ProgressMode::Lines) {
        const auto tenths = static_cast<int>(done_ * 10 / total_);
        if (tenths <= tenthsShown_) return;
        tenthsShown_ = tenths;
        err_ << QStringLiteral("Fortschritt: %1 % (").arg(tenths * 10) << Line() << ")\n";
        err_.flush();
        return;
    }
    // A terminal redrawn more often than this only flickers; the last row always shows.
    const double t = now_();
    if (done_ < total_ && shownAt_ >= 0 && t - shownAt_ < 0.1) return;
    shownAt_ = t;
    const QString line = Line();
    err_ << '\r' << line.leftJustified(width_);
    width_ = std::max(width_, line.size());
    err_.flush();
}

void Progress::Finish() {
    if (mode_ == ProgressMode::Terminal && width_ > 0) {
        err_ << '\r' << QString(width_, QLatin1Char(' ')) << '\r';
        err_.flush();
    }
    width_ = 0;
    mode_ = ProgressMode::Off;
}

}  // namespace tesora::cli
