// Where the dialogs start: the example pictures found at run time, the user's pictures
// folder, and the folder of the last opened picture for saving.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "WindowHarness.h"
#include "app/DataFolders.h"

namespace tesora::testing {
namespace {

QString Make(const QDir& root, const QString& folder) {
    EXPECT_TRUE(root.mkpath(folder));
    return QFileInfo(root.filePath(folder)).canonicalFilePath();
}

void Touch(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
}

// A home of its own, so the user's pictures folder is known and nothing real is touched.
class ScopedHome {
public:
    ScopedHome() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toLocal8Bit());
    }
    ~ScopedHome() {
        qputenv("HOME", oldHome_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    QString Pictures() { return Make(QDir(home.path()), QStringLiteral("Pictures")); }
    QTemporaryDir home;

private:
    QByteArray oldHome_, oldConfig_;
};

TEST(SamplesFolder, FoundBesideAnInstalledOrABuiltExecutableAndNowhereElse) {
    QTemporaryDir root;
    const QDir dir(root.path());

    // Installed: PREFIX/bin and PREFIX/share/tesora/samples.
    Make(dir, QStringLiteral("prefix/bin"));
    const QString installed = Make(dir, QStringLiteral("prefix/share/tesora/samples"));
    EXPECT_EQ(FindSamplesFolder(dir.filePath(QStringLiteral("prefix/bin"))), installed);

    // Built inside a source tree: SRC/build/app beside SRC/samples and SRC/CMakeLists.txt.
    Make(dir, QStringLiteral("src/build/app"));
    Make(dir, QStringLiteral("src/build/a/b/c"));
    const QString source = Make(dir, QStringLiteral("src/samples"));
    Touch(dir.filePath(QStringLiteral("src/CMakeLists.txt")));
    EXPECT_EQ(FindSamplesFolder(dir.filePath(QStringLiteral("src/build/app"))), source);
    EXPECT_EQ(FindSamplesFolder(dir.filePath(QStringLiteral("src/build"))), source);
    EXPECT_EQ(FindSamplesFolder(dir.filePath(QStringLiteral("src/build/a/b/c"))), QString()) << "too far down";

    // A samples folder that belongs to no source tree, and no folder at all.
    Make(dir, QStringLiteral("other/samples"));
    Make(dir, QStringLiteral("other/bin"));
    EXPECT_EQ(FindSamplesFolder(dir.filePath(QStringLiteral("other/bin"))), QString());
    EXPECT_EQ(FindSamplesFolder(QString()), QString());

    // This test binary runs from the build folder inside the real source tree.
    EXPECT_EQ(SamplesFolder(), QFileInfo(QStringLiteral(TESORA_SOURCE_DIR "/samples")).canonicalFilePath());
}

TEST(PicturesFolder, IsTheUsersPicturesFolderElseHome) {
    ScopedHome home;
    EXPECT_EQ(UserPicturesFolder(), QDir::homePath()) << "no Pictures folder yet";
    EXPECT_EQ(UserPicturesFolder(), home.home.path());
    EXPECT_EQ(UserPicturesFolder(), home.Pictures());
}

using StartFolderTest = WindowTest;

TEST_F(StartFolderTest, OpenStartsInTheSamplesElseInThePicturesFolder) {
    Open(std::nullopt);
    EXPECT_EQ(dialogs->openFolder, SamplesFolder());

    ScopedHome home;
    const QString pictures = home.Pictures();
    form->SetSamplesFolder(QString());
    Open(std::nullopt);
    EXPECT_EQ(dialogs->openFolder, pictures);

    // Within the session the next dialog starts where the last picture was found, a
    // cancelled one changes nothing, and a folder that has gone falls back.
    const QString folder = Make(QDir(dir.path()), QStringLiteral("fotos"));
    Open(Write(Pattern(20, 10), QStringLiteral("fotos/a.bmp")));
    Open(std::nullopt);
    EXPECT_EQ(dialogs->openFolder, folder);
    Open(std::nullopt);
    EXPECT_EQ(dialogs->openFolder, folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    Open(std::nullopt);
    EXPECT_EQ(dialogs->openFolder, pictures);
}

TEST_F(StartFolderTest, SaveStartsBesideTheLastPictureAndKeepsBareNamesThere) {
    ScopedHome home;
    const QString pictures = home.Pictures();

    // Nothing opened yet (the handler itself, the button is still disabled).
    form->butBMPSaveClick();
    EXPECT_EQ(dialogs->saveFolder, pictures);

    const QString folder = Make(QDir(dir.path()), QStringLiteral("opened"));
    Open(Write(Pattern(20, 10), QStringLiteral("opened/p.bmp")));
    ASSERT_TRUE(errors.empty());
    Save(QStringLiteral("bare"));
    EXPECT_EQ(dialogs->saveFolder, folder);
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/bare.bmp")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath(QStringLiteral("bare.bmp"))));
    EXPECT_EQ(Statuses().back(), "Datei gesichert!");

    // The picture's folder has gone: back to the pictures folder.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    Save(QStringLiteral("again"));
    EXPECT_EQ(dialogs->saveFolder, pictures);
    EXPECT_TRUE(QFileInfo::exists(pictures + QStringLiteral("/again.bmp")));
}

TEST_F(StartFolderTest, FileFromTheCommandLineOpensLikeOeffnen) {
    const QString path = Write(Pattern(40, 30), QStringLiteral("cmd.bmp"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    form->OpenFile(QStringLiteral("cmd.bmp"));
    QDir::setCurrent(before);
    ASSERT_TRUE(errors.empty());
    EXPECT_EQ(form->LoadedFileName(), path) << "kept as a full name, like the dialog's";
    EXPECT_EQ(PictureWidth, 40);
    EXPECT_TRUE(form->butKompress->isEnabled());

    // A file that is no picture changes nothing, as with the dialog.
    form->OpenFile(dir.filePath(QStringLiteral("missing.bmp")));
    EXPECT_EQ(form->LoadedFileName(), path);
    EXPECT_EQ(dialogs->asked, 0) << "no dialog involved";
}

}  // namespace
}  // namespace tesora::testing
