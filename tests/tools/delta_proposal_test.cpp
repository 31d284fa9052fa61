#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>

#include "ToolsFixture.h"
#include "blac/DeltaControl.h"
#include "matrix/Numbers.h"

namespace tesora::testing {
namespace {

class CalcDeltaTest : public ToolsTest {
protected:
    int Rebuilds() const {
        const auto& h = frontend.statusHistory;
        return static_cast<int>(std::count(h.begin(), h.end(), std::string("Berechne Matrizen neu...")));
    }
    bool IsFrame(int x, int y) const { return x == 0 || y == 0 || x == PictureWidth - 1 || y == PictureHeight - 1; }
};

TEST_F(CalcDeltaTest, UniformBlackPictureGivesWhiteInsideABlackFrame) {
    Open(GreyPicture(7, 6, [](int, int) { return 0; }));
    frontend.reduced = GreyPicture(7, 6, [](int, int) { return 100; });  // cleared first
    frontend.statusHistory.clear();
    Delta = 0.0;

    CalcDelta(frontend);

    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(frontend.reduced.GetPixel(x, y), IsFrame(x, y) ? Grey(0) : Grey(255)) << x << ", " << y;
    EXPECT_EQ(DifferenceSumBelow, 0.0);
    EXPECT_EQ(DifferenceSumTotal, 0.0);
    EXPECT_EQ(Delta, 0.0);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0");
    EXPECT_EQ(frontend.deltaPosition, 0);
    EXPECT_EQ(frontend.statusHistory,
              (std::vector<std::string>{"Initialisiere...", "Berechne Differenzenbild...", "Fertig!"}));
    EXPECT_TRUE(frontend.reducedStatusHistory.empty());
    EXPECT_GE(frontend.reduced.refreshCount, 1);
}

TEST_F(CalcDeltaTest, UniformBrightPictureShowsTheLeftOutNeighbours) {
    Open(GreyPicture(7, 6, [](int, int) { return 255; }));
    CalcDelta(frontend);

    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) {
            Colour expected = Grey(255);
            if (IsFrame(x, y) || (x == 1 && y == 1))
                expected = Grey(0);  // v = 5c/3
            else if (x == 1 || y == 1)
                expected = Grey(73);  // v = 5c/7
            ASSERT_EQ(frontend.reduced.GetPixel(x, y), expected) << x << ", " << y;
        }
    EXPECT_EQ(DifferenceSumBelow, 0.0);
    EXPECT_NEAR(DifferenceSumTotal, 5 * 255.0 / 3 + 7 * (5 * 255.0 / 7), 1e-9);
    EXPECT_EQ(Delta, 0.0);
}

// One bright pixel: weight 8 in the inside, and the response painted one pixel right of
// and below the pixel whose value the element holds.
TEST_F(CalcDeltaTest, KernelWeightsAndPlacement) {
    Open(GreyPicture(6, 6, [](int x, int y) { return x == 2 && y == 2 ? 8 : 0; }));
    Schranke = 10.0;
    CalcDelta(frontend);

    EXPECT_EQ(frontend.reduced.GetPixel(3, 3), Grey(255 - 20));
    EXPECT_EQ(frontend.reduced.GetPixel(2, 3), Grey(255 - 5));
    EXPECT_EQ(frontend.reduced.GetPixel(3, 2), Grey(255 - 5));
    EXPECT_EQ(frontend.reduced.GetPixel(4, 3), Grey(255 - 5));
    EXPECT_EQ(frontend.reduced.GetPixel(2, 2), Grey(255));
    EXPECT_EQ(DifferenceSumTotal, 40.0);
    EXPECT_EQ(DifferenceSumBelow, 20.0);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0.5");
    EXPECT_EQ(frontend.deltaPosition, 50);
    EXPECT_EQ(Delta, 0.5);
}

TEST_F(CalcDeltaTest, AValueEqualToTheBoundCountsInTheTotalOnly) {
    Open(GreyPicture(3, 3, [](int, int) { return 30; }));  // one inner pixel, v = 5 * 60 / 6
    CalcDelta(frontend);
    EXPECT_EQ(DifferenceSumTotal, 50.0);
    EXPECT_EQ(DifferenceSumBelow, 0.0);
    EXPECT_EQ(Delta, 0.0);
    EXPECT_EQ(frontend.reduced.GetPixel(1, 1), Grey(205));

    SchrankeChanged("50.0001");
    CalcDelta(frontend);
    EXPECT_EQ(DifferenceSumBelow, 50.0);
    EXPECT_EQ(frontend.deltaPosition, 100);
    EXPECT_EQ(Delta, 1.0);
}

TEST_F(CalcDeltaTest, ProposalMovesTheScrollBarByTruncation) {
    DifferenceSumBelow = 0.61725;
    DifferenceSumTotal = 1.0;
    ProposeDelta(frontend);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0.61725");
    EXPECT_EQ(frontend.deltaPosition, 61);
    EXPECT_EQ(Delta, DeltaFromPosition(61));
    EXPECT_EQ(frontend.Text(Label::Delta), "Delta: 0.61");
    EXPECT_EQ(Rebuilds(), 1);

    DifferenceSumBelow = 0.29;  // the double nearest 0.29 lies just below it
    ProposeDelta(frontend);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0.29");
    EXPECT_EQ(frontend.deltaPosition, 28);
    EXPECT_EQ(Delta, DeltaFromPosition(28));
}

TEST_F(CalcDeltaTest, WithoutDifferencesDeltaStaysButTheScrollBarMaySlipDown) {
    frontend.SetDeltaPosition(61);
    ASSERT_EQ(Delta, DeltaFromPosition(61));
    Open(GreyPicture(5, 5, [](int, int) { return 0; }));
    CalcDelta(frontend);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0.61");
    EXPECT_EQ(frontend.deltaPosition, 60);
    EXPECT_EQ(Delta, DeltaFromPosition(60));
    EXPECT_EQ(FormatG(Delta), "0.6");

    // Pictures without an inner pixel: nothing summed, nothing painted, Delta kept.
    frontend.SetDeltaPosition(25);
    for (const auto& [w, h] : {std::pair{2, 2}, std::pair{1, 1}, std::pair{2, 9}, std::pair{9, 2}}) {
        Open(GreyPicture(w, h, [](int x, int y) { return 40 * x + 90 * y; }));
        CalcDelta(frontend);
        EXPECT_EQ(DifferenceSumTotal, 0.0) << w << " x " << h;
        EXPECT_EQ(Delta, 0.25);
        EXPECT_EQ(frontend.deltaPosition, 25);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) EXPECT_EQ(frontend.reduced.GetPixel(x, y), Grey(0));
    }
}

TEST_F(CalcDeltaTest, SecondClickChangesNothingMore) {
    Open(RandomPicture(40, 30, 7));
    Schranke = 100.0;
    CalcDelta(frontend);
    const double proposal = DifferenceSumBelow / DifferenceSumTotal;
    const int position = frontend.deltaPosition;
    const auto picture = frontend.reduced.Words();
    const int rebuilds = Rebuilds();
    ASSERT_EQ(position, PositionFromDelta(proposal));
    ASSERT_EQ(Delta, DeltaFromPosition(position));

    CalcDelta(frontend);
    EXPECT_EQ(frontend.reduced.Words(), picture);
    EXPECT_EQ(frontend.deltaPosition, position);
    EXPECT_EQ(Rebuilds(), rebuilds);  // the scroll bar did not move, nothing was rebuilt
    EXPECT_EQ(Delta, proposal);       // and Delta keeps the unrounded proposal
}

// A picture taller than its block: the load clears the matrix outside the block, so an
// earlier picture's values cannot reach the difference picture.
TEST_F(CalcDeltaTest, TallPictureSeesNoLeftoversOfAnEarlierPicture) {
    ClearCoeffMatrix(77.0);
    Open(GreyPicture(9, 20, [](int, int) { return 0; }));  // block 9 x 9
    CalcDelta(frontend);
    EXPECT_EQ(DifferenceSumTotal, 0.0);
    for (int y = 1; y < 19; ++y)
        for (int x = 1; x < 8; ++x) ASSERT_EQ(frontend.reduced.GetPixel(x, y), Grey(255)) << x << ", " << y;
}

// Taller than the matrix: elements beyond column 1025 count as 0.0 instead of wrapping
// into the next row's storage (or past the end of the matrix).
TEST_F(CalcDeltaTest, PictureTallerThanTheMatrixReadsZerosBeyondIt) {
    const auto run = [&](int height) {
        PictureWidth = 5;
        PictureHeight = height;
        PictureLevel = CurrentLevel = 2;
        frontend.reduced.Resize(5, height);
        ClearCoeffMatrix();
        for (int i = 1; i <= 6; ++i) CoeffMatrix.Set(i, 1, 1000.0);  // where (i-1, 1026) would wrap to
        CalcDelta(frontend);
        return DifferenceSumTotal;
    };
    const double shortTotal = run(10);
    const double tallTotal = run(1100);
    EXPECT_EQ(tallTotal, shortTotal);
    for (int y = 3; y < 1099; ++y)
        for (int x = 1; x <= 3; ++x) ASSERT_EQ(frontend.reduced.GetPixel(x, y), Grey(255)) << x << ", " << y;
}

// An infinite element makes the ratio of the sums NaN. Taken as the proposal it would
// show "nan", throw the scroll bar to 0, or at position 0 leave Delta NaN for every
// later transform; Delta is kept instead.
TEST_F(CalcDeltaTest, InfiniteDifferencesKeepDelta) {
    frontend.SetDeltaPosition(50);
    Open(GreyPicture(6, 6, [](int, int) { return 10; }));
    CoeffMatrix.Set(3, 3, std::numeric_limits<double>::infinity());
    CalcDelta(frontend);
    EXPECT_EQ(Delta, 0.5);
    EXPECT_EQ(frontend.deltaPosition, 50);
    EXPECT_EQ(frontend.Text(Label::DeltaVorgeschlagen), " 0.5");
    EXPECT_EQ(frontend.reduced.GetPixel(3, 3), Grey(0));
}

}  // namespace
}  // namespace tesora::testing
