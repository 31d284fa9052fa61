// What a class meets first: a save that would destroy the opened picture, a phone photo
// too wide for the program, small screens, the keyboard and the wheel.
#include <QFile>
#include <QFileInfo>
#include <QScrollArea>
#include <QTest>
#include <QWheelEvent>
#include <unistd.h>

#include "WindowHarness.h"
#include "app/ScreenFit.h"
#include "picture/PictureFile.h"

namespace tesora::testing {
namespace {

const QString kSample = QStringLiteral(TESORA_SOURCE_DIR "/samples/chelsea-451x300.bmp");

class ClassroomTest : public WindowTest {
protected:
    QByteArray Bytes(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Wheel(QWidget* widget, int steps) {
        const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
        QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }
};

TEST_F(ClassroomTest, SpeichernRefusesEveryNameOfTheOpenedPicture) {
    const QString opened = Write(Pattern(40, 30), "bild.bmp");
    const QByteArray original = Bytes(opened);
    ASSERT_EQ(::symlink(opened.toLocal8Bit().constData(), dir.filePath("link.bmp").toLocal8Bit().constData()), 0);
    ASSERT_EQ(::link(opened.toLocal8Bit().constData(), dir.filePath("hard.bmp").toLocal8Bit().constData()), 0);
    Open(opened);
    form->trbLevel->setValue(3);  // the reduced picture now differs from the file

    // The name itself, spelt otherwise, without the extension the handler adds, and
    // through a symbolic and a hard link.
    const QString names[] = {opened, dir.path() + "/./bild.bmp", dir.filePath("bild"), dir.filePath("link.bmp"),
                             dir.filePath("hard.bmp")};
    for (const QString& name : names) {
        form->setWindowTitle(QStringLiteral("vorher"));
        Save(name);
        EXPECT_EQ(Caption(), QStringLiteral("Datei nicht gesichert!")) << name.toStdString();
        EXPECT_EQ(Bytes(opened), original) << name.toStdString();
        EXPECT_TRUE(QFileInfo(dir.filePath("link.bmp")).isSymLink());
    }
    ASSERT_EQ(notices.size(), std::size(names));
    EXPECT_TRUE(notices[0].contains(QStringLiteral("das geöffnete Bild")));
    EXPECT_TRUE(errors.empty());

    // Any other name saves as before, and "Fehler?" still compares with the original.
    Save(dir.filePath("kopie.bmp"));
    EXPECT_EQ(Caption(), QStringLiteral("Datei gesichert!"));
    EXPECT_NE(Bytes(dir.filePath("kopie.bmp")), original);
    form->trbLevel->setValue(6);
    form->butFehler->click();
    EXPECT_EQ(Reduced(), Pattern(40, 30));
    EXPECT_EQ(notices.size(), std::size(names));
}

TEST_F(ClassroomTest, TooWidePictureOpensScaledDownOnlyWhenTheUserAgrees) {
    LargeScreen();
    const QImage wide = Pattern(2100, 90);
    const QString path = Write(wide, "wide.bmp");

    Open(path);  // "Nein": refused as before
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("2100 × 90")));
    EXPECT_TRUE(questions[0].contains(QStringLiteral("1025 × 44")));
    EXPECT_EQ(Caption(), QStringLiteral("Bild zu breit (max. 1025 Pixel)!"));
    EXPECT_EQ(PictureWidth, 0);
    EXPECT_FALSE(form->butKompress->isEnabled());

    answers.push_back(true);
    Open(path);
    ASSERT_TRUE(errors.empty());
    EXPECT_EQ(PictureWidth, 1025);
    EXPECT_EQ(PictureHeight, 44);
    EXPECT_EQ(PictureLevel, 10);
    EXPECT_TRUE(form->LoadedFitted());
    EXPECT_EQ(Caption(), QStringLiteral("Level: 10 (verkleinert auf 1025 x 44)"));
    const QImage fitted = FitPicture(wide.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(form->imgBild->Image().copy(0, 0, 1025, 44), fitted);
    EXPECT_EQ(Reduced(), fitted);
    EXPECT_EQ(CoeffMatrix.Get(1025, 44), qRed(fitted.pixel(1024, 43)));

    // "Fehler?" compares with the same scaled picture: no error before any change.
    form->butFehler->click();
    EXPECT_EQ(form->labFehler->text(), QStringLiteral("0"));
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Originalbild (verkleinert)"));
    EXPECT_EQ(Reduced(), fitted);

    // A picture that fits is opened as it is, without a question.
    Open(Write(Pattern(30, 20), "small.bmp"));
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_FALSE(form->LoadedFitted());
    EXPECT_EQ(Caption(), QStringLiteral("Level: 5"));
    EXPECT_TRUE(errors.empty());
}

// Outer rectangles, title bars included, as the placement sees them.
struct Placed {
    QRect main, reduced, column, buttons, titleBar;
};

class PlacementTest : public ClassroomTest, public ::testing::WithParamInterface<std::tuple<QSize, bool, bool>> {};

TEST_P(PlacementTest, BothWindowsStayReachableAndTheControlsStayFree) {
    const auto [screenSize, atStart, withFrame] = GetParam();
    const QRect screen(QPoint(0, 0), screenSize);
    form->SetScreenArea([screen](const QWidget&) { return screen; });
    // A window manager's frame (offscreen has none), or none known yet.
    const QMargins frame = withFrame ? QMargins(3, 30, 3, 3) : FrameMargins(*form);
    if (withFrame) form->SetFrameSeam([frame](const QWidget&) { return frame; });

    for (const QString& picture : {Write(Pattern(1025, 1025), "big.bmp"), kSample, Write(Pattern(200, 100), "s.bmp")}) {
        if (atStart)
            form->OpenFile(picture);
        else
            Open(picture);
        ASSERT_TRUE(errors.empty());
        const QPoint client = form->pos() + QPoint(frame.left(), frame.top());
        const Placed p{OuterRect(*form, frame), OuterRect(*frmReducedImg, frame),
                       QRect(client, QSize(form->Panel1->x() + form->Panel1->width(), form->height())),
                       QRect(client + QPoint(form->butAbout->x(), form->butAbout->y()),
                             QPoint(client.x() + form->butEnde->geometry().right(),
                                    client.y() + form->labDateiName->geometry().bottom())),
                       QRect(form->pos(), QSize(form->width() + frame.left() + frame.right(), frame.top()))};
        const std::string where = picture.toStdString() + " on " + std::to_string(screenSize.width()) + "x" +
                                  std::to_string(screenSize.height());
        EXPECT_TRUE(screen.contains(p.main)) << where;
        EXPECT_TRUE(screen.contains(p.reduced)) << where;
        EXPECT_FALSE(p.reduced.intersects(p.column)) << where;
        EXPECT_FALSE(p.reduced.intersects(p.buttons)) << where;
        EXPECT_FALSE(p.reduced.intersects(p.titleBar)) << where;
        // Beside the main window, where there is room, with the same top.
        if (p.main.right() + 1 + p.reduced.width() <= screen.right() + 1) {
            EXPECT_EQ(p.reduced.left(), p.main.right() + 1) << where;
            EXPECT_EQ(p.reduced.top(), p.main.top()) << where;
        }
        // The whole picture can be reached: shown, or inside a scroll area.
        const QScrollArea* area = frmReducedImg->sclReduced;
        const bool scrolls = area && area->isVisible() && area->widget() == frmReducedImg->ReducedImg;
        EXPECT_TRUE(scrolls || frmReducedImg->ReducedImg->size() == frmReducedImg->size()) << where;
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, PlacementTest,
                         ::testing::Combine(::testing::Values(QSize(1280, 720), QSize(1024, 600), QSize(1366, 768)),
                                            ::testing::Bool(), ::testing::Bool()));

TEST(PlaceBeside, PrefersTheRightThenShrinksOverThePictureNeverOverTheControls) {
    const QRect screen(0, 0, 1366, 768);
    const QRect main(133, 106, 400, 300), cover(275, 129, 1091, 250);
    // Room to the right: directly beside, same top.
    EXPECT_EQ(PlaceBeside(main, cover, QSize(300, 200), screen, QSize(160, 120)), QRect(533, 106, 300, 200));
    // Too wide for the right, fits to the left.
    EXPECT_EQ(PlaceBeside(QRect(700, 106, 600, 300), cover, QSize(500, 200), screen, QSize(160, 120)),
              QRect(200, 106, 500, 200));
    // Fits nowhere whole: the largest part over the picture, cut to it.
    const QRect big(0, 0, 1366, 768);
    EXPECT_EQ(PlaceBeside(big, QRect(146, 23, 1220, 690), QSize(1033, 1052), screen, QSize(160, 120)),
              QRect(333, 23, 1033, 690));
    // No room at all: on the screen, over whatever is there.
    EXPECT_EQ(PlaceBeside(big, QRect(), QSize(2000, 2000), screen, QSize(160, 120)), screen);
}

TEST_F(ClassroomTest, ReturnAndEnterClickTheFocusedButton) {
    Open(Write(Pattern(40, 30), "p.bmp"));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->trbLevel->setValue(3);
    form->butKompress->setFocus();
    QTest::keyClick(form->butKompress, Qt::Key_Return);
    EXPECT_NE(form->labProzent->text(), QStringLiteral("0 %"));

    form->butAbout->setFocus();
    QTest::keyClick(form->butAbout, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(frmAbout->isVisible());

    form->trbLevel->setValue(6);
    form->butFehler->setFocus();
    QTest::keyClick(form->butFehler, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Statuses().back(), "Fertig!");
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Originalbild"));
    // A new picture is no longer the original of the last one.
    Open(Write(Pattern(30, 20), "q.bmp"));
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Reduziertes Bild"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ClassroomTest, TheWheelActsOnlyOnTheFocusedControl) {
    Open(Write(Pattern(40, 30), "p.bmp"));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->butEnde->setFocus();
    for (QWidget* control : {static_cast<QWidget*>(form->cmbEpsilon), static_cast<QWidget*>(form->cmbSchranke),
                             static_cast<QWidget*>(form->trbLevel), static_cast<QWidget*>(form->scrDelta)}) {
        Wheel(control, -1);
        Wheel(control, 1);
        EXPECT_FALSE(control->hasFocus()) << control->metaObject()->className();
    }
    EXPECT_EQ(form->cmbEpsilon->currentText(), QStringLiteral("5"));
    EXPECT_EQ(form->cmbSchranke->currentText(), QStringLiteral("50"));
    EXPECT_EQ(CurrentLevel, 6);
    EXPECT_EQ(form->scrDelta->value(), 0);

    // With the keyboard, the wheel moves it as before.
    form->trbLevel->setFocus();
    Wheel(form->trbLevel, -1);
    EXPECT_EQ(CurrentLevel, 5);
    form->scrDelta->setFocus();
    Wheel(form->scrDelta, -1);
    EXPECT_NE(form->scrDelta->value(), 0);
}

TEST_F(ClassroomTest, TheDeltaBarShowsWhenItHasTheKeyboard) {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->butEnde->setFocus();
    const QImage without = form->scrDelta->grab().toImage();
    form->trbLevel->setFocus();
    QTest::keyClick(form->trbLevel, Qt::Key_Tab);
    ASSERT_TRUE(form->scrDelta->hasFocus());
    const QImage with = form->scrDelta->grab().toImage();
    EXPECT_NE(with, without);
    form->butEnde->setFocus();
    EXPECT_EQ(form->scrDelta->grab().toImage(), without);
}

TEST_F(ClassroomTest, AClosedReducedWindowReturnsWithTheNextLevel) {
    Open(Write(Pattern(40, 30), "p.bmp"));
    ASSERT_TRUE(frmReducedImg->isVisible());
    frmReducedImg->close();
    ASSERT_FALSE(frmReducedImg->isVisible());
    form->butKompress->click();  // no level change: stays closed
    EXPECT_FALSE(frmReducedImg->isVisible());
    form->trbLevel->setValue(5);
    EXPECT_TRUE(frmReducedImg->isVisible());
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Reduziertes Bild"));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tesora::testing
