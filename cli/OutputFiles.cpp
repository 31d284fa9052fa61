#include "cli/OutputFiles.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Arguments.h"
#include "cli/Interrupt.h"
#include "matrix/Error.h"
#include "picture/ReplacingFile.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::NativeName;
using report::NativeParts;
using report::QtCanName;
using report::SplitNativeName;

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

void OutputFiles::AddText(const QString& path, const QByteArray& bytes) { pending_.push_back({path, QImage(), bytes}); }

namespace {

// While alive, SIGINT, SIGTERM and SIGHUP wait: the renames of one run are done as a
// whole or, after a failure, undone as a whole, never cut off in between.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t previous_;
};

// The file an output replaces, kept under a second name (a hard link, no copy) until
// every output has its name, so that a failed rename can bring it back.
struct Earlier {
    QByteArray target, kept;  // kept is empty when there was no file (or no link)
    bool existed = true;      // then only a kept file can undo the rename
};

Earlier Keep(const QString& path, std::size_t index) {
    Earlier earlier{NativeName(path), {}};
    struct stat status;
    if (lstat(earlier.target.constData(), &status) != 0) {
        earlier.existed = false;
        return earlier;
    }
    if (!S_ISREG(status.st_mode)) return earlier;
    const QByteArray kept = SplitNativeName(path).folder + "/.tesora-cli-" + QByteArray::number(getpid()) + "-kept-" +
                            QByteArray::number(index);
    // A file system without hard links: that output cannot be undone, the rest still can.
    if (link(earlier.target.constData(), kept.constData()) == 0) earlier.kept = kept;
    return earlier;
}

struct Written {
    std::unique_ptr<StandIn> standIn;  // only for names Qt cannot spell
    std::unique_ptr<ReplacingFile> file;
    std::unique_ptr<TrackedTemporary> tracked, trackedStandIn;
    QString path;
};

void DropKept(const std::vector<Earlier>& earlier) {
    for (const Earlier& e : earlier)
        if (!e.kept.isEmpty()) unlink(e.kept.constData());
}

// Back to the files as they were before this run: the first `done` were committed.
void Undo(const std::vector<Written>& written, const std::vector<Earlier>& earlier, std::size_t done) {
    for (std::size_t i = done; i-- > 0;) {
        if (written[i].file->WritesInPlace()) continue;
        if (!earlier[i].kept.isEmpty())
            rename(earlier[i].kept.constData(), earlier[i].target.constData());
        else if (!earlier[i].existed)
            unlink(earlier[i].target.constData());
    }
    DropKept(earlier);
}

}  // namespace

void OutputFiles::WriteAll() {
    // Whatever happens, the FIFOs held since the start are written to or given up now.
    struct Release {
        ~Release() { ReleaseFifos(); }
    } release;
    std::vector<Written> written;
    for (const Pending& output : pending_) {
        Written next;
        next.path = output.path;
        QString target = output.path;
        if (!QtCanName(target)) {
            next.standIn = std::make_unique<StandIn>(target, written.size());
            target = next.standIn->QtName();
            next.trackedStandIn = std::make_unique<TrackedTemporary>(target.toLatin1());
        }
        // The temporary exists, empty, and is registered for removal before any byte of
        // it is written: a signal during the write leaves nothing behind.
        next.file = std::make_unique<ReplacingFile>(target);
        next.tracked = std::make_unique<TrackedTemporary>(next.file->TemporaryName());
        // One encoded file in memory at a time: it is on disk before the next is made.
        // BMP through the writer of "Speichern", so both programs write the same bytes.
        next.file->Write(output.image.isNull() ? output.bytes : Encoded(output));
        written.push_back(std::move(next));
    }
    // A failure above removed every temporary file (their destructors) and left every
    // target as it was.
    const HeldSignals held;
    // Regular files first, devices and FIFOs last: a write into a device cannot be undone,
    // so nothing may fail after it.
    std::stable_partition(written.begin(), written.end(), [](const Written& w) { return !w.file->WritesInPlace(); });
    std::vector<Earlier> earlier;
    for (std::size_t i = 0; i < written.size(); ++i)
        earlier.push_back(written[i].file->WritesInPlace() ? Earlier{} : Keep(written[i].path, i));
    std::size_t done = 0;
    try {
        for (; done < written.size(); ++done) {
            written[done].file->Commit();
            if (written[done].standIn) written[done].standIn->Finish();
        }
    } catch (const Error&) {
        Undo(written, earlier, done);
        throw;
    }
    DropKept(earlier);
    pending_.clear();
}

}  // namespace tesora::cli
