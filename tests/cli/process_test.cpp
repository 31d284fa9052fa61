// The real binary, started as a script would: exit statuses, help, one error line.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <unistd.h>
#include <sys/stat.h>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

class ProcessTest : public CliTest {
protected:
    struct Result {
        int status;
        QString out, err;
    };
    static QString Binary() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/tesora-cli"); }
    Result Start(const QStringList& args, const QByteArray& input = QByteArray(),
                 const QString& standardOutput = QString()) {
        QProcess process;
        if (!standardOutput.isEmpty()) process.setStandardOutputFile(standardOutput);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the tool decides itself
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(environment);
        process.start(Binary(), args);
        if (!input.isEmpty()) process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    void SetUp() override { ASSERT_TRUE(QFileInfo(Binary()).isExecutable()) << Binary().toStdString(); }
};

TEST_F(ProcessTest, HelpAndExitStatuses) {
    const Result help = Start({"compress", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Aufruf: tesora-cli compress BILD (--level L | --steps N)")));
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
    const Result run =
        Start({"sweep", picture, "--level", "3", "--epsilon", "2", "--positions", "0:100:50", "--plot", plot});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    // No progress (not a terminal); the note on the plot is a message, not data.
    EXPECT_EQ(run.err, QStringLiteral("Diagramm in %1\n").arg(plot));
    EXPECT_EQ(run.out.count('\n'), 4);  // header and 3 rows
    EXPECT_EQ(QImage(plot).size(), QSize(900, 600));
}

TEST_F(ProcessTest, AReportThatCannotBeWrittenIsAFailure) {
    const QString picture = Scene("scene.bmp", 40, 40);
    for (const QStringList& args :
         {QStringList{"compress", picture, "--level", "3"}, QStringList{"info", picture, "--json"},
          QStringList{"filters", "--position", "5"}}) {
        const Result full = Start(args, {}, QStringLiteral("/dev/full"));
        EXPECT_EQ(full.status, 1) << args.join(' ').toStdString();
        EXPECT_EQ(full.err, QStringLiteral("tesora-cli: Die Standardausgabe kann nicht geschrieben werden.\n"));
    }
}

TEST_F(ProcessTest, NamesThatAreNotUtf8AreReadAndWrittenUnderTheirOwnBytes) {
    // Latin-1 "é" (0xE9) in both names; the shell passes the bytes as they are.
    Scene("scene.bmp", 40, 40);
    const QByteArray folder = QFile::encodeName(dir.path());
    ASSERT_EQ(std::rename((folder + "/scene.bmp").constData(), (folder + "/caf\xe9.bmp").constData()), 0);
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("/bin/sh"),
                {"-c",
                 "exec \"$0\" compress \"$(printf 'caf\\351.bmp')\" --level 3 --reconstruction "
                 "\"$(printf 'r\\351sultat.png')\" --approximation \"$(printf 'n\\351u.bmp')\"",
                 Binary()});
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    struct stat status {};
    EXPECT_EQ(stat((folder + "/r\xe9sultat.png").constData(), &status), 0);
    EXPECT_EQ(stat((folder + "/n\xe9u.bmp").constData(), &status), 0);
    EXPECT_EQ(status.st_size, 40 * 40 * 3 + 54);
    // Nothing under a replacement name, no stand-in left over. Qt cannot list or remove
    // these names either, hence the system calls.
    QList<QByteArray> names;
    DIR* listing = opendir(folder.constData());
    ASSERT_NE(listing, nullptr);
    while (const dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.' || entry->d_name[1] == 't') names << entry->d_name;
    closedir(listing);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"caf\xe9.bmp", "n\xe9u.bmp", "r\xe9sultat.png"}));
    for (const QByteArray& name : names) unlink((folder + "/" + name).constData());
}

TEST_F(ProcessTest, PicturesComeInAndTablesGoOutThroughPipes) {
    const QString picture = Scene("scene.bmp", 40, 40);
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    const Result fromFile = Start({"compress", picture, "--level", "3", "--epsilon", "2", "--json"});
    const Result fromPipe = Start({"compress", "-", "--level", "3", "--epsilon", "2", "--json"}, bytes);
    ASSERT_EQ(fromPipe.status, 0) << fromPipe.err.toStdString();
    QJsonObject a = QJsonDocument::fromJson(fromFile.out.toUtf8()).object();
    QJsonObject b = QJsonDocument::fromJson(fromPipe.out.toUtf8()).object();
    EXPECT_EQ(b["picture"].toString(), QStringLiteral("-"));
    a.remove(QStringLiteral("picture")), b.remove(QStringLiteral("picture"));
    EXPECT_EQ(a, b);
    EXPECT_EQ(Start({"info", "-"}, QByteArray("kein Bild")).status, 1);

    // Workers share the bytes read once; the table alone reaches standard output.
    const QString plot = dir.filePath("p.png");
    const Result sweep = Start({"sweep", "-", "--level", "3", "--epsilons", "1,2", "--positions", "0:100:50", "--jobs",
                                "2", "--csv", "-", "--plot", plot},
                               bytes);
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    const QStringList lines = sweep.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 3 * 2);
    for (const QString& line : lines.mid(1)) EXPECT_TRUE(line.startsWith(QStringLiteral("-,3,"))) << line.toStdString();
    EXPECT_EQ(sweep.err, QStringLiteral("Diagramm in %1\n").arg(plot));
}

}  // namespace
}  // namespace tesora::testing
