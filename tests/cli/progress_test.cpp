// Progress of a long run: rows, time gone and an estimate, at most ten updates a second.
#include <QRegularExpression>
#include <QTextStream>

#include <gtest/gtest.h>

#include "cli/Progress.h"

namespace tesora::testing {
namespace {

TEST(Progress, RowsTimeAndEstimateAtMostTenTimesASecond) {
    double now = 100;
    QString text;
    QTextStream err(&text);
    {
        cli::Progress progress(err, cli::ProgressMode::Terminal, 200, [&] { return now; });
        for (int i = 0; i < 100; ++i) {
            now += 0.02;  // fifty rows a second, two rows at a time
            progress.Advance(2);
        }
        err.flush();
        // Two seconds: the first row, then one update per 0.1 s at most, and the last.
        const auto updates = text.count('\r');
        EXPECT_GE(updates, 15);
        EXPECT_LE(updates, 22);
        // Halfway: one second gone, about one to go.
        EXPECT_TRUE(text.contains(
            QRegularExpression(QStringLiteral("\r(9[6-9]|10[0-4])/200 Zeilen, 0:01 vergangen, noch etwa 0:01"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\r200/200 Zeilen, 0:02 vergangen")));
    }
    err.flush();
    // Cleared at the end.
    EXPECT_TRUE(text.endsWith('\r'));
    EXPECT_TRUE(text.section('\r', -2, -2).trimmed().isEmpty());

    QString lines;
    QTextStream plain(&lines);
    now = 0;
    {
        cli::Progress progress(plain, cli::ProgressMode::Lines, 7, [&] { return now; });
        for (int i = 0; i < 7; ++i) {
            now += 60;
            progress.Advance(1);
        }
    }
    plain.flush();
    const QStringList shown = lines.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(shown.size(), 7) << lines.toStdString();  // each row passes a tenth of 7
    EXPECT_EQ(shown[0], QStringLiteral("Fortschritt: 10 % (1/7 Zeilen, 1:00 vergangen, noch etwa 6:00)"));
    EXPECT_EQ(shown[6], QStringLiteral("Fortschritt: 100 % (7/7 Zeilen, 7:00 vergangen)"));
    EXPECT_FALSE(lines.contains('\r'));
    EXPECT_EQ(cli::Duration(3723), QStringLiteral("1:02:03"));
    EXPECT_EQ(cli::ChooseProgress(false, false), cli::ProgressMode::Off);
    EXPECT_EQ(cli::ChooseProgress(false, true), cli::ProgressMode::Lines);
    EXPECT_EQ(cli::ChooseProgress(true, false), cli::ProgressMode::Terminal);
}

}  // namespace
}  // namespace tesora::testing
