// The main window before any picture: start-up state, the Delta scroll bar, "?" and "Ende".
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <clocale>
#include <cstring>

#include "WindowHarness.h"
#include "blac/DeltaControl.h"
#include "app/Wartefenster.h"

namespace tesora::testing {
namespace {

using MainWindowTest = WindowTest;

TEST_F(MainWindowTest, StartsWithTitleLabelsAndOnlyTheSafeControlsEnabled) {
    EXPECT_EQ(Caption(), QStringLiteral("Tesora - von den Tesora-Entwicklern"));
    EXPECT_EQ(form->labLevel->text(), QStringLiteral("Level: 8"));
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0"));
    EXPECT_EQ(form->labProzent->text(), QStringLiteral("0 %"));
    EXPECT_TRUE(form->labProzent->font().bold());
    EXPECT_EQ(form->labDateiName->text(), QStringLiteral("Kein Bild geladen!"));
    EXPECT_EQ(form->cmbEpsilon->currentText(), QStringLiteral("5"));
    EXPECT_EQ(form->cmbEpsilon->count(), 8);
    EXPECT_EQ(form->cmbSchranke->currentText(), QStringLiteral("50"));
    EXPECT_EQ(form->cmbSchranke->count(), 6);

    EXPECT_EQ(form->trbLevel->minimum(), 2);
    EXPECT_EQ(form->trbLevel->maximum(), 8);
    EXPECT_EQ(form->trbLevel->value(), 8);
    for (QWidget* off : {static_cast<QWidget*>(form->trbLevel), static_cast<QWidget*>(form->butKompress),
                         static_cast<QWidget*>(form->butCalcDelta), static_cast<QWidget*>(form->butBMPSave),
                         static_cast<QWidget*>(form->butFehler)})
        EXPECT_FALSE(off->isEnabled()) << off->metaObject()->className();
    for (QWidget* on : {static_cast<QWidget*>(form->butBmpOpen), static_cast<QWidget*>(form->butEnde),
                        static_cast<QWidget*>(form->butAbout), static_cast<QWidget*>(form->scrDelta),
                        static_cast<QWidget*>(form->cmbEpsilon), static_cast<QWidget*>(form->cmbSchranke)})
        EXPECT_TRUE(on->isEnabled());

    EXPECT_EQ(form->size(), QSize(385, 322));
    EXPECT_EQ(form->imgBild->geometry(), QRect(144, 0, 193, 161));
    EXPECT_EQ(form->trbLevel->geometry(), QRect(0, 25, 135, 33));
    EXPECT_EQ(form->scrDelta->geometry(), QRect(8, 74, 121, 16));
    EXPECT_EQ(form->Panel1->geometry(), QRect(136, 0, 2, 321));
    EXPECT_EQ(form->butEnde->geometry(), QRect(320, 272, 57, 25));
    EXPECT_EQ(form->labFehler->pos(), QPoint(48, 304));

    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(frmReducedImg->isVisible());
    EXPECT_FALSE(frmWarten->isVisible());
    EXPECT_FALSE(frmAbout->isVisible());
    EXPECT_EQ(frmWarten->windowTitle(), QStringLiteral("Wartefenster"));
    EXPECT_EQ(frmReducedImg->windowTitle(), QStringLiteral("Reduziertes Bild"));
}

TEST_F(MainWindowTest, DeltaScrollBarShowsPointNumbersUnderAGermanLocale) {
    // QApplication took the locale from the environment: a plain printf would write "0,25".
    ASSERT_EQ(std::strcmp(std::localeconv()->decimal_point, ","), 0);
    const double innerAtZero = WaveletInner[2];

    form->scrDelta->setValue(25);
    EXPECT_EQ(Delta, 0.25);
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0.25"));
    EXPECT_EQ(form->labLevel->text(), QStringLiteral("Level: 8"));
    ASSERT_GE(Statuses().size(), 2u);
    EXPECT_EQ(Statuses()[Statuses().size() - 2], "Berechne Matrizen neu...");
    EXPECT_EQ(Statuses().back(), "Fertig!");
    EXPECT_EQ(Caption(), QStringLiteral("Fertig!"));
    EXPECT_NE(WaveletInner[2], innerAtZero);

    form->scrDelta->setValue(61);
    EXPECT_EQ(Delta, DeltaFromPosition(61));
    EXPECT_EQ(Delta, 0.61);  // the double nearest 0.61
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0.61"));

    // The same position again runs nothing.
    const std::size_t before = Statuses().size();
    form->scrDelta->setValue(61);
    EXPECT_EQ(Statuses().size(), before);
    EXPECT_EQ(PictureWidth, 0);
    EXPECT_FALSE(form->trbLevel->isEnabled());
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, AboutShowsTheOneWindowAgainAfterClosing) {
    TfrmAbout* const about = frmAbout;
    form->butAbout->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(about->Label1->pos(), QPoint(120, 16));
    about->butOK->click();
    EXPECT_FALSE(about->isVisible());
    form->butAbout->click();
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_FALSE(about->isVisible());
    form->butAbout->click();
    form->butAbout->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(frmAbout, about);
    int abouts = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) abouts += qobject_cast<TfrmAbout*>(w) != nullptr;
    EXPECT_EQ(abouts, 1);
    // The main window stays usable beside it.
    form->scrDelta->setValue(10);
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0.1"));
}

TEST_F(MainWindowTest, EndeClosesTheSecondaryWindowsAndExitsWithZero) {
    form->butAbout->click();
    form->butEnde->click();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(frmAbout, nullptr);
    EXPECT_EQ(frmReducedImg, nullptr);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MainWindowTest, ClosingTheMainWindowAloneEndsTheMessageLoop) {
    EXPECT_TRUE(form->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_FALSE(frmReducedImg->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_FALSE(frmAbout->testAttribute(Qt::WA_QuitOnClose));
}

}  // namespace
}  // namespace tesora::testing
