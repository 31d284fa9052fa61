#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolsFixture.h"
#include "matrix/Error.h"
#include "tools/ErrorMeasurement.h"

namespace tesora::testing {
namespace {

using MeasureErrorTest = ToolsTest;

TEST_F(MeasureErrorTest, RightAfterOpeningTheErrorIsZero) {
    Open(RandomPicture(37, 23, 3));
    frontend.reduced = GreyPicture(37, 23, [](int, int) { return 0; });  // e.g. a difference picture
    const double corner = CoeffMatrix.Get(5, 5);
    frontend.statusHistory.clear();

    EXPECT_EQ(MeasureError(frontend), 0.0);
    EXPECT_EQ(frontend.Text(Label::Fehler), "0");
    EXPECT_EQ(frontend.statusHistory, (std::vector<std::string>{"Berechne Fehler...", "Fertig!"}));
    EXPECT_EQ(frontend.reducedStatus, "Originalbild");
    EXPECT_EQ(frontend.reduced.Words(), frontend.bild.Words());
    EXPECT_EQ(CoeffMatrix.Get(5, 5), corner);
}

TEST_F(MeasureErrorTest, MeanAbsoluteDifferenceOfTheRedBytes) {
    Open(GreyPicture(2, 2, [](int x, int y) { return 10 + 20 * x + 40 * y; }));
    frontend.bild.SetGrey(0, 0, 11);                           // +1
    frontend.bild.SetPixel(1, 0, 30 | 0x00FF00u | 0xFF0000u);  // red equal: 0
    frontend.bild.SetGrey(0, 1, 47);                           // -3
    EXPECT_EQ(MeasureError(frontend), 1.0);
    EXPECT_EQ(frontend.Text(Label::Fehler), "1");

    // 1,234,567 grey levels over a million pixels.
    MemorySurface file(1000, 1000);
    for (int n = 0; n < 4841; ++n) file.SetGrey(n % 1000, n / 1000, 255);
    file.SetGrey(999, 999, 112);
    Open(GreyPicture(1000, 1000, [](int, int) { return 0; }));
    frontend.reloadOriginal = [file](MemorySurface& target) { target = file; };
    EXPECT_DOUBLE_EQ(MeasureError(frontend), 1.234567);
    EXPECT_EQ(frontend.Text(Label::Fehler), "1.23457");
}

TEST_F(MeasureErrorTest, FailedReloadChangesNothing) {
    Open(RandomPicture(8, 8, 4));
    frontend.reduced = GreyPicture(8, 8, [](int x, int) { return x; });
    frontend.SetLabel(Label::Fehler, "2.5");
    frontend.SetStatus("Fertig!");
    frontend.SetReducedStatus("Reduziertes Bild");
    const MemoryFrontend before = frontend;
    frontend.reloadOriginal = [](MemorySurface&) { throw Error("Datei nicht lesbar"); };

    EXPECT_THROW(MeasureError(frontend), Error);
    EXPECT_EQ(frontend.labels, before.labels);
    EXPECT_EQ(frontend.statusHistory, before.statusHistory);
    EXPECT_EQ(frontend.reducedStatusHistory, before.reducedStatusHistory);
    EXPECT_EQ(frontend.reduced.Words(), before.reduced.Words());
    EXPECT_EQ(frontend.bild.Words(), before.bild.Words());
}

// The file was replaced by a picture of another size: only pixels both pictures have are
// compared, and the mean is over those.
TEST_F(MeasureErrorTest, ReloadedPictureOfAnotherSize) {
    Open(GreyPicture(4, 4, [](int, int) { return 10; }));
    frontend.reloadOriginal = [](MemorySurface& target) { target = GreyPicture(2, 3, [](int, int) { return 16; }); };
    EXPECT_EQ(MeasureError(frontend), 6.0);
    EXPECT_EQ(frontend.reduced.Width(), 2);

    frontend.reloadOriginal = [](MemorySurface& target) {
        target = GreyPicture(6, 9, [](int x, int y) { return x < 4 && y < 4 ? 12 : 200; });
    };
    EXPECT_EQ(MeasureError(frontend), 2.0);
    EXPECT_EQ(frontend.Text(Label::Fehler), "2");

    // Nothing to compare: no division by zero.
    frontend.reloadOriginal = [](MemorySurface& target) { target = MemorySurface(); };
    EXPECT_EQ(MeasureError(frontend), 0.0);
    EXPECT_EQ(frontend.Text(Label::Fehler), "0");
    PictureWidth = PictureHeight = 0;
    EXPECT_EQ(MeasureError(frontend), 0.0);
}

}  // namespace
}  // namespace tesora::testing
