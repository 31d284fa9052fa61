#pragma once
// What the format readers share: the checks every picture passes before its pixel memory
// exists, and the one place that memory is made. Each reader either sets every pixel of
// the picture it returns or throws; the fill byte lets a test prove that (two decodes into
// differently filled memory must agree).
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "picture/PictureFile.h"

namespace tesora::decoding {

class Target {
public:
    Target(const QString& name, std::uint8_t fill, const PictureLimits& limits)
        : name_(name), fill_(fill), limits_(limits) {}

    // The file breaks its format's rules or ends early.
    [[noreturn]] void Damaged() const;
    // Not a format (or a variant of one) that is read here.
    [[noreturn]] void Unreadable() const;
    // Throws the errors of PictureFile.h for a size outside the limits.
    void CheckSize(std::int64_t width, std::int64_t height) const;
    // Checks the size, then makes the RGB32 picture with every byte set to the fill byte.
    QImage Allocate(std::int64_t width, std::int64_t height) const;

private:
    QString name_;
    std::uint8_t fill_;
    PictureLimits limits_;
};

QImage DecodeBmp(const std::uint8_t* data, std::size_t size, const Target& target);
QImage DecodePng(const std::uint8_t* data, std::size_t size, const Target& target);
QImage DecodeJpeg(const std::uint8_t* data, std::size_t size, const Target& target);
QImage DecodeGif(const std::uint8_t* data, std::size_t size, const Target& target);

// An RGB32 pixel of 8-bit channels.
inline std::uint32_t Rgb(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

}  // namespace tesora::decoding
