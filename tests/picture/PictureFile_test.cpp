// Loading and saving picture files: formats, the RGB32 conversion, the error cases.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "picture/PictureFile.h"

namespace {

using tesora::LoadPictureFile;
using tesora::SavePictureFile;

class PictureFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(PictureFileTest, GreyEightBitBmpBecomesRgb32WithItsGreyValues) {
    QImage grey(5, 3, QImage::Format_Grayscale8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) grey.scanLine(y)[x] = static_cast<uchar>(x * 50 + y);
    ASSERT_TRUE(grey.save(Path("grey.bmp"), "BMP"));
    QFile raw(Path("grey.bmp"));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    ASSERT_EQ(static_cast<uchar>(raw.read(30)[28]), 8);  // really an 8-bit file

    const QImage loaded = LoadPictureFile(Path("grey.bmp"));
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    ASSERT_EQ(loaded.size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(qRed(loaded.pixel(x, y)), x * 50 + y);
}

TEST_F(PictureFileTest, ColourBmpKeepsRedGreenBlueApartAndSurvivesARoundTrip) {
    QImage colour(4, 2, QImage::Format_RGB32);
    colour.fill(qRgb(10, 20, 30));
    colour.setPixel(3, 1, qRgb(200, 100, 50));
    ASSERT_TRUE(colour.save(Path("colour.bmp"), "BMP"));

    QImage loaded = LoadPictureFile(Path("colour.bmp"));
    EXPECT_EQ(loaded.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(loaded.pixel(3, 1), qRgb(200, 100, 50));

    // Painting into an indexed picture would be ignored; the loaded one takes colours.
    loaded.setPixel(0, 0, qRgb(255, 0, 0));
    SavePictureFile(loaded, Path("out.bmp"));
    const QImage again = LoadPictureFile(Path("out.bmp"));
    EXPECT_EQ(again.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(again.pixel(3, 1), qRgb(200, 100, 50));

    QFile file(Path("out.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(30);
    ASSERT_EQ(header.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<uchar>(header[28]), 24);  // bits per pixel
}

TEST_F(PictureFileTest, PngIsAcceptedToo) {
    QImage picture(3, 3, QImage::Format_ARGB32);
    picture.fill(qRgba(7, 8, 9, 255));
    ASSERT_TRUE(picture.save(Path("p.png"), "PNG"));
    const QImage loaded = LoadPictureFile(Path("p.png"));
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    EXPECT_EQ(qRed(loaded.pixel(2, 2)), 7);
}

TEST_F(PictureFileTest, UnreadableFilesThrowGermanErrors) {
    EXPECT_THROW(LoadPictureFile(Path("missing.bmp")), tesora::Error);
    EXPECT_THROW(LoadPictureFile(dir.path()), tesora::Error);  // a folder

    QFile text(Path("text.bmp"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a picture at all");
    text.close();
    try {
        LoadPictureFile(Path("text.bmp"));
        FAIL() << "no error";
    } catch (const tesora::EmptyPictureError&) {
        FAIL() << "reported as empty";
    } catch (const tesora::Error& e) {
        EXPECT_NE(std::string(e.what()).find("kein lesbares Bild"), std::string::npos);
    }

    QFile empty(Path("empty.bmp"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_THROW(LoadPictureFile(Path("empty.bmp")), tesora::EmptyPictureError);
}

TEST_F(PictureFileTest, FailedWriteThrows) {
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(0);
    EXPECT_THROW(SavePictureFile(picture, Path("no/such/folder/x.bmp")), tesora::Error);
    EXPECT_FALSE(QFile::exists(Path("no/such/folder/x.bmp")));
}

}  // namespace
