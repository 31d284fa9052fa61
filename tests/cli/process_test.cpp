// The real binary, started as a script would: exit statuses, help, one error line.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

class ProcessTest : public CliTest {
protected:
    struct Result {
        int status;
        QString out, err;
    };
    static QString Binary() {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/tesora-cli");
    }
    Result Start(const QStringList& args) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the tool decides itself
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(Binary(), args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    void SetUp() override { ASSERT_TRUE(QFileInfo(Binary()).isExecutable()) << Binary().toStdString(); }
};

TEST_F(ProcessTest, HelpAndExitStatuses) {
    const Result help = Start({"compress", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Aufruf: tesora-cli compress BILD --level L")));
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();

    const Result usage = Start({"compress"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.out.isEmpty());
    EXPECT_EQ(usage.err, QStringLiteral("tesora-cli: Es fehlt ein Bild. (Hilfe: tesora-cli compress --help)\n"));

    const Result missing = Start({"info", dir.filePath("nothing.bmp")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.count('\n'), 1) << missing.err.toStdString();
}

TEST_F(ProcessTest, SweepDrawsItsPlotWithoutADisplay) {
    const QString picture = Scene("scene.bmp", 40, 40);
    const QString plot = dir.filePath("plot.png");
    const Result run = Start({"sweep", picture, "--level", "3", "--epsilon", "2", "--positions", "0:100:50",
                              "--plot", plot});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    // No progress (not a terminal); the note on the plot is a message, not data.
    EXPECT_EQ(run.err, QStringLiteral("Diagramm in %1\n").arg(plot));
    EXPECT_EQ(run.out.count('\n'), 4);  // header and 3 rows
    EXPECT_EQ(QImage(plot).size(), QSize(900, 600));
}

}  // namespace
}  // namespace tesora::testing
