#pragma once
// Reading and writing picture files for the windows and the command-line tool. Every
// picture leaves here as QImage::Format_RGB32, the layout PictureSurface binds directly.
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "blac/Bank.h"
#include "matrix/Error.h"

namespace tesora {

// CoeffMatrix and the level tables end at level 10: 2^10 + 1 pixels per line.
// Only the top 2^L + 1 rows are transformed, but every row is shown, compared and
// written. Bounding the pixels (not the height: a narrow picture may be very tall) keeps
// the largest picture at 16 MiB per copy: a tesora-cli run with all its outputs stays
// near 146 MiB (bench/peak_memory), well under 200 MiB.
constexpr int kMaxPicturePixels = kMaxSide * 4096;

// The file decodes to a picture without pixels (or is an empty file). Kept apart from
// other read errors because the main window reports it in its caption.
class EmptyPictureError : public Error {
public:
    using Error::Error;
};

// The picture is wider than kMaxSide or has more than kMaxPicturePixels pixels.
// Found from the file's header, before any pixel is decoded: the windows offer to open
// it scaled down (FitPicture) instead.
class TooLargePictureError : public Error {
public:
    TooLargePictureError(const std::string& message, int width, int height, std::string english = {})
        : Error(message, std::move(english)), width_(width), height_(height) {}
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_, height_;
};

// Too wide, whatever the height; the main window reports it in its caption.
class TooWidePictureError : public TooLargePictureError {
public:
    using TooLargePictureError::TooLargePictureError;
};

// What a decode may produce. The working bounds by default; a picture that will be
// scaled down to them may be larger (a phone photo), up to kFitDecodeLimits.
struct PictureLimits {
    int maxWidth = kMaxSide;
    qint64 maxPixels = kMaxPicturePixels;
};
// 8192 x 4096 pixels: 128 MiB as RGB32, a 32-megapixel camera's picture.
inline constexpr PictureLimits kFitDecodeLimits{65535, qint64{8192} * 4096};

// The largest file (or standard input) that is read within the working bounds: more than
// any picture within them needs, even a 16-bit PNG stored without compression. Larger
// files are refused before they are read.
constexpr qint64 kMaxPictureFileBytes = qint64{64} << 20;
// The same for other limits: eight bytes a pixel (16-bit RGBA, uncompressed) and room for
// metadata, at least kMaxPictureFileBytes.
qint64 MaxPictureFileBytes(const PictureLimits& limits);

// Decodes BMP (our own strict reader), PNG, JPEG and GIF (their reference libraries),
// recognised by their content, to Format_RGB32. Only a completely decoded picture is
// returned: a file that ends early, or whose decoder complains about anything while
// reading it, is refused; so is a pixel that the file does not set. The size is checked
// from the header before any pixel memory exists. Throws Error with a German message when
// the file cannot be read, is damaged or too large, EmptyPictureError when it holds no
// pixels and TooWidePictureError / TooLargePictureError when it exceeds `limits`. Needs
// no QGuiApplication.
QImage LoadPictureFile(const QString& path, const PictureLimits& limits = {});

// The same for a file's bytes already in memory; `name` names it in messages.
QImage DecodePicture(const QByteArray& bytes, const QString& name, const PictureLimits& limits = {});

// The picture scaled down to the working bounds by area averaging (tools/FitPicture.h);
// a picture that fits comes back unchanged.
QImage FitPicture(const QImage& picture);
// The file read as LoadPictureFile does, with the larger limits, then FitPicture.
QImage LoadFittedPictureFile(const QString& path);

// The same as DecodePicture, with the pixel memory filled with `fill` before decoding:
// two decodes with different fill bytes agree unless some pixel was never written.
QImage DecodePictureData(const std::uint8_t* data, std::size_t size, const QString& name, std::uint8_t fill,
                         const PictureLimits& limits = {});

// Writes a 24-bit BMP with exactly the picture's pixels, replacing an existing file only
// once the new one is complete (see ReplacingFile). Throws Error when it cannot be written.
void SavePictureFile(const QImage& image, const QString& path);

}  // namespace tesora
