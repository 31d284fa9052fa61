// The picture widget: what the core paints is what the screen shows after a handler,
// however the repaints were throttled, and a new picture rebinds the core's view.
#include <QImage>

#include "WindowHarness.h"
#include "app/ImageSurface.h"

namespace tesora::testing {
namespace {

TEST(ImageSurfaceTest, PaintedPixelsReachTheScreenAfterFlush) {
    ImageSurface surface;
    QImage start(8, 6, QImage::Format_Indexed8);  // indexed pictures ignore setPixel
    start.setColorCount(1);
    start.setColor(0, qRgb(9, 9, 9));
    start.fill(0);
    surface.SetImage(start);
    surface.resize(8, 6);
    surface.show();
    ASSERT_EQ(surface.Image().format(), QImage::Format_RGB32);

    // Many refreshes in a row: most are skipped, the last state must still be shown.
    for (int x = 0; x < 8; ++x) {
        surface.SetGrey(x, 2, 30 * x);
        surface.Refresh();
    }
    surface.SetPixel(7, 5, kMarkerRed);
    surface.Refresh();
    surface.Flush();
    const QImage shown = surface.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(5, 2), qRgb(150, 150, 150));
    EXPECT_EQ(shown.pixel(7, 5), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(9, 9, 9));
    EXPECT_EQ(surface.GetValue(7, 5), 255);
    EXPECT_EQ(surface.GetPixel(7, 5), kMarkerRed);

    // A copy taken before painting keeps its pixels; a new picture rebinds.
    const QImage copy = surface.Image();
    surface.SetGrey(0, 0, 200);
    EXPECT_EQ(copy.pixel(0, 0), qRgb(9, 9, 9));
    surface.SetImage(QImage(3, 4, QImage::Format_RGB32));
    EXPECT_EQ(surface.Width(), 3);
    EXPECT_EQ(surface.Height(), 4);
    surface.SetGrey(2, 3, 17);
    EXPECT_EQ(surface.Image().pixel(2, 3), qRgb(17, 17, 17));
    surface.SetGrey(3, 3, 17);  // outside: ignored
}

}  // namespace
}  // namespace tesora::testing
