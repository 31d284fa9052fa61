#include "cli/OutputFiles.h"

#include <memory>

#include "cli/Arguments.h"
#include "cli/Interrupt.h"
#include "picture/ReplacingFile.h"

namespace tesora::cli {

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
        std::unique_ptr<ReplacingFile> file;
        std::unique_ptr<TrackedTemporary> tracked;
    };
    std::vector<Written> written;
    for (const Pending& output : pending_) {
        // One encoded file in memory at a time: it is on disk before the next is made.
        // BMP through the writer of "Speichern", so both programs write the same bytes.
        auto file = std::make_unique<ReplacingFile>(output.path, output.image.isNull() ? output.bytes : Encoded(output));
        auto tracked = std::make_unique<TrackedTemporary>(file->TemporaryName());
        written.push_back({std::move(file), std::move(tracked)});
    }
    // A failure above removed every temporary file (their destructors) and left every
    // target as it was.
    for (Written& output : written) output.file->Commit();
    pending_.clear();
}

}  // namespace tesora::cli
