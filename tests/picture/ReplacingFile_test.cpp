// Writing files: a failed write keeps the earlier file byte for byte and leaves nothing
// behind; a replaced file keeps its permission bits, a new one gets the umask's.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "matrix/Error.h"
#include "picture/PictureFile.h"
#include "picture/ReplacingFile.h"
#include "support/FileSizeLimit.h"

namespace tesora::testing {
namespace {

class ReplacingFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QByteArray Contents(const QString& name) const {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    void Put(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    mode_t Mode(const QString& name) const {
        struct stat status {};
        EXPECT_EQ(stat(QFile::encodeName(Path(name)).constData(), &status), 0);
        return status.st_mode & 07777;
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir dir;
};

QImage Picture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    return picture;
}

TEST_F(ReplacingFileTest, FullDiskKeepsTheEarlierFileByteForByte) {
    const QByteArray earlier(3000, 'e');
    Put("out.bmp", earlier);
    {
        const FileSizeLimit full(2048);  // the new picture needs about 30 KB
        EXPECT_THROW(SavePictureFile(Picture(100, 100), Path("out.bmp")), Error);
        EXPECT_THROW(WriteFileReplacing(Path("new.txt"), QByteArray(5000, 'n')), Error);
    }
    EXPECT_EQ(Contents("out.bmp"), earlier);
    EXPECT_EQ(Files(), QStringList{"out.bmp"});  // no temporary, no half new file

    // With room again the same write succeeds and replaces the file.
    SavePictureFile(Picture(100, 100), Path("out.bmp"));
    EXPECT_EQ(LoadPictureFile(Path("out.bmp")), Picture(100, 100));
}

TEST_F(ReplacingFileTest, WithoutCommitNothingChanges) {
    Put("kept.txt", "old");
    {
        ReplacingFile file(Path("kept.txt"), "new");
        EXPECT_EQ(Contents("kept.txt"), "old");
    }
    EXPECT_EQ(Contents("kept.txt"), "old");
    EXPECT_EQ(Files(), QStringList{"kept.txt"});
}

TEST_F(ReplacingFileTest, ReplacedFilesKeepTheirModeNewFilesFollowTheUmask) {
    Put("private.bmp", "x");
    ASSERT_EQ(chmod(QFile::encodeName(Path("private.bmp")).constData(), 0600), 0);
    Put("shared.bmp", "x");
    ASSERT_EQ(chmod(QFile::encodeName(Path("shared.bmp")).constData(), 0664), 0);
    const mode_t savedMask = umask(027);
    SavePictureFile(Picture(4, 4), Path("private.bmp"));
    SavePictureFile(Picture(4, 4), Path("shared.bmp"));
    SavePictureFile(Picture(4, 4), Path("new.bmp"));
    umask(savedMask);
    EXPECT_EQ(Mode("private.bmp"), 0600u);
    EXPECT_EQ(Mode("shared.bmp"), 0664u);
    EXPECT_EQ(Mode("new.bmp"), 0640u);
}

}  // namespace
}  // namespace tesora::testing
