#include "picture/PictureFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <vector>

#include "picture/Decoding.h"
#include "picture/ReplacingFile.h"
#include "picture/FitPicture.h"

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
// The refusal in the program's words and in English.
Error Refusal(const char* before, const char* beforeEnglish, const QString& path, const std::string& after,
              const std::string& afterEnglish) {
    return Error(Message(before, path, after), Message(beforeEnglish, path, afterEnglish));
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* signature, std::size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

}  // namespace

namespace decoding {

void Target::Damaged() const {
    throw Refusal("Die Datei ", "The file ", name_, " ist beschädigt oder unvollständig.",
                  " is damaged or incomplete.");
}

void Target::Unreadable() const {
    throw Refusal("Die Datei ", "The file ", name_, " ist kein lesbares Bild.", " is not a readable picture.");
}

void Target::CheckSize(std::int64_t width, std::int64_t height) const {
    if (width <= 0 || height <= 0)
        throw EmptyPictureError(Message("Die Datei ", name_, " enthält kein Bild."),
                                Message("The file ", name_, " holds no picture."));
    const int shownWidth = static_cast<int>(std::min<std::int64_t>(width, INT32_MAX));
    const int shownHeight = static_cast<int>(std::min<std::int64_t>(height, INT32_MAX));
    if (width > limits_.maxWidth)
        throw TooWidePictureError(Message("Das Bild ", name_,
                                          " ist " + std::to_string(width) + " Pixel breit; höchstens " +
                                              std::to_string(limits_.maxWidth) + " sind möglich."),
                                  shownWidth, shownHeight,
                                  Message("The picture ", name_,
                                          " is " + std::to_string(width) + " pixels wide; at most " +
                                              std::to_string(limits_.maxWidth) + " are possible."));
    if (width * height > limits_.maxPixels) {
        const std::string most =
            std::to_string(limits_.maxPixels) +
            (limits_.maxPixels == kMaxPicturePixels
                 ? " (" + std::to_string(kMaxSide) + " x " + std::to_string(kMaxPicturePixels / kMaxSide) + ")"
                 : std::string());
        throw TooLargePictureError(
            Message("Das Bild ", name_,
                    " hat " + std::to_string(width * height) + " Pixel; höchstens " + most + " sind möglich."),
            shownWidth, shownHeight,
            Message("The picture ", name_,
                    " has " + std::to_string(width * height) + " pixels; at most " + most + " are possible."));
    }
}

QImage Target::Allocate(std::int64_t width, std::int64_t height) const {
    CheckSize(width, height);
    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull())
        throw Refusal("Das Bild ", "The picture ", name_, " ist zu groß für den Speicher.",
                      " is too large for the memory.");
    std::memset(image.bits(), fill_, static_cast<std::size_t>(image.sizeInBytes()));
    return image;
}

}  // namespace decoding

qint64 MaxPictureFileBytes(const PictureLimits& limits) {
    return std::max(kMaxPictureFileBytes, 8 * limits.maxPixels + (qint64{1} << 20));
}

QImage DecodePictureData(const std::uint8_t* data, std::size_t size, const QString& name, std::uint8_t fill,
                         const PictureLimits& limits) {
    if (size == 0)
        throw EmptyPictureError(Message("Die Datei ", name, " enthält kein Bild."),
                                Message("The file ", name, " holds no picture."));
    const decoding::Target target(name, fill, limits);
    // The format from the content, whatever the name says.
    if (StartsWith(data, size, "BM", 2)) return decoding::DecodeBmp(data, size, target);
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return decoding::DecodePng(data, size, target);
    if (StartsWith(data, size, "\xff\xd8\xff", 3)) return decoding::DecodeJpeg(data, size, target);
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return decoding::DecodeGif(data, size, target);
    target.Unreadable();
}

QImage DecodePicture(const QByteArray& bytes, const QString& name, const PictureLimits& limits) {
    return DecodePictureData(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                             static_cast<std::size_t>(bytes.size()), name, 0, limits);
}

QImage LoadPictureFile(const QString& path, const PictureLimits& limits) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw Refusal("Die Datei ", "The file ", path, " existiert nicht.", " does not exist.");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Refusal("Die Datei ", "The file ", path, " kann nicht gelesen werden.", " cannot be read.");
    const qint64 size = file.size();
    if (size == 0)
        throw EmptyPictureError(Message("Die Datei ", path, " enthält kein Bild."),
                                Message("The file ", path, " holds no picture."));
    const qint64 maxBytes = MaxPictureFileBytes(limits);
    if (size > maxBytes)
        throw Refusal(
            "Die Datei ", "The file ", path,
            " ist größer als " + std::to_string(maxBytes >> 20) + " MiB; so große Bilddateien werden nicht gelesen.",
            " is larger than " + std::to_string(maxBytes >> 20) + " MiB; picture files that large are not read.");
    // Mapped, not read: only the pages the decoder touches cost memory.
    if (uchar* data = file.map(0, size)) {
        struct Unmap {
            QFile& file;
            uchar* data;
            ~Unmap() { file.unmap(data); }
        } unmap{file, data};
        return DecodePictureData(data, static_cast<std::size_t>(size), path, 0, limits);
    }
    // A file system without mapping.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() != size)
        throw Refusal("Die Datei ", "The file ", path, " kann nicht gelesen werden.", " cannot be read.");
    return DecodePicture(bytes, path, limits);
}

QImage FitPicture(const QImage& picture) {
    const FitSize size = FittedSize(picture.width(), picture.height());
    if (size.width == picture.width() && size.height == picture.height()) return picture;
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    const std::vector<std::uint32_t> words =
        AreaAverage(reinterpret_cast<const std::uint32_t*>(source.constBits()), source.width(), source.height(),
                    source.bytesPerLine() / 4, size);
    QImage fitted(size.width, size.height, QImage::Format_RGB32);
    if (fitted.isNull())
        throw Error("Zu wenig Speicher für das verkleinerte Bild.", "Too little memory for the scaled-down picture.");
    for (int y = 0; y < size.height; ++y)
        std::memcpy(fitted.scanLine(y),
                    words.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width),
                    sizeof(std::uint32_t) * static_cast<std::size_t>(size.width));
    return fitted;
}

QImage LoadFittedPictureFile(const QString& path) { return FitPicture(LoadPictureFile(path, kFitDecodeLimits)); }

void SavePictureFile(const QImage& image, const QString& path) {
    WriteFileReplacing(path, EncodePicture(image, "BMP", path));
}

}  // namespace tesora
