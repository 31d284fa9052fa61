// Outputs never lose data: a full disk keeps every earlier file, modes are kept or follow
// the umask, an interrupted run leaves no temporary file. And the extreme command lines
// that must still work: the smallest usable Delta, a step beyond every range.
#include <QFile>
#include <QJsonArray>
#include <cmath>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "CliHarness.h"
#include "cli/Interrupt.h"
#include "support/FileSizeLimit.h"

namespace tesora::testing {
namespace {

class OutputSafetyTest : public CliTest {
protected:
    QByteArray Contents(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    static mode_t Mode(const QString& path) {
        struct stat status {};
        EXPECT_EQ(stat(QFile::encodeName(path).constData(), &status), 0);
        return status.st_mode & 07777;
    }
};

TEST_F(OutputSafetyTest, FullDiskKeepsEveryEarlierOutputAndExitsWithOne) {
    const QString picture = Scene("scene.bmp", 64, 64);
    const QString approximation = Text("a.bmp", QByteArray(1000, 'a'));
    const QString reconstruction = Text("r.png", QByteArray(1000, 'r'));
    const QString csv = Text("s.csv", QByteArray(1000, 's'));
    CliRun compress{}, sweep{};
    {
        const FileSizeLimit full(4096);  // the BMP needs about 12 KB, the table about 10 KB
        compress = Run({"compress", picture, "--level", "3", "--approximation", approximation, "--reconstruction",
                        reconstruction});
        sweep = Run({"sweep", picture, "--level", "3", "--epsilon", "1", "--positions", "0:100:1", "--csv", csv});
    }
    for (const CliRun& run : {compress, sweep}) {
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("kann nicht geschrieben werden"))) << run.err.toStdString();
    }
    EXPECT_EQ(Contents(approximation), QByteArray(1000, 'a'));
    EXPECT_EQ(Contents(reconstruction), QByteArray(1000, 'r'));
    EXPECT_EQ(Contents(csv), QByteArray(1000, 's'));
    EXPECT_EQ(Files(), (QStringList{"a.bmp", "r.png", "s.csv", "scene.bmp"}));
}

TEST_F(OutputSafetyTest, ReplacedOutputsKeepTheirModeNewOnesFollowTheUmask) {
    const QString picture = Scene("scene.bmp", 40, 40);
    const QString kept = Text("kept.bmp", "old");
    ASSERT_EQ(chmod(QFile::encodeName(kept).constData(), 0600), 0);
    const mode_t savedMask = umask(027);
    const CliRun run = Run(
        {"compress", picture, "--level", "3", "--approximation", kept, "--reconstruction", dir.filePath("new.png")});
    umask(savedMask);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Mode(kept), 0600u);
    EXPECT_EQ(Mode(dir.filePath("new.png")), 0640u);
    EXPECT_EQ(QImage(kept).size(), QSize(40, 40));
}

TEST_F(OutputSafetyTest, TerminationRemovesTrackedTemporariesAndStillEndsTheRun) {
    // Forked, not re-run: the child must see this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    const QString first = Text(".tesora-a", "partial");
    const QString second = Text(".tesora-b", "partial");
    const QString untracked = Text("finished.bmp", "done");
    for (int signal : {SIGTERM, SIGINT}) {
        EXPECT_EXIT(
            {
                cli::InstallInterruptCleanup();
                const cli::TrackedTemporary a(QFile::encodeName(first));
                const cli::TrackedTemporary b(QFile::encodeName(second));
                { const cli::TrackedTemporary done(QFile::encodeName(untracked)); }  // committed: forgotten
                std::raise(signal);
            },
            ::testing::KilledBySignal(signal), "");
        EXPECT_EQ(Files(), QStringList{"finished.bmp"}) << signal;
        Text(".tesora-a", "partial");
        Text(".tesora-b", "partial");
    }
}

TEST_F(OutputSafetyTest, ASignalHandedToAHelperThreadWaitsWhileTheRenamesHoldIt) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const QString temporary = Text(".tesora-a", "partial");
    const QByteArray held = QFile::encodeName(dir.filePath(QStringLiteral("held")));
    EXPECT_EXIT(
        {
            cli::InstallInterruptCleanup();
            const cli::TrackedTemporary tracked(QFile::encodeName(temporary));
            std::atomic<bool> go{false};
            std::thread helper([&] {
                while (!go) std::this_thread::yield();
                pthread_kill(pthread_self(), SIGTERM);
            });
            sigset_t terms;
            sigemptyset(&terms);
            sigaddset(&terms, SIGTERM);
            pthread_sigmask(SIG_BLOCK, &terms, nullptr);
            go = true;
            helper.join();
            // Still alive with the temporary in place: the signal waits for the main thread.
            if (access(QFile::encodeName(temporary).constData(), F_OK) == 0) close(creat(held.constData(), 0600));
            pthread_sigmask(SIG_UNBLOCK, &terms, nullptr);
            _exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(Files(), QStringList{"held"});
}

TEST_F(OutputSafetyTest, SmallestUsableDeltaWorksEverywhere) {
    const QString picture = Scene("scene.bmp", 40, 40);
    const CliRun compress =
        Run({"compress", picture, "--level", "3", "--epsilon", "1", "--delta", "1.1107651257113995e-16", "--json"});
    ASSERT_EQ(compress.status, 0) << compress.err.toStdString();
    EXPECT_TRUE(std::isfinite(compress.Json()["meanError"].toDouble()));
    const CliRun filters = Run({"filters", "--delta", "1.1107651257113995e-16"});
    ASSERT_EQ(filters.status, 0) << filters.err.toStdString();
    EXPECT_FALSE(filters.out.contains(QStringLiteral("nan"))) << filters.out.toStdString();
    EXPECT_FALSE(filters.out.contains(QStringLiteral("inf"))) << filters.out.toStdString();
}

TEST_F(OutputSafetyTest, StepBeyondEveryIntegerGivesOneRow) {
    const QString picture = Scene("scene.bmp", 40, 40);
    for (const char* range : {"100:100:2147483647", "0:100:2147483647", "99:100:2147483647"}) {
        const CliRun run = Run({"sweep", picture, "--level", "3", "--epsilon", "1", "--positions", range, "--json"});
        ASSERT_EQ(run.status, 0) << range << ": " << run.err.toStdString();
        EXPECT_EQ(run.Json()["runs"].toArray().size(), 1) << range;
    }
}

}  // namespace
}  // namespace tesora::testing
