// Opening pictures (geometry, levels, matrix, all-or-nothing) and saving the reduced one.
#include <QDir>
#include <QFile>

#include "WindowHarness.h"
#include "app/ScreenFit.h"
#include "picture/PictureFile.h"
#include "support/FileSizeLimit.h"

namespace tesora::testing {
namespace {

using OpenTest = WindowTest;
using SaveTest = WindowTest;

TEST_F(OpenTest, Picture256GetsLevel8AndTheExactGeometry) {
    LargeScreen();  // room beside the main window
    const QString path = Write(Pattern(256, 256), "p256.bmp");
    Open(path);
    ASSERT_TRUE(errors.empty()) << errors.front().toStdString();

    EXPECT_EQ(PictureWidth, 256);
    EXPECT_EQ(PictureHeight, 256);
    EXPECT_EQ(CurrentLevel, 8);
    EXPECT_EQ(PictureLevel, 8);
    EXPECT_EQ(form->trbLevel->maximum(), 8);
    EXPECT_EQ(form->trbLevel->value(), 8);
    EXPECT_EQ(form->trbLevel->minimum(), 2);
    EXPECT_EQ(Caption(), QStringLiteral("Level: 8"));
    EXPECT_EQ(form->labDateiName->text(), path);

    EXPECT_EQ(form->imgBild->size(), QSize(257, 257));
    EXPECT_EQ(form->size(), QSize(401, 321));
    EXPECT_EQ(form->Panel1->height(), 320);
    for (QWidget* button : {static_cast<QWidget*>(form->butBmpOpen), static_cast<QWidget*>(form->butBMPSave),
                            static_cast<QWidget*>(form->butEnde), static_cast<QWidget*>(form->butAbout)})
        EXPECT_EQ(button->y(), 276);
    EXPECT_EQ(form->labDateiName->y(), 306);
    EXPECT_EQ(form->butFehler->y(), 272);  // only the five tops move
    EXPECT_EQ(form->butEnde->x(), 320);

    EXPECT_TRUE(frmReducedImg->isVisible());
    EXPECT_EQ(frmReducedImg->size(), QSize(256, 256));
    EXPECT_EQ(frmReducedImg->ReducedImg->size(), QSize(256, 256));
    // Beside the main window's frame (the design's standard one while none is known).
    EXPECT_EQ(frmReducedImg->pos(), QPoint(OuterRect(*form, FrameMargins(*form)).right() + 1, form->y()));

    // Red bytes into the matrix, (i, j) = pixel (i-1, j-1), zeros in the block's last line.
    EXPECT_EQ(CoeffMatrix.Get(1, 1), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(11, 3), (3 * 10 + 5 * 2) % 256);
    EXPECT_EQ(CoeffMatrix.Get(256, 256), (3 * 255 + 5 * 255) % 256);
    EXPECT_EQ(CoeffMatrix.Get(257, 5), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(5, 257), 0.0);
    EXPECT_EQ(Reduced().pixel(10, 2), Pattern(256, 256).pixel(10, 2));

    EXPECT_EQ(form->labProzent->text(), QStringLiteral("0 %"));
    EXPECT_EQ(form->labFehler->text(), QStringLiteral("0"));
    EXPECT_EQ(form->labDeltaVorgeschlagen->text(), QStringLiteral("0"));
    for (QWidget* on : {static_cast<QWidget*>(form->trbLevel), static_cast<QWidget*>(form->butKompress),
                        static_cast<QWidget*>(form->butCalcDelta), static_cast<QWidget*>(form->butBMPSave),
                        static_cast<QWidget*>(form->butFehler)})
        EXPECT_TRUE(on->isEnabled());
}

TEST_F(OpenTest, SmallPictureKeepsTheMinimumWindowAndZerosBeyondIt) {
    Open(Write(Pattern(100, 80), "p100.bmp"));
    EXPECT_EQ(CurrentLevel, 7);
    EXPECT_EQ(form->size(), QSize(383, 322));
    EXPECT_EQ(form->Panel1->height(), 321);
    EXPECT_EQ(form->butBmpOpen->y(), 277);
    EXPECT_EQ(form->labDateiName->y(), 307);
    EXPECT_EQ(form->imgBild->size(), QSize(101, 81));
    EXPECT_EQ(frmReducedImg->size(), QSize(100, 80));
    EXPECT_EQ(CoeffMatrix.Get(100, 80), (3 * 99 + 5 * 79) % 256);
    EXPECT_EQ(CoeffMatrix.Get(101, 1), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(1, 81), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(129, 129), 0.0);

    // Closed by the user, shown again beside the main window by the next load.
    frmReducedImg->close();
    form->move(200, 150);
    LargeScreen();
    Open(Write(Pattern(300, 200), "p300.bmp"));
    EXPECT_TRUE(frmReducedImg->isVisible());
    // Beside the main window's frame (the design's standard one while none is known).
    EXPECT_EQ(frmReducedImg->pos(), QPoint(OuterRect(*form, FrameMargins(*form)).right() + 1, form->y()));
    EXPECT_EQ(form->size(), QSize(445, 322));
    EXPECT_EQ(PictureLevel, 9);
    EXPECT_EQ(CoeffMatrix.Get(300, 200), (3 * 299 + 5 * 199) % 256);
    EXPECT_EQ(CoeffMatrix.Get(301, 1), 0.0);
}

TEST_F(OpenTest, CameraSampleGetsLevel9) {
    Open(QStringLiteral(TESORA_SOURCE_DIR "/samples/camera-512.bmp"));
    ASSERT_TRUE(errors.empty());
    EXPECT_EQ(PictureLevel, 9);
    EXPECT_EQ(form->trbLevel->maximum(), 9);
    EXPECT_EQ(form->size(), QSize(512 + 145, 512 + 65));
    EXPECT_EQ(CoeffMatrix.Get(513, 1), 0.0);
}

TEST_F(OpenTest, GreyAndColourFilesAreReadThroughTheirRedByte) {
    QImage grey(6, 4, QImage::Format_Grayscale8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) grey.scanLine(y)[x] = static_cast<uchar>(40 * x + y);
    Open(Write(grey, "grey.bmp"));
    EXPECT_EQ(CoeffMatrix.Get(6, 4), 40 * 5 + 3);
    EXPECT_EQ(form->imgBild->Image().format(), QImage::Format_RGB32);

    QImage colour(5, 5, QImage::Format_RGB888);
    colour.fill(QColor(0, 255, 0));
    colour.setPixel(1, 2, qRgb(200, 30, 90));
    colour.setPixel(2, 2, qRgb(0, 0, 255));
    colour.setPixel(3, 2, qRgb(255, 0, 0));
    Open(Write(colour, "colour.bmp"));
    EXPECT_EQ(CoeffMatrix.Get(1, 1), 0.0);  // pure green
    EXPECT_EQ(CoeffMatrix.Get(2, 3), 200.0);
    EXPECT_EQ(CoeffMatrix.Get(3, 3), 0.0);  // pure blue
    EXPECT_EQ(CoeffMatrix.Get(4, 3), 255.0);
    EXPECT_EQ(form->imgBild->GetPixel(1, 2), 200u | (30u << 8) | (90u << 16));
}

TEST_F(OpenTest, CancelChangesNothingNotEvenTheCaption) {
    Open(Write(Pattern(20, 20), "a.bmp"));
    form->scrDelta->setValue(3);
    const Snapshot before = Take(form);
    Open(std::nullopt);
    ExpectSame(before, Take(form));
    EXPECT_EQ(Caption(), QStringLiteral("Fertig!"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(OpenTest, RefusedFilesAfterAGoodOneChangeNothingButTheirReport) {
    const QString good = Write(Pattern(40, 30), "good.bmp");
    Open(good);
    const Snapshot before = Take(form);

    QFile broken(dir.filePath("broken.bmp"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("BM not really a bitmap");
    broken.close();
    Open(broken.fileName());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("broken.bmp")));
    ExpectSame(before, Take(form));
    EXPECT_EQ(Caption(), QStringLiteral("Level: 6"));

    QFile empty(dir.filePath("empty.bmp"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    Open(empty.fileName());
    EXPECT_EQ(Caption(), QStringLiteral("Kein Bild geladen..."));
    ExpectSame(before, Take(form));

    Open(Write(Pattern(1026, 3), "wide.bmp"));
    EXPECT_EQ(Caption(), QStringLiteral("Bild zu breit (max. 1025 Pixel)!"));
    ExpectSame(before, Take(form));

    Open(dir.filePath("missing.bmp"));
    EXPECT_EQ(errors.size(), 2u);
    ExpectSame(before, Take(form));
    EXPECT_EQ(form->LoadedFileName(), good);

    // The program goes on: the next good file loads normally.
    Open(Write(Pattern(1025, 2), "widest.bmp"));
    EXPECT_EQ(PictureLevel, 10);
    EXPECT_EQ(errors.size(), 2u);
}

TEST_F(OpenTest, LevelOnePictureNeverLowersTheTrackBarMinimum) {
    Open(Write(Pattern(3, 3), "tiny.bmp"));
    EXPECT_EQ(PictureLevel, 1);
    EXPECT_EQ(CurrentLevel, 1);
    EXPECT_EQ(Caption(), QStringLiteral("Level: 1"));
    EXPECT_FALSE(form->trbLevel->isEnabled());
    EXPECT_EQ(form->trbLevel->minimum(), 2);
    EXPECT_TRUE(form->butKompress->isEnabled());
    EXPECT_EQ(CoeffMatrix.Get(3, 3), (3 * 2 + 5 * 2) % 256);

    Open(Write(Pattern(256, 256), "big.bmp"));
    EXPECT_TRUE(form->trbLevel->isEnabled());
    EXPECT_EQ(form->trbLevel->minimum(), 2);
    EXPECT_EQ(form->trbLevel->maximum(), 8);
    EXPECT_EQ(form->trbLevel->value(), 8);
    EXPECT_EQ(CurrentLevel, 8);
}

TEST_F(SaveTest, NamesGetBmpAppendedUnlessTheyEndInLowerCaseBmp) {
    Open(Write(Pattern(30, 20), "src.bmp"));
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const struct {
        QString chosen, written;
    } cases[] = {{dir.filePath("bild"), dir.filePath("bild.bmp")},
                 {dir.filePath("x.bmp"), dir.filePath("x.bmp")},
                 {dir.filePath("bild.BMP"), dir.filePath("bild.BMP.bmp")},
                 {QStringLiteral("a.b"), dir.filePath("a.b.bmp")}};
    for (const auto& c : cases) {
        Save(c.chosen);
        EXPECT_EQ(Caption(), QStringLiteral("Datei gesichert!"));
        ASSERT_TRUE(QFile::exists(c.written)) << c.written.toStdString();
        EXPECT_EQ(LoadPictureFile(c.written), Reduced()) << c.written.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("bild.BMP")));
    QDir::setCurrent(oldCurrent);
    EXPECT_TRUE(errors.empty());
}

TEST_F(SaveTest, CancelAndFailedWriteAreReportedHonestly) {
    Open(Write(Pattern(30, 20), "src.bmp"));
    Save(dir.filePath("ok"));
    EXPECT_EQ(Caption(), QStringLiteral("Datei gesichert!"));
    Save(std::nullopt);
    EXPECT_EQ(Caption(), QStringLiteral("Datei nicht gesichert!"));

    Save(dir.filePath("no/such/folder/out"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("out.bmp")));
    EXPECT_EQ(Caption(), QStringLiteral("Datei nicht gesichert!"));
    EXPECT_TRUE(form->butBMPSave->isEnabled());
}

TEST_F(SaveTest, FullDiskShowsTheErrorAndKeepsTheEarlierFile) {
    Open(Write(Pattern(300, 200), "src.bmp"));
    Save(dir.filePath("kept.bmp"));
    QFile kept(dir.filePath("kept.bmp"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray earlier = kept.readAll();
    kept.close();
    Save(std::nullopt);                           // a caption that is not "Datei gesichert!"
    frmReducedImg->ReducedImg->SetGrey(1, 1, 9);  // so a new file would differ
    {
        const FileSizeLimit full(4096);  // the picture needs about 180 KB
        Save(dir.filePath("kept.bmp"));
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("kept.bmp")));
    EXPECT_EQ(Caption(), QStringLiteral("Datei nicht gesichert!"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), earlier);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{"kept.bmp", "src.bmp"}));
}

TEST_F(SaveTest, WritesWhatTheReducedWindowShows) {
    Open(Write(Pattern(30, 20), "src.bmp"));
    frmReducedImg->ReducedImg->SetGrey(4, 5, 77);
    frmReducedImg->ReducedImg->SetPixel(6, 7, kMarkerRed);
    Save(dir.filePath("shown.bmp"));
    const QImage written = LoadPictureFile(dir.filePath("shown.bmp"));
    EXPECT_EQ(written.pixel(4, 5), qRgb(77, 77, 77));
    EXPECT_EQ(written.pixel(6, 7), qRgb(255, 0, 0));
    EXPECT_EQ(written.pixel(0, 0), Pattern(30, 20).pixel(0, 0));
}

}  // namespace
}  // namespace tesora::testing
