// The core writes pixels straight into the pictures' memory, which Qt cannot notice:
// every handler that paints must still get its pixels onto the screen.
#include <QCoreApplication>

#include "WindowHarness.h"

namespace tesora::testing {
namespace {

using RepaintTest = WindowTest;

void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

TEST_F(RepaintTest, HandlersThatPaintReachTheScreen) {
    Open(Write(Pattern(64, 64), "pattern.bmp"));
    ASSERT_TRUE(errors.empty());
    ImageSurface& reduced = *frmReducedImg->ReducedImg;
    ImageSurface& bild = *form->imgBild;
    Settle();

    // The rendering of a level change forces no repaint of its own.
    int before = reduced.PaintCount();
    form->trbLevel->setValue(4);
    Settle();
    EXPECT_GT(reduced.PaintCount(), before);

    // Reduce marks coefficients red without a refresh of its own.
    before = bild.PaintCount();
    form->cmbEpsilon->setEditText(QStringLiteral("1e999"));
    form->butKompress->click();
    Settle();
    EXPECT_GT(bild.PaintCount(), before);
    EXPECT_EQ(bild.Image().pixel(63, 63), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace tesora::testing
