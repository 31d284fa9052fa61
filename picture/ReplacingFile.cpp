#include "picture/ReplacingFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "matrix/Error.h"

namespace tesora {
namespace {

[[noreturn]] void CannotWrite(const QString& path) {
    throw Error("Die Datei \"" + path.toStdString() + "\" kann nicht geschrieben werden.");
}

// Whether SIGINT, SIGTERM or SIGHUP waits, held back while outputs take their names.
bool StopAsked() {
    sigset_t pending;
    if (sigpending(&pending) != 0) return false;
    return sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1 ||
           sigismember(&pending, SIGHUP) == 1;
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

ReplacingFile::ReplacingFile(const QString& path) : path_(path), file_(path) {
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            throw Error("Die Datei \"" + path.toStdString() + "\" ist ein Ordner und wird nicht ersetzt.");
        // Replacing /dev/null by a regular file would break the system for everyone.
        inPlace_ = !S_ISREG(status.st_mode);
    }
    if (inPlace_) return;
    // Never write into the target itself, not even in a folder that takes no new files:
    // a failure half-way would destroy the old file.
    file_.setDirectWriteFallback(false);
    if (!file_.open(QIODevice::WriteOnly)) CannotWrite(path_);
}

ReplacingFile::ReplacingFile(const QString& path, const QByteArray& bytes) : ReplacingFile(path) { Write(bytes); }

void ReplacingFile::Write(const QByteArray& bytes) {
    if (inPlace_) {
        bytes_ = bytes;
        return;
    }
    if (file_.write(bytes) != bytes.size() || !file_.flush()) {
        file_.cancelWriting();
        CannotWrite(path_);
    }
}

void ReplacingFile::Commit() {
    if (!inPlace_) {
        if (!file_.commit()) CannotWrite(path_);
        return;
    }
    // No O_CREAT: should the device vanish, nothing takes its place. Never blocking: a FIFO
    // without a reader is a failure, not a wait with the run's signals held.
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ENXIO) throw Error("Die Datei \"" + path_.toStdString() + "\" ist ein FIFO ohne Leser.");
    if (fd < 0) CannotWrite(path_);
    const char* at = bytes_.constData();
    qsizetype left = bytes_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<std::size_t>(left));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            // A slow reader is waited for; a signal that arrived meanwhile ends the wait.
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 100);
            if (!StopAsked()) continue;
        }
        if (n <= 0) {
            ::close(fd);
            CannotWrite(path_);
        }
        at += n;
        left -= n;
    }
    if (::close(fd) != 0 && errno != EINTR) CannotWrite(path_);
}

QByteArray ReplacingFile::TemporaryName() const {
    if (inPlace_) return {};
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
