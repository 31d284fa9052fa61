// A uniform picture survives decomposition and reconstruction only up to rounding; the
// rounding of the Cholesky steps in extended precision decides which pixels fall to 127.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ToolsFixture.h"
#include "mra/LevelChange.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

using ExtendedStepsTest = ToolsTest;

// 129 x 95, grey 128, level 6, Delta position 100, Epsilon 0. An independent model of
// the program finds the reconstruction 11618 grey levels away from the picture, summed
// over its 12255 pixels; plain double steps gave 11584 ("Fehler: 0.945247").
TEST_F(ExtendedStepsTest, UniformGreyRoundTripGivesTheIndependentModelsError) {
    constexpr int kWidth = 129, kHeight = 95, kDistance = 11618;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%g", static_cast<double>(kDistance) / (kWidth * kHeight));
    ASSERT_EQ(std::string(expected), "0.948021");

    Open(GreyPicture(kWidth, kHeight, [](int, int) { return 128; }));
    frontend.SetDeltaPosition(100);
    Epsilon = 0.0;
    LevelChange(frontend, 6);
    Reduce(frontend);
    LevelChange(frontend, PictureLevel);
    MeasureError(frontend);

    EXPECT_EQ(frontend.Text(Label::Fehler), expected);
    int distance = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            distance += std::abs(static_cast<int>(frontend.bild.GetPixel(x, y) & 0xFF) - 128);
    EXPECT_EQ(distance, kDistance);
}

}  // namespace
}  // namespace tesora::testing
