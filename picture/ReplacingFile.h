#pragma once
// Writing files so that no failure loses data: the bytes are complete in memory before
// the file is touched, go to a temporary file beside the target and take its name only
// when every byte reached the disk. A full disk or a killed run leaves an earlier file
// as it was. A replaced file keeps its permission bits; a new one gets the umask's.
// An existing target that is not a regular file (a device such as /dev/null, a FIFO) is
// written to, never replaced; a folder is refused.
#include <QByteArray>
#include <QImage>
#include <QSaveFile>
#include <QString>

namespace tesora {

// The picture as a file of `format` ("BMP": 24 bits with exactly the picture's pixels,
// or "PNG"). Throws Error naming `path` when the encoder fails.
QByteArray EncodePicture(const QImage& image, const char* format, const QString& path);

class ReplacingFile {
public:
    // Makes the temporary file, still empty, so that its name can be registered for
    // removal before the first byte; Write fills it. Throws Error when that fails.
    explicit ReplacingFile(const QString& path);
    // Both steps at once.
    ReplacingFile(const QString& path, const QByteArray& bytes);
    // Writes all bytes to the temporary file (or keeps them for a device). Throws Error
    // when that fails; the temporary file is gone then and the target untouched.
    void Write(const QByteArray& bytes);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Without Commit the temporary file is removed and the target stays as it was.
    ~ReplacingFile() = default;

    // Gives the temporary file the target's name. Throws Error when that fails.
    void Commit();

    // The temporary file's name in the folder, for removing it from a signal handler;
    // empty when the system keeps it without a name until Commit (then nothing is
    // left behind if the process dies).
    QByteArray TemporaryName() const;

    // Whether the target is a device or FIFO, written in place by Commit.
    bool WritesInPlace() const { return inPlace_; }

private:
    QString path_;
    QSaveFile file_;
    bool inPlace_ = false;
    QByteArray bytes_;  // for a target written in place
};

// ReplacingFile and Commit in one.
void WriteFileReplacing(const QString& path, const QByteArray& bytes);

}  // namespace tesora
