#include "cli/StandardInput.h"

#include <QBuffer>
#include <QImageReader>
#include <cstdio>
#include <unistd.h>

#include "picture/PictureFile.h"

namespace tesora::cli {

const QByteArray& StandardInputBytes() {
    static const QByteArray bytes = [] {
        QByteArray all;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) all.append(buffer, static_cast<qsizetype>(n));
            else if (n == 0 || errno != EINTR) break;
        }
        return all;
    }();
    return bytes;
}

QImage DecodePicture(const QByteArray& bytes, const QString& name) {
    std::string quoted = name.toStdString();
    quoted.insert(quoted.begin(), '"');
    quoted.push_back('"');
    if (bytes.isEmpty()) throw EmptyPictureError("Die Eingabe " + quoted + " enthält kein Bild.");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);  // the pixels exactly as stored, as for files
    QImage image = reader.read();
    if (image.isNull()) throw Error("Die Eingabe " + quoted + " ist kein lesbares Bild.");
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) throw Error("Das Bild " + quoted + " ist zu groß für den Speicher.");
    return image;
}

}  // namespace tesora::cli
