// The decoders against pictures whose pixels are known: BMP variants built by hand,
// PNG chunks built by hand, JPEG and GIF written by an independent library, and each
// checked once more against that library's own decode. Damage of every kind found so far
// must be refused, and no accepted file may leave a pixel unwritten.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <functional>
#include <zlib.h>

#include <gtest/gtest.h>

#include "picture/PictureFile.h"
#include "support/DamagedPictures.h"
#include "support/IndependentDecoder.h"

namespace tesora::testing {
namespace {

// A BMP of any variant: `stored(x, y)` is the raw value of a pixel (palette index or
// packed channels, 24-bit as 0xRRGGBB).
struct BmpRecipe {
    int width = 7, height = 5;
    unsigned bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    bool topDown = false;
    std::array<std::uint32_t, 3> masks{};
    std::vector<QRgb> palette;
    std::function<std::uint32_t(int, int)> stored;
};

QByteArray Encode(const BmpRecipe& b) {
    const bool core = b.headerSize == 12;
    const std::uint32_t maskBytes = b.compression == 3 && b.headerSize < 52 ? 12 : 0;
    const auto paletteBytes = static_cast<std::uint32_t>(b.palette.size() * (core ? 3 : 4));
    const std::uint32_t offset = 14 + b.headerSize + maskBytes + paletteBytes;
    const auto stride = static_cast<std::uint32_t>((b.width * static_cast<int>(b.bits) + 31) / 32 * 4);
    QByteArray info;
    PutLe(info, b.headerSize, 4);
    if (core) {
        PutLe(info, static_cast<std::uint32_t>(b.width), 2);
        PutLe(info, static_cast<std::uint32_t>(b.height), 2);
        PutLe(info, 1, 2);
        PutLe(info, b.bits, 2);
    } else {
        PutLe(info, static_cast<std::uint32_t>(b.width), 4);
        PutLe(info, static_cast<std::uint32_t>(b.topDown ? -b.height : b.height), 4);
        PutLe(info, 1, 2);
        PutLe(info, b.bits, 2);
        PutLe(info, b.compression, 4);
        PutLe(info, stride * static_cast<std::uint32_t>(b.height), 4);
        PutLe(info, 2835, 4);
        PutLe(info, 2835, 4);
        PutLe(info, static_cast<std::uint32_t>(b.palette.size()), 4);
        PutLe(info, 0, 4);
        if (b.headerSize >= 52)
            for (std::uint32_t mask : b.masks) PutLe(info, mask, 4);
        info.append(QByteArray(static_cast<qsizetype>(b.headerSize) - info.size(), '\0'));
    }
    if (maskBytes)
        for (std::uint32_t mask : b.masks) PutLe(info, mask, 4);
    for (QRgb c : b.palette) {
        info.append(static_cast<char>(qBlue(c)))
            .append(static_cast<char>(qGreen(c)))
            .append(static_cast<char>(qRed(c)));
        if (!core) info.append('\0');
    }
    QByteArray file("BM");
    PutLe(file, offset + stride * static_cast<std::uint32_t>(b.height), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    file += info;
    for (int r = 0; r < b.height; ++r) {
        const int y = b.topDown ? r : b.height - 1 - r;
        QByteArray row(stride, '\0');
        for (int x = 0; x < b.width; ++x) {
            const std::uint32_t v = b.stored(x, y);
            if (b.bits < 8) {
                const int bit = x * static_cast<int>(b.bits);
                row[bit / 8] = static_cast<char>(row[bit / 8] | static_cast<char>(v << (8 - b.bits - bit % 8)));
            } else {
                for (unsigned i = 0; i < b.bits / 8; ++i)
                    row[x * static_cast<int>(b.bits / 8) + static_cast<int>(i)] = static_cast<char>(v >> (8 * i));
            }
        }
        file += row;
    }
    return file;
}

void Patch(QByteArray& bytes, int at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t Scale(std::uint32_t value, std::uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const std::uint64_t max = mask >> shift;
    return static_cast<std::uint32_t>((((value & mask) >> shift) * 255 + max / 2) / max);
}

// What a BMP of the recipe must decode to.
QImage Expected(const BmpRecipe& b) {
    QImage image(b.width, b.height, QImage::Format_RGB32);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            const std::uint32_t v = b.stored(x, y);
            if (b.bits <= 8)
                image.setPixel(x, y, b.palette.at(v));
            else if (b.bits == 24)
                image.setPixel(x, y, 0xFF000000u | v);
            else
                image.setPixel(x, y,
                               qRgb(static_cast<int>(Scale(v, b.masks[0])), static_cast<int>(Scale(v, b.masks[1])),
                                    static_cast<int>(Scale(v, b.masks[2]))));
        }
    return image;
}

std::vector<QRgb> Palette(int colours) {
    std::vector<QRgb> palette;
    for (int c = 0; c < colours; ++c) palette.push_back(qRgb(c * 37 % 256, 255 - c * 11 % 256, c * 5 % 256));
    return palette;
}

// A PNG chunk with its CRC.
QByteArray Chunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    for (int i = 3; i >= 0; --i) chunk.append(static_cast<char>(data.size() >> (8 * i)));
    const QByteArray body = QByteArray(type) + data;
    chunk += body;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.constData()), static_cast<uInt>(body.size())));
    for (int i = 3; i >= 0; --i) chunk.append(static_cast<char>(crc >> (8 * i)));
    return chunk;
}
QByteArray Be(std::uint32_t value, int bytes) {
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i) out.append(static_cast<char>(value >> (8 * i)));
    return out;
}
// A non-interlaced PNG from unfiltered rows; `extra` chunks go before the pixels.
QByteArray Png(int width, int height, int depth, int colour, const QByteArray& rows, const QByteArray& extra = {}) {
    QByteArray ihdr = Be(static_cast<std::uint32_t>(width), 4) + Be(static_cast<std::uint32_t>(height), 4);
    ihdr.append(static_cast<char>(depth)).append(static_cast<char>(colour)).append('\0').append('\0').append('\0');
    QByteArray compressed = qCompress(rows).mid(4);  // zlib stream without Qt's length prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + extra + Chunk("IDAT", compressed) +
           Chunk("IEND", {});
}

class DecodersTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    // The decode, after checking that memory filled otherwise gives the same pixels.
    static QImage Decode(const QByteArray& bytes) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const auto size = static_cast<std::size_t>(bytes.size());
        const QImage first = DecodePictureData(data, size, QStringLiteral("t"), 0x00);
        EXPECT_EQ(DecodePictureData(data, size, QStringLiteral("t"), 0xFF), first) << "a pixel left unwritten";
        return first;
    }
    static std::string Refusal(const QByteArray& bytes) {
        try {
            Decode(bytes);
            return {};
        } catch (const Error& e) {
            return e.what();
        }
    }
    // Our pixels must be the independent decoder's, within `tolerance` per channel.
    void SameAsIndependent(const QByteArray& bytes, const char* name, int tolerance) {
        if (!IndependentDecoderAvailable()) GTEST_SKIP() << "python3-pil missing (scripts/install-deps.sh installs it)";
        const QImage theirs = IndependentDecode(Write(QStringLiteral("independent"), bytes));
        ASSERT_FALSE(theirs.isNull()) << name << ": the independent decoder refused it";
        EXPECT_LE(LargestDifference(Decode(bytes), theirs), tolerance) << name;
        EXPECT_GE(LargestDifference(Decode(bytes), theirs), 0) << name << ": sizes differ";
    }

    QTemporaryDir dir;
};

TEST_F(DecodersTest, EveryBmpVariantGivesItsKnownPixels) {
    const auto index = [](int colours) {
        return [colours](int x, int y) { return static_cast<std::uint32_t>((x * 3 + y * 5) % colours); };
    };
    const auto packed = [](int x, int y) { return static_cast<std::uint32_t>(x * 0x9E3779B1u ^ y * 0x85EBCA77u); };
    const auto colour24 = [](int x, int y) {
        return static_cast<std::uint32_t>(x * 0x231F17 + y * 0x0B0D29) & 0xFFFFFFu;
    };
    const auto colour15 = [](int x, int y) { return (x == 0 ? 0x7FFFu : x * 0x1234u + y * 0x0421u) & 0x7FFFu; };
    const auto colour16 = [](int x, int y) { return (x * 0x2345u + y * 0x0821u) & 0xFFFFu; };
    const std::array<std::uint32_t, 3> rgb555{0x7C00, 0x03E0, 0x001F}, rgb565{0xF800, 0x07E0, 0x001F},
        rgb888{0xFF0000, 0xFF00, 0xFF}, ten{0x3FF00000, 0x000FFC00, 0x000003FF},
        odd{0xFE000000, 0x01FFF000, 0x00000007};
    struct Case {
        const char* name;
        BmpRecipe recipe;
        int tolerance;  // against the independent decoder; -1: it cannot read the variant
    } cases[] = {
        {"1-bit", {7, 5, 1, 0, 40, false, {}, Palette(2), index(2)}, 0},
        {"4-bit top-down", {7, 5, 4, 0, 40, true, {}, Palette(16), index(16)}, 0},
        {"8-bit, palette shorter than 256", {7, 5, 8, 0, 40, false, {}, Palette(20), index(20)}, 0},
        {"8-bit core header", {7, 5, 8, 0, 12, false, {}, Palette(256), index(256)}, 0},
        {"24-bit core header", {7, 5, 24, 0, 12, false, {}, {}, colour24}, 0},
        {"24-bit top-down", {7, 5, 24, 0, 40, true, {}, {}, colour24}, 0},
        {"16-bit 5-5-5", {7, 5, 16, 0, 40, false, rgb555, {}, colour15}, 1},
        {"16-bit 5-6-5 masks after the header", {7, 5, 16, 3, 40, false, rgb565, {}, colour16}, 1},
        {"16-bit 5-6-5 V3 header", {7, 5, 16, 3, 56, false, rgb565, {}, colour16}, -1},
        {"32-bit", {7, 5, 32, 0, 40, false, rgb888, {}, packed}, 0},
        {"32-bit masks in a 64-byte header", {7, 5, 32, 3, 64, false, rgb888, {}, packed}, -1},
        {"32-bit 10-10-10 V4 header", {7, 5, 32, 3, 108, true, ten, {}, packed}, -1},
        {"32-bit 10-10-10 V5 header", {7, 5, 32, 3, 124, false, ten, {}, packed}, -1},
        {"32-bit masks 7, 13 and 3 bits wide", {7, 5, 32, 3, 40, false, odd, {}, packed}, -1},
    };
    for (Case& c : cases) {
        if (c.recipe.bits == 16 && c.recipe.compression == 0) c.recipe.masks = rgb555;
        if (c.recipe.bits == 32 && c.recipe.compression == 0) c.recipe.masks = rgb888;
        const QByteArray file = Encode(c.recipe);
        QImage decoded;
        ASSERT_NO_THROW(decoded = Decode(file)) << c.name;
        EXPECT_EQ(decoded, Expected(c.recipe)) << c.name;
        if (c.tolerance >= 0) SameAsIndependent(file, c.name, c.tolerance);
    }
    // Five bits of 31 are full white, not 248; ten bits of 1023 too.
    EXPECT_EQ(Decode(Encode({1, 1, 16, 0, 40, false, rgb555, {}, [](int, int) { return 0x7FFFu; }})).pixel(0, 0),
              qRgb(255, 255, 255));
    EXPECT_EQ(Decode(Encode({1, 1, 32, 3, 40, false, ten, {}, [](int, int) { return 0x3FFFFFFFu; }})).pixel(0, 0),
              qRgb(255, 255, 255));
}

// The Python library misreads odd RLE4 literals; netpbm reads both right.
TEST_F(DecodersTest, RunLengthBmpsMatchTheIndependentDecoder) {
    for (bool fourBit : {false, true}) {
        const QByteArray file = RleBmp(37, 29, fourBit);
        const QImage theirs = NetpbmDecode("bmptopnm", Write(QStringLiteral("rle.bmp"), file));
        if (theirs.isNull()) GTEST_SKIP() << "netpbm missing (scripts/install-deps.sh installs it)";
        EXPECT_EQ(Decode(file), theirs) << (fourBit ? "RLE4" : "RLE8");
    }
}

TEST_F(DecodersTest, BmpsThatLeaveAPixelUnwrittenOrLieAreRefused) {
    const auto index = [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 16); };
    BmpRecipe pastPalette{7, 5, 8, 0, 40, false, {}, Palette(8), index};
    QByteArray shortRows = Encode({7, 5, 24, 0, 40, false, {}, {}, [](int, int) { return 0x123456u; }});
    shortRows.chop(3);
    QByteArray gappedMask = Encode({2, 2, 32, 3, 40, false, {0xF0F000, 0xFF, 0xF00}, {}, [](int, int) { return 1u; }});
    // RLE8, one 9-pixel line: a literal longer than the line puts the reader out of step.
    const QByteArray rle = RleBmp(9, 2, false);
    const int pixels = 14 + 40 + 256 * 4;
    QByteArray longLiteral = rle.left(pixels) + QByteArray("\0\x0B", 2) + QByteArray(12, '\1') + QByteArray("\0\0", 2) +
                             QByteArray("\x09\x01\0\0\0\1", 6);
    QByteArray runPastLine = rle.left(pixels) + QByteArray("\x0C\x01\0\0\x09\x01\0\0\0\1", 10);
    QByteArray topDownRle = rle;
    Patch(topDownRle, 22, static_cast<std::uint32_t>(-2), 4);
    const struct {
        const char* name;
        QByteArray bytes;
    } refused[] = {{"index past the palette", Encode(pastPalette)},
                   {"last row short", shortRows},
                   {"a mask with gaps", gappedMask},
                   {"RLE8 literal longer than its line", longLiteral},
                   {"RLE8 run past its line", runPastLine},
                   {"run-length picture stored top-down", topDownRle}};
    for (const auto& c : refused) EXPECT_NE(Refusal(c.bytes), "") << c.name;
    // The same streams with the runs fitting their lines are read.
    EXPECT_EQ(Refusal(rle.left(pixels) + QByteArray("\0\x09", 2) + QByteArray(10, '\1') + QByteArray("\0\0", 2) +
                      QByteArray("\x09\x01\0\0\0\1", 6)),
              "");
    EXPECT_EQ(Refusal(rle.left(pixels) + QByteArray("\x09\x01\0\0\x09\x01\0\0\0\1", 10)), "");
}

TEST_F(DecodersTest, PngTransformationsAreSpelledOut) {
    // 16-bit RGB with a tRNS chunk: six bytes a pixel, rounded to 8 bits.
    QByteArray rows;
    const std::uint16_t samples[] = {0xFFFF, 0x8080, 0x807F, 0x0000, 0x0180, 0x017F};
    for (int y = 0; y < 3; ++y) {
        rows.append('\0');
        for (int x = 0; x < 6; ++x)
            for (int c = 0; c < 3; ++c) rows += Be(samples[(x + c + y) % 6], 2);
    }
    const QByteArray png16 = Png(6, 3, 16, 2, rows, Chunk("tRNS", Be(0x8080, 2) + Be(0x8080, 2) + Be(0x8080, 2)));
    const QImage decoded = Decode(png16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            const auto round = [&](int c) { return (samples[(x + c + y) % 6] * 255 + 32767) / 65535; };
            EXPECT_EQ(decoded.pixel(x, y), qRgb(round(0), round(1), round(2))) << x << "," << y;
        }
    SameAsIndependent(png16, "16-bit RGB with tRNS", 1);  // it truncates to the high byte

    // Grey 2-bit, palette with transparency, grey and alpha: colours kept, alpha dropped.
    const QByteArray grey2 = Png(5, 1, 2, 0, QByteArray("\0\x1B\x40", 3));  // 0,1,2,3,1
    EXPECT_EQ(Decode(grey2).pixel(3, 0), qRgb(255, 255, 255));
    EXPECT_EQ(Decode(grey2).pixel(1, 0), qRgb(85, 85, 85));
    const QByteArray palette =
        Png(2, 1, 8, 3, QByteArray("\0\0\1", 3),
            Chunk("PLTE", QByteArray("\x10\x20\x30\x40\x50\x60", 6)) + Chunk("tRNS", QByteArray("\0", 1)));
    EXPECT_EQ(Decode(palette).pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(Decode(palette).pixel(1, 0), qRgb(0x40, 0x50, 0x60));
    const QByteArray greyAlpha = Png(1, 1, 8, 4, QByteArray("\0\x77\0", 3));
    EXPECT_EQ(Decode(greyAlpha).pixel(0, 0), qRgb(0x77, 0x77, 0x77));
}

TEST_F(DecodersTest, DamagedPngChunksAreRefusedWhereverTheyAre) {
    const QByteArray rows("\0\1\2\3", 4);
    const QByteArray good = Png(1, 1, 8, 2, rows.left(4));
    ASSERT_EQ(Refusal(good), "");
    const auto broken = [](QByteArray chunk) {
        chunk[chunk.size() - 1] = static_cast<char>(chunk[chunk.size() - 1] ^ 1);
        return chunk;
    };
    QByteArray hugeText = QByteArray("\x89PNG\r\n\x1a\n", 8) + good.mid(8, 25) + Be(2130706445u, 4) + "tEXt" + "x";
    const struct {
        const char* name;
        QByteArray bytes;
    } refused[] = {
        {"CRC error in tEXt", Png(1, 1, 8, 2, rows, broken(Chunk("tEXt", "Title\0x")))},
        {"CRC error in gAMA", Png(1, 1, 8, 2, rows, broken(Chunk("gAMA", Be(45455, 4))))},
        {"CRC error in tRNS", Png(1, 1, 8, 2, rows, broken(Chunk("tRNS", Be(1, 2) + Be(2, 2) + Be(3, 2))))},
        {"CRC error in tIME", Png(1, 1, 8, 2, rows, broken(Chunk("tIME", QByteArray("\x07\xE9\1\1\0\0\0", 7))))},
        {"tEXt claiming 2 GB", hugeText},
        {"more pixel data than the picture", Png(1, 1, 8, 2, rows + QByteArray("\0\1\2\3", 4))},
        {"no end chunk", good.left(good.size() - 12)},
    };
    for (const auto& c : refused) EXPECT_NE(Refusal(c.bytes), "") << c.name;
}

TEST_F(DecodersTest, InterlacedPngFromAnIndependentEncoder) {
    const QImage picture = ColourfulPicture(19, 13);
    const std::optional<QByteArray> png = IndependentEncode(picture, "PNG", "optimize=False");
    if (!png) GTEST_SKIP() << "python3-pil missing";
    EXPECT_EQ(Decode(*png), picture);
    // Adam7, written by netpbm where it is installed.
    QProcess encoder;
    encoder.start(QStringLiteral("pnmtopng"), {QStringLiteral("-interlace")});
    if (!encoder.waitForStarted(5000)) GTEST_SKIP() << "netpbm missing";
    QByteArray ppm = "P6 19 13 255\n";
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 19; ++x) {
            const QRgb c = picture.pixel(x, y);
            ppm.append(static_cast<char>(qRed(c)))
                .append(static_cast<char>(qGreen(c)))
                .append(static_cast<char>(qBlue(c)));
        }
    encoder.write(ppm);
    encoder.closeWriteChannel();
    ASSERT_TRUE(encoder.waitForFinished(10000));
    const QByteArray interlaced = encoder.readAllStandardOutput();
    ASSERT_EQ(static_cast<unsigned char>(interlaced.at(28)), 1u) << "not interlaced";
    EXPECT_EQ(Decode(interlaced), picture);
}

TEST_F(DecodersTest, JpegAndGifAgreeWithTheIndependentDecoder) {
    const QImage picture = ColourfulPicture(37, 29);
    const struct {
        const char* format;
        const char* options;
        int tolerance;
    } files[] = {{"JPEG", "quality=90", 0},
                 {"JPEG", "quality=90, progressive=True", 0},
                 {"JPEG", "quality=75, subsampling=0", 0},
                 {"GIF", "interlace=True", 0},
                 {"GIF", "interlace=False", 0}};
    for (const auto& f : files) {
        const std::optional<QByteArray> bytes = IndependentEncode(picture, f.format, f.options);
        if (!bytes) GTEST_SKIP() << "python3-pil missing";
        SameAsIndependent(*bytes, f.options, f.tolerance);
    }
    // The library's own decode of our GIF writer's file: the hand-made LZW stream.
    SameAsIndependent(Gif(37, 29), "hand-made GIF", 0);
}

TEST_F(DecodersTest, GifFramesMustBeCompleteAndInsideTheScreen) {
    const QByteArray gif = Gif(37, 29);
    ASSERT_EQ(Refusal(gif), "");
    const int descriptor = 13 + 256 * 3 + 8;
    ASSERT_EQ(gif.at(descriptor), '\x2C');
    QByteArray wideFrame = gif;
    Patch(wideFrame, descriptor + 5, 65535, 2);
    Patch(wideFrame, descriptor + 7, 65535, 2);
    QByteArray shifted = gif;
    Patch(shifted, descriptor + 1, 1, 2);
    // The LZW data stops after its first sub-block: a terminator where the second begins.
    QByteArray cut = gif.left(descriptor + 10 + 1 + 255) + QByteArray("\0;", 2);
    for (const QByteArray& bytes : {wideFrame, shifted, cut}) EXPECT_NE(Refusal(bytes), "");
}

}  // namespace
}  // namespace tesora::testing
