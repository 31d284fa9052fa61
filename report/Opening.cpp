#include "report/Opening.h"

#include <QFileInfo>
#include <string>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "picture/PictureFile.h"
#include "report/NativeNames.h"

namespace tesora::report {
namespace {

QImage CheckWidth(QImage image, const QString& path) {
    if (image.width() > kMaxSide)
        throw Error("Das Bild \"" + path.toStdString() + "\" ist " + FormatD(image.width()) +
                        " Pixel breit; höchstens " + FormatD(kMaxSide) + " sind möglich.",
                    "The picture \"" + path.toStdString() + "\" is " + std::to_string(image.width()) +
                        " pixels wide; at most " + std::to_string(kMaxSide) + " are possible.");
    return image;
}

QImage LoadFile(const QString& path, const PictureLimits& limits) {
    const QString qtName = QtReadableName(path);
    const QFileInfo info(qtName);
    if (info.isDir())
        throw Error("\"" + path.toStdString() + "\" ist ein Ordner, kein Bild.",
                    "\"" + path.toStdString() + "\" is a folder, not a picture.");
    // A FIFO or a device exists but would block or never end; the loader would call it missing.
    if (info.exists() && !info.isFile())
        throw Error("\"" + path.toStdString() + "\" ist keine reguläre Datei (etwa ein FIFO oder Gerät), kein Bild.",
                    "\"" + path.toStdString() + "\" is not a regular file (a FIFO or device, say), not a picture.");
    try {
        // Refuses damaged pictures, and pictures too wide for the working matrix before decoding.
        return LoadPictureFile(qtName, limits);
    } catch (const Error& e) {
        if (qtName == path) throw;
        // The message names the file as the user did, not by its descriptor.
        const std::string alias = qtName.toStdString();
        const auto named = [&](std::string message) {
            for (std::size_t at = message.find(alias); at != std::string::npos; at = message.find(alias))
                message.replace(at, alias.size(), path.toStdString());
            return message;
        };
        throw Error(named(e.what()), named(e.English()));
    }
}

}  // namespace

QImage LoadUsable(const QString& path, bool fit) {
    if (fit) return CheckWidth(FitPicture(LoadFile(path, kFitDecodeLimits)), path);
    return CheckWidth(LoadFile(path, PictureLimits{}), path);
}

QImage DecodeUsable(const QByteArray& bytes, const QString& name, bool fit) {
    if (fit) return CheckWidth(FitPicture(DecodePicture(bytes, name, kFitDecodeLimits)), name);
    return CheckWidth(DecodePicture(bytes, name), name);
}

}  // namespace tesora::report
