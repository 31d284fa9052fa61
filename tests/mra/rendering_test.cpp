// The reduced picture: the scaling function, the evaluation and the painted samples.
#include <cmath>

#include "MraFixture.h"

using namespace tesora;
using namespace tesora::testing;

namespace {
class Rendering : public MraTest {
protected:
    void Prepare(int width, int height, int level) {
        PictureWidth = width;
        PictureHeight = height;
        CurrentLevel = level;
        frontend.reduced.Resize(width, height);
    }
    static void RandomBlock(int level, unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> value(-30.0, 290.0);
        const int side = (1 << level) + 1;
        for (int i = 1; i <= side; ++i)
            for (int j = 1; j <= side; ++j) CoeffMatrix.Set(i, j, value(random));
    }
};
}  // namespace

TEST_F(Rendering, ScalingFunctionIsBoxTrapezoidOrHat) {
    Delta = 0.0;
    EXPECT_EQ(ScalingFunction(0.0), 0.0);
    EXPECT_EQ(ScalingFunction(0.001), 1.0);
    EXPECT_EQ(ScalingFunction(1.0), 1.0);
    EXPECT_EQ(ScalingFunction(1.0001), 0.0);
    Delta = 0.5;
    EXPECT_EQ(ScalingFunction(0.25), 0.5);
    EXPECT_EQ(ScalingFunction(0.5), 1.0);
    EXPECT_EQ(ScalingFunction(1.25), 0.5);
    EXPECT_EQ(ScalingFunction(1.5), 0.0);
    EXPECT_EQ(ScalingFunction(-0.1), 0.0);
    Delta = 1.0;
    EXPECT_EQ(ScalingFunction(0.0), 0.0);
    EXPECT_EQ(ScalingFunction(0.5), 0.5);
    EXPECT_EQ(ScalingFunction(1.0), 1.0);
    EXPECT_EQ(ScalingFunction(1.5), 0.5);
    EXPECT_EQ(ScalingFunction(2.0), 0.0);
    // Translates and levels: support (k 2^-j, (k + 1 + D) 2^-j).
    EXPECT_EQ(LevelScalingFunction(0.5, 1, 2), 1.0);  // t = (0.5 - 0.25) * 4 = 1
    EXPECT_EQ(LevelScalingFunction(0.5, 2, 2), 0.0);
    // Truncation toward zero: -0.1 * 8 gives cell 0, -0.2 * 8 gives cell -1.
    EXPECT_EQ(EvaluateApproximation(-0.2, 0.5, 3), -1.0);
    EXPECT_EQ(EvaluateApproximation(0.5, -0.2, 3), -1.0);
    EXPECT_NE(EvaluateApproximation(-0.1, 0.5, 3), -1.0);
}

TEST_F(Rendering, FirstPixelShowsTheFirstCoefficient) {
    for (int position : {0, 37, 100})
        for (int level : {2, 5, 9}) {
            ResetAll();
            SetDeltaPosition(position);
            RandomBlock(level, static_cast<unsigned>(position * 10 + level));
            Prepare(300, 200, level);
            RenderReducedPicture(frontend);
            EXPECT_EQ(frontend.reduced.GetValue(0, 0), ClampToByte(CoeffMatrix.Get(1, 1))) << position << " " << level;
        }
}

// The fast rendering gives exactly EvaluateApproximation, pixel by pixel.
TEST_F(Rendering, MatchesPerPixelEvaluation) {
    struct Case {
        int width, height, level, position;
    };
    for (const Case& c : {Case{37, 23, 3, 0}, Case{257, 129, 8, 100}, Case{100, 300, 6, 61}, Case{513, 400, 9, 50},
                          Case{1025, 17, 2, 1}}) {
        ResetAll();
        SetDeltaPosition(c.position);
        RandomBlock(c.level, static_cast<unsigned>(c.width));
        Prepare(c.width, c.height, c.level);
        RenderReducedPicture(frontend);
        MemorySurface expected(c.width, c.height);
        ReferenceRender(expected);
        EXPECT_TRUE(SamePixels(expected, frontend.reduced)) << c.width << "x" << c.height;
    }
    const auto& captions = frontend.reducedStatusHistory;
    ASSERT_EQ(captions.size(), 10u);
    EXPECT_EQ(captions[8], "Aktualisiere...");
    EXPECT_EQ(captions[9], "Reduziertes Bild");
}

// Delta = 1 interpolates bilinearly; at level 8 on 257 pixels, column i mixes rows i and
// i + 1 with the shares i/257 and 1 - i/257 (x = i/257, not i/256).
TEST_F(Rendering, DeltaOneBilinearShareAtLevelEight) {
    SetDeltaPosition(100);
    RandomBlock(8, 3);
    Prepare(257, 257, 8);
    for (int i = 1; i <= 256; ++i) {
        const double share = i / 257.0;
        const double expected = (1 - share) * CoeffMatrix.Get(i + 1, 1) + share * CoeffMatrix.Get(i, 1);
        EXPECT_NEAR(EvaluateApproximation(i / 257.0, 0.0, 8), expected, 1e-9) << i;
    }
    RenderReducedPicture(frontend);
    for (int i = 0; i <= 256; ++i)
        EXPECT_EQ(frontend.reduced.GetValue(i, 0), ClampToByte(EvaluateApproximation(i / 257.0, 0.0, 8)));
}

// Delta = 0 paints constant blocks; where x 2^L is whole, the translate below takes over.
TEST_F(Rendering, DeltaZeroPaintsBlocks) {
    RandomBlock(3, 4);
    Prepare(20, 12, 3);
    RenderReducedPicture(frontend);
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 12; ++j) {
            int row = i * 8 / 20 + 2, col = j * 8 / 12 + 2;
            if (i * 8 % 20 == 0) --row;
            if (j * 8 % 12 == 0) --col;
            EXPECT_EQ(frontend.reduced.GetValue(i, j), ClampToByte(CoeffMatrix.Get(row, col))) << i << "," << j;
        }
}

TEST_F(Rendering, ValuesAreTruncatedNotRounded) {
    for (double value : {255.9, 127.9, -3.0, 300.0}) {
        for (int i = 1; i <= 9; ++i)
            for (int j = 1; j <= 9; ++j) CoeffMatrix.Set(i, j, value);
        Prepare(16, 16, 3);
        RenderReducedPicture(frontend);
        const int expected = value == 255.9 ? 255 : value == 127.9 ? 127 : value < 0 ? 0 : 255;
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 16; ++j) EXPECT_EQ(frontend.reduced.GetValue(i, j), expected) << value;
    }
}
