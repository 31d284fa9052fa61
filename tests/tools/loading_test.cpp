#include <gtest/gtest.h>

#include "ToolsFixture.h"
#include "matrix/Error.h"

namespace tesora::testing {
namespace {

using LoadingTest = ToolsTest;

TEST_F(LoadingTest, ReadsTheBlockAndClearsEverythingElse) {
    ClearCoeffMatrix(77.0);  // an earlier picture
    Open(GreyPicture(9, 20, [](int x, int y) { return 1 + x + 10 * y; }));
    ASSERT_EQ(CurrentLevel, 3);
    EXPECT_EQ(frontend.statusHistory, (std::vector<std::string>{"Lese Farbwerte...", "Level: 3"}));
    for (int i = 1; i <= kMaxSide; ++i)
        for (int j = 1; j <= kMaxSide; ++j) {
            const double expected = i <= 9 && j <= 9 ? 1.0 + (i - 1) + 10.0 * (j - 1) : 0.0;
            ASSERT_EQ(CoeffMatrix.Get(i, j), expected) << i << ", " << j;
        }

    // Only the red byte counts.
    MemorySurface colour(4, 1);
    colour.SetPixel(0, 0, 0x0000FF00u);
    colour.SetPixel(1, 0, 0x00FF0000u);
    colour.SetPixel(2, 0, 0x000000FFu);
    Open(colour);
    EXPECT_EQ(CoeffMatrix.Get(1, 1), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(2, 1), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(3, 1), 255.0);
}

TEST_F(LoadingTest, LevelBeyondTheMatrixIsRefused) {
    CurrentLevel = 11;
    EXPECT_THROW(ReadColourValues(frontend), Error);
}

}  // namespace
}  // namespace tesora::testing
