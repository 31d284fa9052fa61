#pragma once
// Reading and writing picture files for the windows and the command-line tool. Every
// picture leaves here as QImage::Format_RGB32, the layout PictureSurface binds directly.
#include <QImage>
#include <QString>

#include "blac/Bank.h"
#include "matrix/Error.h"

namespace tesora {

// CoeffMatrix and the level tables end at level 10: 2^10 + 1 pixels per line.
constexpr int kMaxPictureWidth = kMaxSide;

// The file decodes to a picture without pixels (or is an empty file). Kept apart from
// other read errors because the main window reports it in its caption.
class EmptyPictureError : public Error {
public:
    using Error::Error;
};

// Decodes any format QImageReader knows (BMP of every depth, PNG, JPEG, ...) and
// converts to Format_RGB32 at once. Throws Error with a German message when the file
// cannot be read or is not a picture, EmptyPictureError when it holds no pixels.
QImage LoadPictureFile(const QString& path);

// Writes a 24-bit BMP with exactly the picture's pixels, replacing an existing file only
// once the new one is complete (see ReplacingFile). Throws Error when it cannot be written.
void SavePictureFile(const QImage& image, const QString& path);

}  // namespace tesora
