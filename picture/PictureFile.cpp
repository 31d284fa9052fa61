#include "picture/PictureFile.h"

#include <QFileInfo>
#include <QImageReader>

#include "picture/ReplacingFile.h"

namespace tesora {
namespace {

std::string Quoted(const QString& path) { return "\"" + path.toStdString() + "\""; }

}  // namespace

QImage LoadPictureFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw Error("Die Datei " + Quoted(path) + " existiert nicht.");
    if (info.size() == 0)
        throw EmptyPictureError("Die Datei " + Quoted(path) + " enthält kein Bild.");

    QImageReader reader(path);
    // The pixels exactly as stored: no orientation tags or colour profiles applied.
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        switch (reader.error()) {
        case QImageReader::FileNotFoundError:
        case QImageReader::DeviceError:
            throw Error("Die Datei " + Quoted(path) + " kann nicht gelesen werden.");
        default:
            if (reader.size().isValid() && reader.size().isEmpty())
                throw EmptyPictureError("Die Datei " + Quoted(path) + " enthält kein Bild.");
            throw Error("Die Datei " + Quoted(path) + " ist kein lesbares Bild.");
        }
    }
    if (image.width() <= 0 || image.height() <= 0)
        throw EmptyPictureError("Die Datei " + Quoted(path) + " enthält kein Bild.");
    // Indexed pictures ignore setPixel with a colour: convert before anyone paints.
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        throw Error("Das Bild " + Quoted(path) + " ist zu groß für den Speicher.");
    return image;
}

void SavePictureFile(const QImage& image, const QString& path) {
    WriteFileReplacing(path, EncodePicture(image, "BMP", path));
}

}  // namespace tesora
