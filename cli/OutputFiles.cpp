#include "cli/OutputFiles.h"

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Arguments.h"
#include "cli/Interrupt.h"
#include "cli/NativeNames.h"
#include "matrix/Error.h"
#include "picture/ReplacingFile.h"

namespace tesora::cli {
namespace {

// An output whose name Qt cannot spell (bytes that are not UTF-8) is written under a
// stand-in name in the same folder, reached through the folder's descriptor, and takes
// its real name with one more rename once complete.
class StandIn {
public:
    StandIn(const QString& path, std::size_t index) : path_(path) {
        const NativeParts parts = SplitNativeName(path);
        leaf_ = parts.leaf;
        folder_ = open(parts.folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder_ < 0) Fail();
        name_ = ".tesora-cli-" + QByteArray::number(getpid()) + "-" + QByteArray::number(index);
    }
    ~StandIn() {
        if (folder_ < 0) return;
        unlinkat(folder_, name_.constData(), 0);  // gone already after Finish
        close(folder_);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    QString QtName() const { return QStringLiteral("/proc/self/fd/%1/").arg(folder_) + QString::fromLatin1(name_); }

    // The stand-in is complete: it takes the real name, with the mode of a file it replaces.
    void Finish() {
        struct stat earlier;
        if (fstatat(folder_, leaf_.constData(), &earlier, 0) == 0 &&
            fchmodat(folder_, name_.constData(), earlier.st_mode & 07777, 0) != 0)
            Fail();
        if (renameat(folder_, name_.constData(), folder_, leaf_.constData()) != 0) Fail();
    }

private:
    [[noreturn]] void Fail() const {
        throw Error("Die Datei \"" + path_.toStdString() + "\" kann nicht geschrieben werden.");
    }

    QString path_;
    QByteArray leaf_, name_;
    int folder_ = -1;
};

}  // namespace

QByteArray OutputFiles::Encoded(const Pending& picture) {
    const bool bmp = PictureFormatFor(picture.path, QString()) == PictureFormat::Bmp;
    return EncodePicture(picture.image, bmp ? "BMP" : "PNG", picture.path);
}

void OutputFiles::AddPicture(const QString& path, const QImage& image) {
    // Surfaces are borrowed views; the copy keeps the pixels of this moment.
    pending_.push_back({path, image.copy(), {}});
}

void OutputFiles::AddText(const QString& path, const QByteArray& bytes) {
    pending_.push_back({path, QImage(), bytes});
}

void OutputFiles::WriteAll() {
    struct Written {
        std::unique_ptr<StandIn> standIn;  // only for names Qt cannot spell
        std::unique_ptr<ReplacingFile> file;
        std::unique_ptr<TrackedTemporary> tracked, trackedStandIn;
    };
    std::vector<Written> written;
    for (const Pending& output : pending_) {
        Written next;
        QString target = output.path;
        if (!QtCanName(target)) {
            next.standIn = std::make_unique<StandIn>(target, written.size());
            target = next.standIn->QtName();
            next.trackedStandIn = std::make_unique<TrackedTemporary>(target.toLatin1());
        }
        // One encoded file in memory at a time: it is on disk before the next is made.
        // BMP through the writer of "Speichern", so both programs write the same bytes.
        next.file = std::make_unique<ReplacingFile>(target, output.image.isNull() ? output.bytes : Encoded(output));
        next.tracked = std::make_unique<TrackedTemporary>(next.file->TemporaryName());
        written.push_back(std::move(next));
    }
    // A failure above removed every temporary file (their destructors) and left every
    // target as it was.
    for (Written& output : written) {
        output.file->Commit();
        if (output.standIn) output.standIn->Finish();
    }
    pending_.clear();
}

}  // namespace tesora::cli
