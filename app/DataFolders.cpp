#include "app/DataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tesora {
namespace {

// build/app/tesora and build/tests/test_app sit two folders below the source tree;
// one more allows a build folder nested one deeper.
constexpr int kSourceTreeDepth = 3;

QString ExistingFolder(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

}  // namespace

QString FindSamplesFolder(const QString& executableFolder) {
    if (executableFolder.isEmpty()) return QString();
    QDir dir(executableFolder);
    const QString installed = ExistingFolder(dir.filePath(QStringLiteral("../share/tesora/samples")));
    if (!installed.isEmpty()) return installed;
    for (int up = 0; up < kSourceTreeDepth && dir.cdUp(); ++up) {
        if (!QFileInfo(dir.filePath(QStringLiteral("CMakeLists.txt"))).isFile()) continue;
        const QString samples = ExistingFolder(dir.filePath(QStringLiteral("samples")));
        if (!samples.isEmpty()) return samples;
    }
    return QString();
}

QString SamplesFolder() { return FindSamplesFolder(QCoreApplication::applicationDirPath()); }

QString UserPicturesFolder() {
    const QString pictures = ExistingFolder(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    return pictures.isEmpty() ? QDir::homePath() : pictures;
}

QString SaveFolderFor(const QString& lastOpenedFile) {
    if (!lastOpenedFile.isEmpty()) {
        const QFileInfo folder(QFileInfo(lastOpenedFile).absolutePath());
        if (folder.isDir() && folder.isWritable()) return folder.absoluteFilePath();
    }
    return UserPicturesFolder();
}

}  // namespace tesora
