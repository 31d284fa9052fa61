// The windows as a user meets them: typed numbers, the keyboard, text that fits, the
// icon, Qt's own texts in German, screens smaller than the picture, tooltips.
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QTest>
#include <QTranslator>

#include "WindowHarness.h"
#include "app/ScreenFit.h"
#include "app/Startup.h"
#include "app/Wartefenster.h"

namespace tesora::testing {
namespace {

const QString kChelsea = QStringLiteral(TESORA_SOURCE_DIR "/samples/chelsea-451x300.bmp");

class StudentTest : public WindowTest {
protected:
    // Selects the box's text and types over it, key by key, as a user does.
    void Type(QComboBox* box, const char* text) {
        box->setFocus();
        QTest::keyClick(box->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box->lineEdit(), QString::fromLatin1(text));
    }
    void Activate() {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    }
    static QWidget* Focused() { return QApplication::focusWidget(); }

    std::vector<QWidget*> Windows() const { return {form, frmReducedImg, frmWarten, frmAbout}; }
};

TEST_F(StudentTest, TypedNumbersAreUsedAsTypedWithoutCompletionOrNewItems) {
    Activate();
    Open(kChelsea);
    ASSERT_TRUE(errors.empty());

    Type(form->cmbSchranke, "1");
    EXPECT_EQ(form->cmbSchranke->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Schranke, 1.0);
    form->butCalcDelta->click();
    EXPECT_EQ(form->labDeltaVorgeschlagen->text(), QStringLiteral(" 0.00903784"));

    form->trbLevel->setValue(8);
    Type(form->cmbEpsilon, "0");
    QTest::keyClick(form->cmbEpsilon->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->cmbEpsilon->currentText(), QStringLiteral("0"));
    EXPECT_EQ(form->cmbEpsilon->count(), 8);
    EXPECT_EQ(Epsilon, 0.0);
    form->butKompress->click();
    EXPECT_EQ(form->labProzent->text(), QStringLiteral("0 %"));

    // Converted like strtod in the C locale.
    Type(form->cmbEpsilon, "2.5x");
    EXPECT_EQ(Epsilon, 2.5);
    Type(form->cmbEpsilon, "7");
    EXPECT_EQ(Epsilon, 7.0);
    EXPECT_EQ(form->cmbEpsilon->count(), 8);
    form->butKompress->click();
    EXPECT_NE(form->labProzent->text(), QStringLiteral("0 %"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(StudentTest, TabWalksTheDesignOrderAndKeysMoveTheDeltaBar) {
    Open(Write(Pattern(40, 40), "p.bmp"));
    Activate();
    const std::vector<QWidget*> order = {form->butEnde,      form->trbLevel,   form->scrDelta,   form->butKompress,
                                         form->butCalcDelta, form->cmbEpsilon, form->butBmpOpen, form->butBMPSave,
                                         form->cmbSchranke,  form->butFehler,  form->butAbout};
    order.front()->setFocus();
    for (std::size_t i = 1; i <= order.size(); ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        QWidget* const expected = order[i % order.size()];
        EXPECT_TRUE(expected->hasFocus()) << "step " << i << ": " << Focused()->metaObject()->className();
    }
    for (std::size_t i = order.size(); i-- > 0;) {
        QTest::keyClick(Focused(), Qt::Key_Backtab);
        EXPECT_TRUE(order[i]->hasFocus()) << "back to " << i;
    }

    // Keys move the bar one step, and its handler runs as for a mouse move.
    form->scrDelta->setFocus();
    ASSERT_TRUE(form->scrDelta->hasFocus());
    const struct {
        Qt::Key key;
        int position;
    } keys[] = {{Qt::Key_Right, 1},  {Qt::Key_PageDown, 2}, {Qt::Key_Down, 3},  {Qt::Key_Up, 2},
                {Qt::Key_PageUp, 1}, {Qt::Key_Left, 0},     {Qt::Key_End, 100}, {Qt::Key_Home, 0}};
    for (const auto& step : keys) {
        const std::size_t before = Statuses().size();
        QTest::keyClick(form->scrDelta, step.key);
        EXPECT_EQ(form->scrDelta->value(), step.position) << step.key;
        EXPECT_EQ(Delta, step.position * 0.01);
        EXPECT_EQ(Statuses().size(), before + 2);
        EXPECT_EQ(Statuses().back(), "Fertig!");
    }
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0"));
    QTest::keyClick(form->scrDelta, Qt::Key_Right);
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0.01"));
    EXPECT_TRUE(errors.empty());
}

TEST_F(StudentTest, EveryLabelOfEveryWindowFitsInsideItsWindow) {
    const auto expectInside = [&](const char* when) {
        for (QWidget* window : Windows()) {
            for (QLabel* label : window->findChildren<QLabel*>()) {
                const int textWidth = QFontMetrics(label->font()).horizontalAdvance(label->text());
                EXPECT_GE(label->width(), textWidth) << when << ": " << label->text().toStdString();
                const QRect inWindow(label->mapTo(window, QPoint(0, 0)), label->size());
                EXPECT_TRUE(window->rect().contains(inWindow))
                    << when << ": \"" << label->text().toStdString() << "\" at " << inWindow.x() << "," << inWindow.y()
                    << " " << inWindow.width() << "x" << inWindow.height() << " in " << window->width() << "x"
                    << window->height();
            }
            for (QPushButton* button : window->findChildren<QPushButton*>())
                EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width() - 4)
                    << button->text().toStdString();
        }
    };
    expectInside("start");
    Open(Write(Pattern(60, 40), "p.bmp"));
    form->trbLevel->setValue(3);
    form->butKompress->click();
    form->butCalcDelta->click();
    expectInside("after a picture");
}

TEST_F(StudentTest, AllFourWindowsCarryThe32PixelSixteenColourIcon) {
    for (QWidget* window : Windows()) {
        const QIcon icon = window->windowIcon();
        ASSERT_FALSE(icon.isNull()) << window->windowTitle().toStdString();
        EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
        const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(32, 32));
        QSet<QRgb> colours;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) colours.insert(image.pixel(x, y));
        EXPECT_LE(colours.size(), 16);
        EXPECT_GE(colours.size(), 4);  // a picture, not a blank square
    }
}

TEST_F(StudentTest, QtsOwnDialogTextsAreGerman) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Suchen in:"));
    QDialogButtonBox buttons(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Open)->text(), QStringLiteral("Öffnen"));
    // Preparing again installs no second translator.
    EXPECT_TRUE(PrepareApplication(*qApp));
    EXPECT_EQ(qApp->findChildren<QTranslator*>().size(), 1);
}

// Every button of the main window lies on the screen and inside the client area.
void ExpectButtonsOnScreen(TfrmTesora* form, const QRect& screen) {
    EXPECT_TRUE(screen.contains(form->frameGeometry()));
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        EXPECT_TRUE(form->rect().contains(button->geometry())) << button->text().toStdString();
        EXPECT_TRUE(button->isVisible());
    }
    EXPECT_TRUE(form->rect().contains(QRect(form->labDateiName->pos(), QSize(1, 1))));
}

TEST_F(StudentTest, PictureScrollsWhenTheWindowWouldNotFitTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    form->SetScreenArea([screen](const QWidget&) { return screen; });
    const QMargins frame = FrameMargins(*form);  // offscreen: the standard frame

    // 512 pixels fit: the designed sizes. The reduced window finds no whole place beside
    // it: it goes over the main picture, below the title bar and above the buttons, at
    // the screen's right edge, and scrolls.
    Open(QStringLiteral(TESORA_SOURCE_DIR "/samples/camera-512.bmp"));
    EXPECT_EQ(form->size(), QSize(512 + 145, 512 + 65));
    EXPECT_EQ(form->sclBild, nullptr);
    EXPECT_EQ(form->imgBild->geometry(), QRect(144, 0, 513, 513));
    const QMargins assumed = FrameMargins(*frmReducedImg);
    const QRect reducedOuter = OuterRect(*frmReducedImg, assumed);
    EXPECT_TRUE(screen.contains(reducedOuter));
    EXPECT_GE(reducedOuter.right(), screen.right() - 8);  // at the edge, less what the scroll bars leave
    EXPECT_EQ(frmReducedImg->y(), form->y() + FrameMargins(*form).top());
    EXPECT_LT(reducedOuter.bottom(), form->y() + FrameMargins(*form).top() + form->butEnde->y());
    ASSERT_NE(frmReducedImg->sclReduced, nullptr);
    EXPECT_TRUE(frmReducedImg->sclReduced->isVisible());

    // 5 x 2000: the window takes the screen's height, the picture scrolls, the column of
    // controls keeps its geometry and the buttons sit 45 pixels above the bottom.
    Open(Write(Pattern(5, 2000), "tall.bmp"));
    ASSERT_TRUE(errors.empty());
    const int height = screen.height() - frame.top() - frame.bottom();
    EXPECT_EQ(form->height(), height);
    EXPECT_EQ(form->y(), 0);
    ASSERT_NE(form->sclBild, nullptr);
    EXPECT_EQ(form->sclBild->widget(), form->imgBild);
    EXPECT_EQ(form->sclBild->geometry(), QRect(144, 0, form->width() - 144, height - 64));
    EXPECT_EQ(form->imgBild->size(), QSize(6, 2001));
    EXPECT_GT(form->sclBild->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(form->butEnde->geometry(), QRect(320, height - 45, 57, 25));
    EXPECT_EQ(form->labDateiName->y(), height - 15);
    EXPECT_EQ(form->Panel1->height(), height - 1);
    EXPECT_EQ(form->scrDelta->geometry(), QRect(8, 74, 121, 16));
    EXPECT_EQ(form->butFehler->geometry(), QRect(16, 272, 97, 25));
    ExpectButtonsOnScreen(form, screen);
    EXPECT_TRUE(screen.contains(frmReducedImg->frameGeometry()));
    EXPECT_NE(frmReducedImg->sclReduced, nullptr);
    EXPECT_EQ(frmReducedImg->ReducedImg->size(), QSize(5, 2000));

    // The road still works through the scroll area.
    form->trbLevel->setValue(2);
    form->trbLevel->setValue(3);
    form->butFehler->click();
    EXPECT_EQ(form->labFehler->text(), QStringLiteral("0"));
    EXPECT_TRUE(errors.empty());

    // A picture that fits again gets the designed geometry back.
    Open(Write(Pattern(100, 80), "small.bmp"));
    EXPECT_EQ(form->size(), QSize(383, 322));
    EXPECT_EQ(form->imgBild->parentWidget(), form);
    EXPECT_EQ(form->imgBild->geometry(), QRect(144, 0, 101, 81));
    EXPECT_FALSE(form->sclBild->isVisible());
    EXPECT_EQ(form->butEnde->y(), 277);
    EXPECT_EQ(frmReducedImg->ReducedImg->parentWidget(), frmReducedImg);
    EXPECT_EQ(frmReducedImg->size(), QSize(100, 80));
}

TEST_F(StudentTest, TallPicturesKeepEveryButtonOnTheRealScreen) {
    const QRect screen = form->screen()->availableGeometry();
    for (const QSize size : {QSize(5, 2000), QSize(37, 65536)}) {
        Open(Write(Pattern(size.width(), size.height()), "tall.bmp"));
        ASSERT_TRUE(errors.empty());
        EXPECT_EQ(PictureHeight, size.height());
        ExpectButtonsOnScreen(form, screen);
        EXPECT_TRUE(screen.intersects(frmReducedImg->frameGeometry()));
        EXPECT_EQ(frmReducedImg->frameGeometry().topLeft(), MoveInside(frmReducedImg->frameGeometry(), screen));
        // The last picture row is still there to scroll to.
        EXPECT_EQ(qRed(form->imgBild->Image().pixel(size.width() - 1, size.height() - 1)),
                  (3 * (size.width() - 1) + 5 * (size.height() - 1)) % 256);
    }
    form->butEnde->click();
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(StudentTest, FitClientScrollsOnlyWhatDoesNotFit) {
    const QSize room(1000, 800), chrome(144, 64), minimum(383, 322);
    // The main window's sizes for a picture, as designed and as fitted into `space`.
    const auto fit = [&](QSize picture, QSize space = QSize(1000, 800)) {
        const QSize designed(picture.width() <= 250 ? 383 : picture.width() + 145,
                             picture.height() <= 250 ? 322 : picture.height() + 65);
        return FitClient(designed, picture + QSize(1, 1), chrome, minimum, space, 15);
    };
    EXPECT_FALSE(fit({755, 735}).scrolls);
    EXPECT_EQ(fit({755, 735}).size, QSize(900, 800));
    EXPECT_EQ(fit({251, 251}).size, QSize(396, 316));
    EXPECT_EQ(fit({5, 2000}, QSize()).size, QSize(383, 2065));
    // Down only: the vertical bar still fits beside the picture, or in the minimum width.
    EXPECT_EQ(fit({755, 2000}).size, QSize(915, 800));
    EXPECT_EQ(fit({5, 2000}).size, QSize(383, 800));
    EXPECT_TRUE(fit({5, 2000}).scrolls);
    // The bar pushes the width over the edge: both directions scroll.
    EXPECT_EQ(fit({845, 2000}).size, room);
    EXPECT_EQ(fit({1025, 235}).size, QSize(1000, 322));
    EXPECT_EQ(fit({1025, 260}).size, QSize(1000, 340));
    // A screen below the minimum: the window keeps the minimum.
    EXPECT_EQ(fit({5, 2000}, QSize(300, 200)).size, minimum);
    EXPECT_FALSE(fit({100, 80}, QSize(300, 200)).scrolls);
    // The reduced window: the picture is all of it.
    EXPECT_EQ(FitClient({512, 512}, {512, 512}, {0, 0}, {0, 0}, room, 15).size, QSize(512, 512));
    EXPECT_EQ(FitClient({5, 2000}, {5, 2000}, {0, 0}, {0, 0}, room, 15).size, QSize(20, 800));

    EXPECT_EQ(MoveInside(QRect(790, 106, 520, 540), QRect(0, 0, 1280, 1024)), QPoint(760, 106));
    EXPECT_EQ(MoveInside(QRect(50, 106, 400, 3000), QRect(10, 20, 1280, 1024)), QPoint(50, 20));
    EXPECT_EQ(MoveInside(QRect(-5, 106, 400, 300), QRect()), QPoint(-5, 106));
}

TEST_F(StudentTest, EveryControlExplainsItselfWithoutRunningAnything) {
    Open(Write(Pattern(40, 40), "p.bmp"));
    EXPECT_EQ(form->cmbEpsilon->toolTip(),
              QStringLiteral("Details, deren Betrag kleiner ist, werden bei Reduce auf 0 gesetzt."));
    std::vector<QWidget*> explained = {form->imgBild,   frmReducedImg->ReducedImg, form->labLevel,
                                       form->labDelta,  form->labProzent,          form->labDeltaVorgeschlagen,
                                       form->labFehler, form->labDateiName};
    for (QWidget* child : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->focusPolicy() != Qt::NoFocus && !qobject_cast<QLineEdit*>(child)) explained.push_back(child);
    EXPECT_GE(explained.size(), 8u + 11u);
    const std::size_t statuses = Statuses().size();
    for (QWidget* control : explained) {
        const QString tip = control->toolTip();
        EXPECT_TRUE(tip.endsWith(QLatin1Char('.'))) << control->metaObject()->className() << ": " << tip.toStdString();
        EXPECT_EQ(tip.count(QLatin1Char('.')) - tip.count(QStringLiteral("0.")), 1) << tip.toStdString();
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &help);
    }
    EXPECT_EQ(Statuses().size(), statuses);
    EXPECT_EQ(Delta, 0.0);
    EXPECT_EQ(CurrentLevel, 6);
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace tesora::testing
