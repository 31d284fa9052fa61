// The smallest usable Delta: the measured bound is exactly where the filters and the
// Gram matrices stop working, and checking a Delta leaves the program's state alone.
#include <cmath>
#include <cstring>

#include "ToolsFixture.h"
#include "tools/DeltaBound.h"

namespace tesora::testing {
namespace {

using DeltaBoundTest = ToolsTest;

TEST_F(DeltaBoundTest, BoundIsTheFirstUsableDouble) {
    EXPECT_TRUE(DeltaIsUsable(kSmallestUsableDelta));
    EXPECT_FALSE(DeltaIsUsable(std::nextafter(kSmallestUsableDelta, 0.0)));
    for (double refused : {1e-16, 1e-100, 5e-324}) EXPECT_FALSE(DeltaIsUsable(refused)) << refused;
    // Everything the scroll bar gives and a spread of raw values above the bound.
    for (int position = 1; position <= 100; ++position) EXPECT_TRUE(DeltaIsUsable(position * 0.01)) << position;
    for (double delta : {1.2e-16, 1e-15, 3e-12, 1e-8, 0.5}) EXPECT_TRUE(DeltaIsUsable(delta)) << delta;
}

TEST_F(DeltaBoundTest, CheckingLeavesDeltaAndFiltersAsTheyWere) {
    Delta = 0.37;
    RebuildWaveletCoeffs();
    double left[4], inner[5], right[4];
    std::memcpy(left, WaveletLeft, sizeof left);
    std::memcpy(inner, WaveletInner, sizeof inner);
    std::memcpy(right, WaveletRight, sizeof right);
    DeltaIsUsable(1e-100);
    EXPECT_EQ(Delta, 0.37);
    EXPECT_EQ(std::memcmp(left, WaveletLeft, sizeof left), 0);
    EXPECT_EQ(std::memcmp(inner, WaveletInner, sizeof inner), 0);
    EXPECT_EQ(std::memcmp(right, WaveletRight, sizeof right), 0);
}

}  // namespace
}  // namespace tesora::testing
