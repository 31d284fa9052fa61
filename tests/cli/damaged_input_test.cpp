// The real binary on damaged pictures: one line and exit 1, no decoder chatter, nothing
// written; and a usable picture gives the same bytes whatever the allocator leaves in
// fresh memory.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>

#include "CliHarness.h"
#include "support/DamagedPictures.h"

namespace tesora::testing {
namespace {

class DamagedInputTest : public CliTest {
protected:
    struct Outcome {
        int status;
        QByteArray out, err;
        QStringList files;  // name and checksum of every file the run left in its folder
    };
    // Runs tesora-cli in `folder` with the allocator filling fresh memory with `fill`.
    Outcome Start(const QStringList& args, int fill, const QString& folder) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MALLOC_PERTURB_"), QString::number(fill));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../cli/tesora-cli"), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        Outcome outcome{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                        process.readAllStandardOutput(),
                        process.readAllStandardError(),
                        {}};
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
            QFile file(QDir(folder).filePath(name));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            outcome.files << name + " " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        }
        return outcome;
    }
    QString Folder(const QString& name) {
        EXPECT_TRUE(QDir(dir.path()).mkpath(name));
        return dir.filePath(name);
    }
    static QStringList Compress(const QString& picture) {
        return {"compress",        picture, "--level",        "3",     "--epsilon",        "4",
                "--approximation", "a.bmp", "--coefficients", "c.png", "--reconstruction", "r.bmp"};
    }
};

// The 37 x 29 picture of which only five rows were stored gave three different errors
// under these three fill bytes; every damaged file must now end the same single way.
TEST_F(DamagedInputTest, DamagedPicturesEndWithOneLineAndNoOutputs) {
    std::vector<PictureBytes> files = SmallPictureFiles();
    files.push_back({"BMP 24-bit, five rows", "bmp", files[0].bytes.left(54 + 5 * 112)});
    for (const PictureBytes& kind : files) {
        const QByteArray cut =
            QByteArray(kind.kind).contains("five rows") ? kind.bytes : kind.bytes.left(kind.bytes.size() * 3 / 4);
        const QString folder = Folder(QString::fromLatin1(kind.kind).replace(' ', '_'));
        const QString picture = QStringLiteral("damaged.") + QString::fromLatin1(kind.suffix);
        QFile file(QDir(folder).filePath(picture));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(cut);
        file.close();
        for (const QStringList& args : {Compress(picture), QStringList{"info", picture}}) {
            for (const int fill : {0, 85, 170}) {
                if (args[0] == "info" && fill != 0) continue;  // no pixels used: once is enough
                const Outcome run = Start(args, fill, folder);
                EXPECT_EQ(run.status, 1) << kind.kind;
                EXPECT_TRUE(run.out.isEmpty()) << kind.kind;
                EXPECT_EQ(run.err.count('\n'), 1) << kind.kind << ": " << run.err.toStdString();
                EXPECT_TRUE(run.err.startsWith("tesora-cli: ")) << kind.kind << ": " << run.err.toStdString();
                EXPECT_TRUE(run.err.contains("beschädigt oder unvollständig"))
                    << kind.kind << ": " << run.err.toStdString();
                EXPECT_EQ(run.files,
                          QStringList{picture + " " + QCryptographicHash::hash(cut, QCryptographicHash::Sha1).toHex()})
                    << kind.kind;
            }
        }
    }
}

TEST_F(DamagedInputTest, TheSameFileGivesTheSameBytesWhateverFreshMemoryHolds) {
    for (const PictureBytes& kind : SmallPictureFiles()) {
        std::vector<Outcome> runs;
        for (const int fill : {0, 85, 170}) {
            const QString folder = Folder(QString::fromLatin1(kind.kind).replace(' ', '_') + QString::number(fill));
            const QString picture = QStringLiteral("picture.") + QString::fromLatin1(kind.suffix);
            QFile file(QDir(folder).filePath(picture));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(kind.bytes);
            file.close();
            runs.push_back(Start(Compress(picture), fill, folder));
            ASSERT_EQ(runs.back().status, 0) << kind.kind << ": " << runs.back().err.toStdString();
            EXPECT_TRUE(runs.back().err.isEmpty()) << kind.kind;
            EXPECT_EQ(runs.back().files.size(), 4) << kind.kind;
        }
        for (std::size_t i = 1; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].out, runs[0].out) << kind.kind;
            EXPECT_EQ(runs[i].files, runs[0].files) << kind.kind;
        }
    }
}

}  // namespace
}  // namespace tesora::testing
