#pragma once
// Small picture files of every format and encoding the loader must judge, written by
// Qt where it can (BMP 24-bit and 8-bit, PNG, JPEG) and by hand where it cannot (RLE4 and
// RLE8 BMP, GIF), and the damaged variants cut from them.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QString>
#include <cstdint>
#include <vector>

namespace tesora::testing {

struct PictureBytes {
    const char* kind;
    const char* suffix;
    QByteArray bytes;
};

// A picture with many colours in every row and column, so that a missing row shows.
inline QImage ColourfulPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * 5) % 256, (y * 11) % 256));
    return picture;
}

// `colours` palette entries, each pixel's index in runs and stretches of literals.
inline std::vector<std::uint8_t> IndexPattern(int width, int height, int colours) {
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>(x < width / 2 ? (y % colours) : ((x * 3 + y) % colours));
    return indices;
}

inline QByteArray EncodeWithQt(const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(picture);
    return bytes;
}

inline void PutLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A run-length BMP (RLE8, or RLE4 with 16 colours): the left half of each row as one
// encoded run, the right half as literal stretches; EOL per row, then end of bitmap.
inline QByteArray RleBmp(int width, int height, bool fourBit) {
    const int colours = fourBit ? 16 : 256;
    const std::vector<std::uint8_t> index = IndexPattern(width, height, colours);
    QByteArray stream;
    for (int y = height - 1; y >= 0; --y) {  // bottom-up
        const std::uint8_t* row = index.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const int half = width / 2;
        stream.append(static_cast<char>(half));
        stream.append(static_cast<char>(fourBit ? (row[0] << 4 | row[0]) : row[0]));
        const int literal = width - half;  // at least 3, at most 255
        stream.append('\0');
        stream.append(static_cast<char>(literal));
        QByteArray pixels;
        for (int x = half; x < width; x += fourBit ? 2 : 1)
            pixels.append(static_cast<char>(fourBit ? (row[x] << 4 | (x + 1 < width ? row[x + 1] : 0)) : row[x]));
        if (pixels.size() % 2) pixels.append('\0');
        stream.append(pixels);
        stream.append('\0');
        stream.append('\0');
    }
    stream.append('\0');
    stream.append('\1');
    QByteArray file("BM");
    const std::uint32_t offset = 14 + 40 + static_cast<std::uint32_t>(colours) * 4;
    PutLe(file, offset + static_cast<std::uint32_t>(stream.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, offset, 4);
    PutLe(file, 40, 4);
    PutLe(file, static_cast<std::uint32_t>(width), 4);
    PutLe(file, static_cast<std::uint32_t>(height), 4);
    PutLe(file, 1, 2);
    PutLe(file, fourBit ? 4 : 8, 2);
    PutLe(file, fourBit ? 2 : 1, 4);
    PutLe(file, static_cast<std::uint32_t>(stream.size()), 4);
    PutLe(file, 2835, 4);
    PutLe(file, 2835, 4);
    PutLe(file, static_cast<std::uint32_t>(colours), 4);
    PutLe(file, 0, 4);
    for (int c = 0; c < colours; ++c) PutLe(file, static_cast<std::uint32_t>(qRgb(c * 13 % 256, c, 255 - c)), 4);
    return file + stream;
}

// A GIF89a with a 256-colour table, a graphic control extension and one image whose
// LZW data uses 9-bit codes only (a clear code every 250 pixels).
inline QByteArray Gif(int width, int height) {
    QByteArray file("GIF89a");
    PutLe(file, static_cast<std::uint32_t>(width), 2);
    PutLe(file, static_cast<std::uint32_t>(height), 2);
    file.append(static_cast<char>(0xF7));
    file.append('\0');
    file.append('\0');
    for (int c = 0; c < 256; ++c) {
        file.append(static_cast<char>(c));
        file.append(static_cast<char>(255 - c));
        file.append(static_cast<char>(c * 3 % 256));
    }
    file.append(
        QByteArray::fromHex("21f90400000000"
                            "00"));
    file.append(static_cast<char>(0x2C));
    PutLe(file, 0, 4);
    PutLe(file, static_cast<std::uint32_t>(width), 2);
    PutLe(file, static_cast<std::uint32_t>(height), 2);
    file.append('\0');
    file.append('\x08');
    QByteArray codes;
    std::uint32_t bits = 0;
    int count = 0;
    const auto put = [&](std::uint32_t code) {
        bits |= code << count;
        count += 9;
        while (count >= 8) {
            codes.append(static_cast<char>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    const std::vector<std::uint8_t> index = IndexPattern(width, height, 256);
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (i % 250 == 0) put(256);
        put(index[i]);
    }
    put(257);
    if (count > 0) codes.append(static_cast<char>(bits & 0xFF));
    for (int at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        file.append(static_cast<char>(block.size()));
        file.append(block);
    }
    file.append('\0');
    file.append(';');
    return file;
}

// One small file of every kind; 37 x 29 like the picture that showed the fault.
inline std::vector<PictureBytes> SmallPictureFiles() {
    const QImage picture = ColourfulPicture(37, 29);
    return {{"BMP 24-bit", "bmp", EncodeWithQt(picture, "BMP")},
            {"BMP 8-bit palette", "bmp", EncodeWithQt(picture.convertToFormat(QImage::Format_Indexed8), "BMP")},
            {"BMP RLE4", "bmp", RleBmp(37, 29, true)},
            {"BMP RLE8", "bmp", RleBmp(37, 29, false)},
            {"PNG", "png", EncodeWithQt(picture, "PNG")},
            {"JPEG", "jpg", EncodeWithQt(picture, "JPEG")},
            {"GIF", "gif", Gif(37, 29)}};
}

}  // namespace tesora::testing
