#include "picture/ReplacingFile.h"

#include <QBuffer>
#include <QImageWriter>
#include <unistd.h>

#include "matrix/Error.h"

namespace tesora {
namespace {

[[noreturn]] void CannotWrite(const QString& path) {
    throw Error("Die Datei \"" + path.toStdString() + "\" kann nicht geschrieben werden.");
}

}  // namespace

QByteArray EncodePicture(const QImage& image, const char* format, const QString& path) {
    // RGB32 is written as a 24-bit BMP; other formats could be written with a palette.
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (rgb.isNull() || !writer.write(rgb)) CannotWrite(path);
    return bytes;
}

ReplacingFile::ReplacingFile(const QString& path, const QByteArray& bytes) : path_(path), file_(path) {
    // Never write into the target itself, not even in a folder that takes no new files:
    // a failure half-way would destroy the old file.
    file_.setDirectWriteFallback(false);
    if (!file_.open(QIODevice::WriteOnly) || file_.write(bytes) != bytes.size() || !file_.flush()) {
        file_.cancelWriting();
        CannotWrite(path_);
    }
}

void ReplacingFile::Commit() {
    if (!file_.commit()) CannotWrite(path_);
}

QByteArray ReplacingFile::TemporaryName() const {
#if defined(__linux__)
    char name[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(file_.handle());
    const ssize_t length = readlink(link.constData(), name, sizeof name);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof name)) return {};
    const QByteArray result(name, static_cast<qsizetype>(length));
    // An unnamed temporary shows as "folder/#inode (deleted)".
    if (result.endsWith(" (deleted)")) return {};
    return result;
#else
    return {};
#endif
}

void WriteFileReplacing(const QString& path, const QByteArray& bytes) {
    ReplacingFile file(path, bytes);
    file.Commit();
}

}  // namespace tesora
