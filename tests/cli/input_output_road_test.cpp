// Standard input takes the road of a file; outputs that are devices, FIFOs or too long
// a name; a failed rename undone; names that are not UTF-8 in CSV and JSON; one line
// per failure.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

class InputOutputRoadTest : public CliTest {
protected:
    struct Result {
        int status;
        QString out, err;
    };
    // The real program, for what only a separate process has: its own standard input.
    static Result Start(const QStringList& args, const QByteArray& input, const QString& inputFile = {}) {
        QProcess process;
        if (!inputFile.isEmpty()) process.setStandardInputFile(inputFile);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/tesora-cli"), args);
        if (inputFile.isEmpty()) {
            process.write(input);
            process.closeWriteChannel();
        }
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }
    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(InputOutputRoadTest, StandardInputPassesTheChecksOfAFile) {
    const QByteArray whole = Bytes(Scene("in.bmp", 40, 30));
    const struct {
        const char* name;
        QByteArray bytes;
        const char* message;
    } refused[] = {
        {"cut-off BMP", whole.left(whole.size() - 100), "beschädigt oder unvollständig"},
        {"PPM", QByteArray("P6 3 2 255\n") + QByteArray(18, '\0'), "kein lesbares Bild"},
        {"SVG", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1025\" height=\"20000\"/>", "kein lesbares Bild"},
        {"more than the bound", QByteArray((64 << 20) + 1, 'B'), "größer als 64 MiB"}};
    for (const auto& c : refused) {
        const Result r = Start({"info", "-"}, c.bytes);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << c.name << ": " << r.err.toStdString();
        EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << c.name;
    }
    const Result good = Start({"info", "-"}, whole);
    EXPECT_EQ(good.status, 0) << good.err.toStdString();
    // The file standard input reads is an input like any other.
    const QString in = dir.filePath(QStringLiteral("in.bmp"));
    const Result same = Start({"compress", "-", "--level", "3", "--reconstruction", in}, {}, in);
    EXPECT_EQ(same.status, 2) << same.err.toStdString();
    EXPECT_EQ(Bytes(in), whole);
}

TEST_F(InputOutputRoadTest, DevicesAndFifosAreWrittenIntoNeverReplaced) {
    const QString picture = Scene("in.bmp", 40, 30);
    const QString fifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] {
        QFile file(fifo);
        if (file.open(QIODevice::ReadOnly)) received = file.readAll();
    });
    const CliRun run = Run({"compress", picture, "--level", "3", "--reconstruction", fifo});
    reader.join();
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(received.startsWith("BM")) << received.size();
    struct stat status;
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // A device of our own, so that a fault could never replace the system's.
    const QString null = dir.filePath(QStringLiteral("null.bmp"));
    if (mknod(QFile::encodeName(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "making a device node needs root";
    EXPECT_EQ(Run({"compress", picture, "--level", "3", "--approximation", null}).status, 0);
    ASSERT_EQ(stat(QFile::encodeName(null).constData(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
}

TEST_F(InputOutputRoadTest, AFailedOutputUndoesTheOnesAlreadyRenamed) {
    const QString picture = Scene("in.bmp", 40, 30);
    const QString kept = Text("kept.bmp", "the earlier file");
    const QStringList before = Files();
    // Too long a name is found before any work, not at its rename.
    const QString tooLong = dir.filePath(QString(300, QLatin1Char('n')) + QStringLiteral(".bmp"));
    const CliRun longName =
        Run({"compress", picture, "--level", "3", "--approximation", kept, "--reconstruction", tooLong});
    EXPECT_EQ(longName.status, 1);
    EXPECT_TRUE(longName.err.contains(QStringLiteral("zu lang"))) << longName.err.toStdString();
    EXPECT_EQ(Bytes(kept), "the earlier file");

    // A full device fails last, after the regular file took its name: that is undone.
    const QString full = dir.filePath(QStringLiteral("full.bmp"));
    if (mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "making a device node needs root";
    const CliRun run = Run({"compress", picture, "--level", "3", "--reconstruction", full, "--approximation", kept});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
    EXPECT_EQ(Bytes(kept), "the earlier file");
    EXPECT_EQ(Files(), before);  // no temporary, no kept link left (devices are not listed)
}

TEST_F(InputOutputRoadTest, TextsNamesAndNumbers) {
    // A failing run that would also warn says one line.
    const QString picture = Scene("in.bmp", 40, 30);
    const CliRun failing = Run({"compress", picture, "--level", "3", "--epsilon", "2,5", "--position", "101"});
    EXPECT_EQ(failing.status, 2);
    EXPECT_EQ(failing.err.count(QLatin1Char('\n')), 1) << failing.err.toStdString();
    const CliRun warning = Run({"compress", picture, "--level", "3", "--epsilon", "2,5"});
    EXPECT_EQ(warning.status, 0);
    EXPECT_TRUE(warning.err.contains(QStringLiteral("Hinweis"))) << warning.err.toStdString();
    // "-0" is 0.
    const CliRun zero = Run({"filters", "--delta", "-0"});
    EXPECT_TRUE(zero.out.startsWith(QStringLiteral("Delta: 0\n"))) << zero.out.toStdString();

    // A name with a byte that is not UTF-8 (0xFF) and a backslash.
    const QByteArray native = QFile::encodeName(dir.path()) + "/a\xff\\b.bmp";
    ASSERT_TRUE(QFile::copy(picture, QStringLiteral("%1/plain.bmp").arg(dir.path())));
    ASSERT_EQ(rename(QFile::encodeName(dir.filePath(QStringLiteral("plain.bmp"))).constData(), native.constData()), 0);
    const QString name = dir.path() + QStringLiteral("/a") + QChar(char16_t{0xDCFF}) + QStringLiteral("\\b.bmp");
    const CliRun json = Run({"info", name, "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    EXPECT_EQ(json.Json()
                  .value(QStringLiteral("pictures"))
                  .toArray()
                  .at(0)
                  .toObject()
                  .value(QStringLiteral("picture"))
                  .toString(),
              dir.path() + QStringLiteral("/a\\xFF\\\\b.bmp"));
    EXPECT_FALSE(json.out.contains(QChar(char16_t{0xDCFF})));
    const QString csv = dir.filePath(QStringLiteral("table.csv"));
    const CliRun sweep =
        Run({"sweep", name, "--level", "3", "--positions", "0:0:1", "--epsilon", "5", "--jobs", "1", "--csv", csv});
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    EXPECT_TRUE(Bytes(csv).contains("\n" + native + ",3,0,")) << Bytes(csv).toStdString();
    unlink(native.constData());  // Qt's clean-up cannot name it
}

}  // namespace
}  // namespace tesora::testing
