#include "picture/PictureFile.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "picture/Decoding.h"
#include "picture/ReplacingFile.h"

namespace tesora {
namespace {

// Appended piece by piece: GCC 12 raises a false -Wrestrict alarm for "\"" + s + "\"".
std::string Quoted(const QString& path) {
    std::string quoted(1, '"');
    quoted.append(path.toStdString()).push_back('"');
    return quoted;
}
// A message naming the file: `before` "path" `after`.
std::string Message(const char* before, const QString& path, const std::string& after) {
    std::string text(before);
    text.append(Quoted(path)).append(after);
    return text;
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

}  // namespace

namespace decoding {

void Target::Damaged() const { throw Error(Message("Die Datei ", name_, " ist beschädigt oder unvollständig.")); }

void Target::Unreadable() const { throw Error(Message("Die Datei ", name_, " ist kein lesbares Bild.")); }

void Target::CheckSize(std::int64_t width, std::int64_t height) const {
    if (width <= 0 || height <= 0) throw EmptyPictureError(Message("Die Datei ", name_, " enthält kein Bild."));
    if (width > kMaxPictureWidth) {
        const int shown = static_cast<int>(std::min<std::int64_t>(width, INT32_MAX));
        throw TooWidePictureError(Message("Das Bild ", name_,
                                          " ist " + std::to_string(width) + " Pixel breit; höchstens " +
                                              std::to_string(kMaxPictureWidth) + " sind möglich."),
                                  shown);
    }
    if (width * height > kMaxPicturePixels)
        throw Error(Message("Das Bild ", name_,
                            " hat " + std::to_string(width * height) + " Pixel; höchstens " +
                                std::to_string(kMaxPicturePixels) + " (1025 x 4096) sind möglich."));
}

QImage Target::Allocate(std::int64_t width, std::int64_t height) const {
    CheckSize(width, height);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull()) throw Error(Message("Das Bild ", name_, " ist zu groß für den Speicher."));
    std::memset(image.bits(), fill_, static_cast<std::size_t>(image.sizeInBytes()));
    return image;
}

}  // namespace decoding

QImage DecodePictureData(const std::uint8_t* data, std::size_t size, const QString& name, std::uint8_t fill) {
    if (size == 0) throw EmptyPictureError(Message("Die Datei ", name, " enthält kein Bild."));
    const decoding::Target target(name, fill);
    // The format from the content, whatever the name says.
    if (StartsWith(data, size, "BM", 2)) return decoding::DecodeBmp(data, size, target);
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return decoding::DecodePng(data, size, target);
    if (StartsWith(data, size, "\xff\xd8\xff", 3)) return decoding::DecodeJpeg(data, size, target);
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return decoding::DecodeGif(data, size, target);
    target.Unreadable();
}

QImage DecodePicture(const QByteArray& bytes, const QString& name) {
    return DecodePictureData(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()), name, 0);
}

QImage LoadPictureFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw Error(Message("Die Datei ", path, " existiert nicht."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Message("Die Datei ", path, " kann nicht gelesen werden."));
    const qint64 size = file.size();
    if (size == 0) throw EmptyPictureError(Message("Die Datei ", path, " enthält kein Bild."));
    if (size > kMaxPictureFileBytes)
        throw Error(Message("Die Datei ", path,
                            " ist größer als " + std::to_string(kMaxPictureFileBytes >> 20) +
                                " MiB; so große Bilddateien werden nicht gelesen."));
    // Mapped, not read: only the pages the decoder touches cost memory.
    if (uchar* data = file.map(0, size)) {
        struct Unmap {
            QFile& file;
            uchar* data;
            ~Unmap() { file.unmap(data); }
        } unmap{file, data};
        return DecodePictureData(data, static_cast<std::size_t>(size), path, 0);
    }
    // A file system without mapping.
    const QByteArray bytes = file.read(kMaxPictureFileBytes + 1);
    if (bytes.size() != size) throw Error(Message("Die Datei ", path, " kann nicht gelesen werden."));
    return DecodePicture(bytes, path);
}

void SavePictureFile(const QImage& image, const QString& path) {
    WriteFileReplacing(path, EncodePicture(image, "BMP", path));
}

}  // namespace tesora
