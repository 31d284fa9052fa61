// Damaged picture files: every truncation of every kind of file, and headers that
// promise more than the file holds, are refused or give exactly the whole picture.
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <iostream>

#include <gtest/gtest.h>

#include "picture/PictureFile.h"
#include "support/DamagedPictures.h"

namespace tesora::testing {
namespace {

class DamagedFilesTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile::remove(path);  // truncating a written file forces it to disk first: slow
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    // The message of the refusal, or "" when the file loaded.
    static std::string Refusal(const QString& path, QImage* loaded = nullptr) {
        try {
            const QImage image = LoadPictureFile(path);
            if (loaded) *loaded = image;
            return {};
        } catch (const Error& e) {
            return e.what();
        }
    }
    static void Patch(QByteArray& bytes, int at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }

    QTemporaryDir dir;
};

TEST_F(DamagedFilesTest, EveryTruncationIsRefusedOrGivesTheWholePicture) {
    for (const PictureBytes& kind : SmallPictureFiles()) {
        const QString suffix = QString::fromLatin1(kind.suffix);
        QImage whole;
        ASSERT_EQ(Refusal(Write("whole." + suffix, kind.bytes), &whole), "") << kind.kind;
        ASSERT_EQ(whole.size(), QSize(37, 29)) << kind.kind;
        int refused = 0;
        for (int length = 1; length < kind.bytes.size(); ++length) {
            QImage loaded;
            const std::string refusal = Refusal(Write("cut." + suffix, kind.bytes.left(length)), &loaded);
            if (!refusal.empty()) {
                ++refused;
                continue;
            }
            // Only the end marker may be missing: every pixel must be the whole file's.
            EXPECT_EQ(loaded, whole) << kind.kind << " cut to " << length << " of " << kind.bytes.size();
        }
        std::cout << kind.kind << ": " << kind.bytes.size() - 1 << " truncations, " << refused << " refused\n";
        // An uncompressed BMP has no end marker: any cut loses pixels.
        if (kind.suffix == QByteArray("bmp") && !QByteArray(kind.kind).contains("RLE")) {
            EXPECT_EQ(refused, kind.bytes.size() - 1) << kind.kind;
        }
    }
}

TEST_F(DamagedFilesTest, ACutInThePixelsIsReportedAsDamage) {
    for (const PictureBytes& kind : SmallPictureFiles()) {
        const QString path =
            Write("cut." + QString::fromLatin1(kind.suffix), kind.bytes.left(kind.bytes.size() * 3 / 4));
        EXPECT_NE(Refusal(path).find("ist beschädigt oder unvollständig"), std::string::npos)
            << kind.kind << ": " << Refusal(path);
    }
}

// Logging rules that silence Qt's warnings (QT_LOGGING_RULES="qt.*=false" quiets a
// desktop session) must not silence the decoders' complaints about a damaged file.
TEST_F(DamagedFilesTest, DamageIsFoundWhateverTheLoggingRules) {
    for (const char* rules : {"*.warning=false", "qt.*=false", "default.warning=false\n*.critical=false"}) {
        QLoggingCategory::setFilterRules(QString::fromLatin1(rules));
        for (const PictureBytes& kind : SmallPictureFiles()) {
            const QString path =
                Write("cut." + QString::fromLatin1(kind.suffix), kind.bytes.left(kind.bytes.size() * 3 / 4));
            EXPECT_NE(Refusal(path).find("ist beschädigt oder unvollständig"), std::string::npos)
                << rules << " " << kind.kind << ": " << Refusal(path);
        }
        // Afterwards the user's rules hold again.
        if (QByteArray(rules).startsWith("*.warning")) {
            EXPECT_FALSE(QLoggingCategory::defaultCategory()->isWarningEnabled());
        }
    }
    QLoggingCategory::setFilterRules(QString());
}

TEST_F(DamagedFilesTest, HeadersPromisingMoreThanTheFileHoldsAreRefused) {
    const std::vector<PictureBytes> files = SmallPictureFiles();
    const QByteArray bmp24 = files[0].bytes, rle8 = files[3].bytes, png = files[4].bytes, jpeg = files[5].bytes,
                     gif = files[6].bytes;

    QByteArray taller = bmp24;
    Patch(taller, 22, 40, 4);  // 40 rows announced, 29 stored
    EXPECT_NE(Refusal(Write("taller.bmp", taller)), "");

    QByteArray offset = bmp24;
    Patch(offset, 10, static_cast<std::uint32_t>(bmp24.size() + 100), 4);  // pixels after the end
    EXPECT_NE(Refusal(Write("offset.bmp", offset)), "");

    QByteArray topDown = bmp24;
    Patch(topDown, 22, static_cast<std::uint32_t>(-40), 4);
    EXPECT_NE(Refusal(Write("topdown.bmp", topDown)), "");

    // The last row's literal stretch claims 255 pixels: the stream runs off the file.
    QByteArray literal = rle8;
    const auto lastLiteral = static_cast<int>(rle8.size()) - 2 - 2 - 20 - 2;  // EOB, EOL, 19 pixels + pad, escape
    ASSERT_EQ(literal[lastLiteral], '\0');
    ASSERT_EQ(static_cast<int>(literal[lastLiteral + 1]), 19);
    literal[lastLiteral + 1] = static_cast<char>(255);
    EXPECT_NE(Refusal(Write("literal.bmp", literal)), "");

    QByteArray chunk = png;
    const auto idat = static_cast<int>(chunk.indexOf("IDAT")) - 4;
    Patch(chunk, idat, 0x01000000, 4);  // big-endian 16 MiB, not there
    EXPECT_NE(Refusal(Write("chunk.png", chunk)), "");

    QByteArray frame = jpeg;
    const auto sof = static_cast<int>(frame.indexOf("\xFF\xC0"));
    ASSERT_GT(sof, 0);
    frame[sof + 5] = 0;  // height 29 -> 60 (big-endian 0x003C)
    frame[sof + 6] = 60;
    EXPECT_NE(Refusal(Write("frame.jpg", frame)), "");

    // The last data sub-block's length grows by one: the chain runs into the trailer.
    QByteArray subBlock = gif;
    const int dataStart = 13 + 768 + 8 + 10 + 1;
    int at = dataStart;
    while (static_cast<std::uint8_t>(subBlock[at + 1 + static_cast<std::uint8_t>(subBlock[at])]) != 0)
        at += 1 + static_cast<std::uint8_t>(subBlock[at]);
    ASSERT_LT(static_cast<std::uint8_t>(subBlock[at]), 255);
    subBlock[at] = static_cast<char>(subBlock[at] + 1);
    EXPECT_NE(Refusal(Write("subblock.gif", subBlock)), "");
}

// The reader leaves the pixels a stream skips as they were in memory (three different
// pictures under three allocator fill bytes): a stream must set every pixel.
TEST_F(DamagedFilesTest, RunLengthStreamsThatSkipPixelsAreRefused) {
    const QByteArray rle8 = RleBmp(37, 29, false);
    const int pixels = 14 + 40 + 256 * 4;
    const QByteArray header = rle8.left(pixels);
    const QByteArray lastRows = rle8.mid(pixels + (rle8.size() - pixels - 2) / 29 * 27);
    const struct {
        const char* name;
        QByteArray stream;
    } skipping[] = {
        {"end of bitmap at once", QByteArray("\0\1", 2)},
        {"a jump", QByteArray("\0\2\5\5", 4) + rle8.mid(pixels)},
        {"short lines", QByteArray(29, '\0').replace('\0', QByteArray("\x03\x07\0\0", 4)) + QByteArray("\0\1", 2)},
        {"end of bitmap two rows early", lastRows},
        // A run longer than its line would spill into the next one.
        {"runs past the line",
         QByteArray(29, '\0').replace('\0', QByteArray("\xFF\x07\0\0", 4)) + QByteArray("\0\1", 2)}};
    for (const auto& c : skipping) EXPECT_NE(Refusal(Write("skip.bmp", header + c.stream)), "") << c.name;
    // Runs that fill each line exactly.
    EXPECT_EQ(Refusal(Write("full.bmp", header + QByteArray(29, '\0').replace('\0', QByteArray("\x25\x07\0\0", 4)) +
                                            QByteArray("\0\1", 2))),
              "");
}

TEST_F(DamagedFilesTest, TooWideOrTallPicturesAreRefusedFromTheHeaderAlone) {
    // A PNG that breaks off in its pixel data: the width decides, not the damage.
    const QByteArray wide = EncodeWithQt(ColourfulPicture(kMaxSide + 1, 2), "PNG");
    try {
        LoadPictureFile(Write("wide.png", wide.left(wide.indexOf("IDAT") + 20)));
        FAIL() << "loaded";
    } catch (const TooWidePictureError& e) {
        EXPECT_EQ(e.Width(), kMaxSide + 1);
        EXPECT_NE(std::string(e.what()).find("ist 1026 Pixel breit; höchstens 1025 sind möglich."), std::string::npos);
    }

    // A 16384 x 2048 BMP header without pixels: decoding it would have cost 128 MiB.
    QByteArray huge = EncodeWithQt(ColourfulPicture(4, 4), "BMP").left(54);
    Patch(huge, 18, 16384, 4);
    Patch(huge, 22, 2048, 4);
    EXPECT_THROW(LoadPictureFile(Write("huge.bmp", huge)), TooWidePictureError);

    QByteArray tall = huge;
    Patch(tall, 18, kMaxSide, 4);
    Patch(tall, 22, 4097, 4);
    EXPECT_NE(Refusal(Write("tall.bmp", tall)).find("hat 4199425 Pixel; höchstens 4198400 (1025 x 4096)"),
              std::string::npos)
        << Refusal(Write("tall.bmp", tall));
    Patch(tall, 22, 4096, 4);  // within bounds, but the pixels are missing
    EXPECT_NE(Refusal(Write("tall.bmp", tall)).find("beschädigt"), std::string::npos);
    Patch(tall, 18, 37, 4);  // narrow pictures may be much taller
    Patch(tall, 22, 65536, 4);
    EXPECT_NE(Refusal(Write("tall.bmp", tall)).find("beschädigt"), std::string::npos);

    // The largest picture, in the widest format a decoder produces, fits the allocation limit.
    QImage deep(kMaxSide, kMaxPicturePixels / kMaxSide, QImage::Format_RGBA64);
    deep.fill(QColor(10, 20, 30));
    QImage loaded;
    EXPECT_EQ(Refusal(Write("deep.png", EncodeWithQt(deep, "PNG")), &loaded), "");
    EXPECT_EQ(loaded.pixel(kMaxSide - 1, deep.height() - 1), qRgb(10, 20, 30));
}

TEST_F(DamagedFilesTest, OnlyFormatsWhoseDamageIsCaughtAreRead) {
    const QString ppm = Write("picture.ppm", EncodeWithQt(ColourfulPicture(5, 5), "PPM"));
    EXPECT_NE(Refusal(ppm).find("kein lesbares Bild"), std::string::npos);
    // The content decides, not the name: a PNG called .bmp is read.
    EXPECT_EQ(Refusal(Write("png.bmp", EncodeWithQt(ColourfulPicture(5, 5), "PNG"))), "");
}

}  // namespace
}  // namespace tesora::testing
