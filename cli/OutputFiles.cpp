#include "cli/OutputFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <memory>

#include "picture/PictureFile.h"
#include "cli/Arguments.h"
#include "matrix/Error.h"

namespace tesora::cli {
namespace {

std::string Quoted(const QString& path) { return "\"" + path.toStdString() + "\""; }

[[noreturn]] void CannotWrite(const QString& path) {
    throw Error("Die Datei " + Quoted(path) + " kann nicht geschrieben werden.");
}

}  // namespace

void OutputFiles::AddPicture(const QString& path, const QImage& image) {
    // Surfaces are borrowed views; the copy keeps the pixels of this moment.
    pending_.push_back({path, image.copy(), {}});
}

void OutputFiles::AddText(const QString& path, const QByteArray& bytes) {
    pending_.push_back({path, QImage(), bytes});
}

void OutputFiles::WriteAll() {
    std::vector<std::unique_ptr<QTemporaryFile>> temps;
    for (const Pending& file : pending_) {
        const QFileInfo info(file.path);
        auto temp = std::make_unique<QTemporaryFile>(info.absolutePath() + "/.tesora-cli-XXXXXX");
        if (!temp->open()) CannotWrite(file.path);  // temps so far remove themselves
        bool written = true;
        if (file.image.isNull()) {
            written = temp->write(file.bytes) == file.bytes.size() && temp->flush();
            temp->close();
        } else if (PictureFormatFor(file.path, QString()) == PictureFormat::Bmp) {
            temp->close();
            // The writer of "Speichern", so both programs write the same bytes.
            try {
                SavePictureFile(file.image, temp->fileName());
            } catch (const Error&) {
                written = false;
            }
        } else {
            temp->close();
            written = file.image.save(temp->fileName(), "PNG");
        }
        if (!written) CannotWrite(file.path);
        temps.push_back(std::move(temp));
    }
    for (std::size_t i = 0; i < temps.size(); ++i) {
        const QString& path = pending_[i].path;
        // The temporary file is created owner-only; outputs get the usual permissions.
        temps[i]->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (std::rename(QFile::encodeName(temps[i]->fileName()).constData(),
                        QFile::encodeName(path).constData()) != 0)
            CannotWrite(path);
        temps[i]->setAutoRemove(false);
    }
    pending_.clear();
}

}  // namespace tesora::cli
