// The transform and the tools driven through the windows: track bar, Reduce, Fehler?,
// Calc Delta and Speichern, checked against the same road run on the in-memory frontend.
#include <QFile>

#include "WindowHarness.h"
#include "picture/PictureFile.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Loading.h"
#include "tools/MemoryFrontend.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

using RoadTest = WindowTest;

void CopyInto(const QImage& image, MemorySurface& surface) {
    surface.Resize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) surface.SetPixel(x, y, PictureSurface::FromWord(image.pixel(x, y)));
}

bool SamePixels(const QImage& image, const MemorySurface& surface) {
    if (image.width() != surface.Width() || image.height() != surface.Height()) return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (PictureSurface::FromWord(image.pixel(x, y)) != surface.GetPixel(x, y)) return false;
    return true;
}

// Starts the in-memory road on the same file the window opened, from a fresh state.
void StartReplay(MemoryFrontend& memory, const QString& path) {
    StartProgram();
    const QImage picture = LoadPictureFile(path);
    CopyInto(picture, memory.bild);
    CopyInto(picture, memory.reduced);
    memory.reloadOriginal = [path](MemorySurface& target) { CopyInto(LoadPictureFile(path), target); };
    OpenLoadedPicture(memory, path.toStdString());
}

TEST_F(RoadTest, LevelDownAndUpSwitchTheErrorButton) {
    Open(Write(Pattern(64, 48), "p.bmp"));
    form->trbLevel->setValue(4);
    EXPECT_EQ(CurrentLevel, 4);
    EXPECT_FALSE(form->butFehler->isEnabled());
    EXPECT_EQ(form->labLevel->text(), QStringLiteral("Level: 4"));
    EXPECT_EQ(Caption(), QStringLiteral("Fertig!"));
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Reduziertes Bild"));

    form->trbLevel->setValue(5);
    EXPECT_EQ(CurrentLevel, 5);
    EXPECT_FALSE(form->butFehler->isEnabled());
    form->trbLevel->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(CurrentLevel, 6);
    EXPECT_TRUE(form->butFehler->isEnabled());
    EXPECT_EQ(form->labLevel->text(), QStringLiteral("Level: 6"));

    // Down to the minimum after a level-1 picture went before: never below level 2.
    Open(Write(Pattern(2, 2), "tiny.bmp"));
    Open(Write(Pattern(256, 256), "big.bmp"));
    form->trbLevel->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(CurrentLevel, 2);
    EXPECT_EQ(form->trbLevel->value(), 2);
    EXPECT_TRUE(errors.empty());
}

TEST_F(RoadTest, FullRoadMatchesTheSameRoadWithoutWindows) {
    const QString camera = QStringLiteral(TESORA_SOURCE_DIR "/samples/camera-512.bmp");
    Open(camera);
    form->trbLevel->setValue(7);
    form->butKompress->click();
    const QString share = form->labProzent->text();
    const QImage marked = form->imgBild->Image().copy();
    form->trbLevel->setValue(9);
    form->butFehler->click();
    const QString fehler = form->labFehler->text();
    form->butCalcDelta->click();
    const QString proposal = form->labDeltaVorgeschlagen->text();
    const double proposedDelta = Delta;
    Save(dir.filePath("road"));
    ASSERT_TRUE(errors.empty()) << errors.front().toStdString();

    EXPECT_TRUE(share.endsWith(QStringLiteral(" %")));
    EXPECT_GT(ParseNumber(share.toStdString()), 0.0);
    EXPECT_GT(ParseNumber(fehler.toStdString()), 0.0);
    EXPECT_TRUE(proposal.startsWith(' '));
    EXPECT_EQ(form->scrDelta->value(), PositionFromDelta(proposedDelta));
    EXPECT_EQ(form->labDelta->text(), QString::fromStdString("Delta: " + FormatG(Delta)));
    EXPECT_EQ(Caption(), QStringLiteral("Datei gesichert!"));
    EXPECT_EQ(LoadPictureFile(dir.filePath("road.bmp")), Reduced());
    int red = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) red += marked.pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_GT(red, 0);
    const QImage bildAfter = form->imgBild->Image().copy();
    const QImage reducedAfter = Reduced().copy();

    MemoryFrontend memory;
    StartReplay(memory, camera);
    LevelChange(memory, 7);
    Reduce(memory);
    EXPECT_EQ(QString::fromStdString(memory.Text(Label::Prozent)), share);
    EXPECT_TRUE(SamePixels(marked, memory.bild));
    LevelChange(memory, 9);
    MeasureError(memory);
    EXPECT_EQ(QString::fromStdString(memory.Text(Label::Fehler)), fehler);
    CalcDelta(memory);
    EXPECT_EQ(QString::fromStdString(memory.Text(Label::DeltaVorgeschlagen)), proposal);
    EXPECT_EQ(Delta, proposedDelta);
    EXPECT_TRUE(SamePixels(bildAfter, memory.bild));
    EXPECT_TRUE(SamePixels(reducedAfter, memory.reduced));
}

TEST_F(RoadTest, ErrorInsideAHandlerIsShownAndTheProgramGoesOn) {
    const QString a = Write(Pattern(40, 40), "a.bmp");
    Open(a);
    form->trbLevel->setValue(3);
    form->trbLevel->setValue(6);
    const QString aside = dir.filePath("aside.bmp");
    ASSERT_TRUE(QFile::rename(a, aside));
    const QString captionBefore = Caption();
    const QString reducedCaption = frmReducedImg->windowTitle();
    const QImage reducedBefore = Reduced().copy();

    form->butFehler->click();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("a.bmp")));
    EXPECT_EQ(Caption(), captionBefore);
    EXPECT_EQ(frmReducedImg->windowTitle(), reducedCaption);
    EXPECT_EQ(form->labFehler->text(), QStringLiteral("0"));
    EXPECT_EQ(Reduced(), reducedBefore);

    // A refused B in between: "Fehler?" still measures against A.
    QFile broken(dir.filePath("b.bmp"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no picture");
    broken.close();
    Open(broken.fileName());
    EXPECT_EQ(errors.size(), 2u);
    ASSERT_TRUE(QFile::rename(aside, a));
    form->butFehler->click();
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Originalbild"));
    EXPECT_EQ(Caption(), QStringLiteral("Fertig!"));
    EXPECT_EQ(Reduced(), Pattern(40, 40));
}

TEST_F(RoadTest, VeryTallPictureRunsTheWholeRoadInsideItsStorage) {
    LargeScreen();
    Open(Write(Pattern(20, 1100), "tall.bmp"));
    EXPECT_EQ(PictureLevel, 5);
    EXPECT_EQ(form->size(), QSize(383, 1165));
    EXPECT_EQ(CoeffMatrix.Get(20, 33), (3 * 19 + 5 * 32) % 256);
    EXPECT_EQ(CoeffMatrix.Get(20, 34), 0.0);  // below the block: never read from the picture
    form->trbLevel->setValue(2);
    form->butKompress->click();
    form->trbLevel->setValue(5);
    form->butFehler->click();
    form->butCalcDelta->click();
    Save(dir.filePath("tall-out.bmp"));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(Caption(), QStringLiteral("Datei gesichert!"));
    EXPECT_EQ(LoadPictureFile(dir.filePath("tall-out.bmp")).size(), QSize(20, 1100));
}

TEST_F(RoadTest, ComboBoxesSetEpsilonAndSchrankeLikeStrtodInTheCLocale) {
    form->cmbEpsilon->setEditText(QStringLiteral("2,5"));
    EXPECT_EQ(Epsilon, 2.0);
    form->cmbEpsilon->setEditText(QStringLiteral("1e999"));
    EXPECT_EQ(Epsilon, std::numeric_limits<double>::infinity());
    form->cmbEpsilon->setCurrentIndex(0);
    EXPECT_EQ(Epsilon, 0.1);
    form->cmbSchranke->setEditText(QStringLiteral(" 3"));
    EXPECT_EQ(Schranke, 3.0);
    form->cmbSchranke->setEditText(QStringLiteral("abc"));
    EXPECT_EQ(Schranke, 0.0);
    EXPECT_TRUE(errors.empty());

    // A huge Epsilon at the picture's own level changes nothing: "0 %".
    Open(Write(Pattern(20, 20), "p.bmp"));
    form->butKompress->click();
    EXPECT_EQ(form->labProzent->text(), QStringLiteral("0 %"));
}

}  // namespace
}  // namespace tesora::testing
