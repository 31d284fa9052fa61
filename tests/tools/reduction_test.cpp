#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ToolsFixture.h"
#include "matrix/Numbers.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

using ReduceTest = ToolsTest;

std::vector<double> MatrixCopy() {
    const double* data = CoeffMatrix.Data();
    return std::vector<double>(data, data + static_cast<std::size_t>(kMaxSide) * kMaxSide);
}

TEST_F(ReduceTest, AtThePicturesOwnLevelEverythingIsExempt) {
    Open(RandomPicture(200, 100, 1));
    const auto before = MatrixCopy();
    const auto pixels = frontend.bild.Words();
    Epsilon = std::numeric_limits<double>::infinity();

    EXPECT_EQ(Reduce(frontend), 0);
    EXPECT_EQ(frontend.Text(Label::Prozent), "0 %");
    EXPECT_EQ(MatrixCopy(), before);
    EXPECT_EQ(frontend.bild.Words(), pixels);
}

TEST_F(ReduceTest, HugeEpsilonZeroesEveryDetailAndMarksTheVisibleOnes) {
    frontend.bild = GreyPicture(200, 100, [](int, int) { return 7; });
    PictureWidth = 200;
    PictureHeight = 100;
    PictureLevel = 8;
    CurrentLevel = 2;
    for (int i = 1; i <= kMaxSide; ++i)
        for (int j = 1; j <= kMaxSide; ++j) CoeffMatrix.Set(i, j, 1000.0 + i + j);
    EpsilonChanged("1e999");

    EXPECT_EQ(Reduce(frontend), 66024);
    EXPECT_EQ(frontend.Text(Label::Prozent), "100.745 %");
    for (int i = 1; i <= 257; ++i)
        for (int j = 1; j <= 257; ++j) {
            const double expected = i <= 5 && j <= 5 ? 1000.0 + i + j : 0.0;
            ASSERT_EQ(CoeffMatrix.Get(i, j), expected) << i << ", " << j;
        }
    // Outside the picture's square nothing is touched.
    EXPECT_EQ(CoeffMatrix.Get(258, 1), 1259.0);
    EXPECT_EQ(CoeffMatrix.Get(1, 258), 1259.0);
    // Markers inside the picture only; the picture keeps its size.
    ASSERT_EQ(frontend.bild.Width(), 200);
    ASSERT_EQ(frontend.bild.Height(), 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(frontend.bild.GetPixel(x, y), x <= 4 && y <= 4 ? Grey(7) : kMarkerRed) << x << ", " << y;

    // A second click counts the zeros again and changes nothing more.
    const auto after = MatrixCopy();
    EXPECT_EQ(Reduce(frontend), 66024);
    EXPECT_EQ(frontend.Text(Label::Prozent), "100.745 %");
    EXPECT_EQ(MatrixCopy(), after);
}

TEST_F(ReduceTest, OnlyMagnitudesStrictlyBelowEpsilonAreRemoved) {
    frontend.bild = GreyPicture(20, 20, [](int, int) { return 9; });
    PictureWidth = PictureHeight = 20;
    PictureLevel = 8;
    CurrentLevel = 2;
    for (int i = 1; i <= 257; ++i)
        for (int j = 1; j <= 257; ++j) CoeffMatrix.Set(i, j, (i + j) % 2 ? 5.0 : -5.0);
    CoeffMatrix.Set(10, 3, -4.999);  // the one detail below Epsilon
    CoeffMatrix.Set(2, 2, 0.1);      // smoothing coefficient: exempt however small
    Epsilon = 5.0;

    EXPECT_EQ(Reduce(frontend), 1);
    EXPECT_EQ(frontend.Text(Label::Prozent), "0.00152588 %");
    EXPECT_EQ(CoeffMatrix.Get(10, 3), 0.0);
    EXPECT_EQ(CoeffMatrix.Get(2, 2), 0.1);
    EXPECT_EQ(CoeffMatrix.Get(10, 4), -5.0);
    EXPECT_EQ(CoeffMatrix.Get(11, 4), 5.0);
    EXPECT_EQ(frontend.bild.GetPixel(9, 2), kMarkerRed);
    EXPECT_EQ(frontend.bild.GetPixel(9, 3), Grey(9));

    EXPECT_EQ(FormatShare(ReductionShare(30000)), "45.7764 %");
}

// Zeros already there count and are marked under a positive Epsilon only; a negative
// zero comes out as +0.0 and a NaN stays, unmarked.
TEST_F(ReduceTest, ZerosThereBeforeAreMarkedOnlyUnderAPositiveEpsilon) {
    for (const double epsilon : {1.0, 0.0, -1.0}) {
        std::vector<double> square(9 * 9, 3.0);
        MatrixView view{square.data(), 9, 9};
        square[0 * 9 + 5] = 0.0;
        square[6 * 9 + 1] = -0.0;
        square[7 * 9 + 7] = std::nan("");
        MemorySurface bild = GreyPicture(9, 9, [](int, int) { return 9; });
        const int count = ZeroSmallDetails(view, {8, 2, epsilon}, bild);
        const bool positive = epsilon > 0;
        EXPECT_EQ(count, positive ? 2 : 0) << epsilon;
        EXPECT_EQ(bild.GetPixel(0, 5) == kMarkerRed, positive) << epsilon;
        EXPECT_EQ(bild.GetPixel(6, 1) == kMarkerRed, positive) << epsilon;
        EXPECT_EQ(bild.GetPixel(7, 7), Grey(9)) << epsilon;
        EXPECT_EQ(bild.GetPixel(3, 3), Grey(9)) << epsilon;
        EXPECT_EQ(std::signbit(square[6 * 9 + 1]), !positive) << epsilon;
        EXPECT_TRUE(std::isnan(square[7 * 9 + 7]));
    }
}

TEST_F(ReduceTest, ComboBoxTextsFollowTheCLocaleUnderAGermanProcessLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
    struct Case {
        const char* text;
        double value;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : {Case{"2,5", 2.0}, Case{"abc", 0.0}, Case{"", 0.0}, Case{" 3", 3.0}, Case{"1e-3", 0.001},
                          Case{"1e999", inf}, Case{"0.5", 0.5}}) {
        EpsilonChanged(c.text);
        EXPECT_EQ(Epsilon, c.value) << c.text;
        SchrankeChanged(c.text);
        EXPECT_EQ(Schranke, c.value) << c.text;
    }
    EXPECT_EQ(FormatG(0.25), "0.25");
    EXPECT_EQ(FormatShare(100.744537353515625), "100.745 %");
    std::setlocale(LC_ALL, previous.c_str());

    // A text without a number removes nothing.
    PictureLevel = 3;
    CurrentLevel = 2;
    CoeffMatrix.Set(9, 9, 0.5);
    EpsilonChanged("abc");
    EXPECT_EQ(Reduce(frontend), 0);
    EXPECT_EQ(frontend.Text(Label::Prozent), "0 %");
    EXPECT_EQ(CoeffMatrix.Get(9, 9), 0.5);
}

}  // namespace
}  // namespace tesora::testing
