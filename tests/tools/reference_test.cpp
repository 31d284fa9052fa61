// The fast paths of Reduce and of the difference picture against literal loops over
// Get/Set, on random data that crosses every tile and strip boundary.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ToolsFixture.h"
#include "matrix/Numbers.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

using ReferenceTest = ToolsTest;

void FillRandom(unsigned seed, double low, double high) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> value(low, high);
    for (int i = 1; i <= kMaxSide; ++i)
        for (int j = 1; j <= kMaxSide; ++j) CoeffMatrix.Set(i, j, value(random));
}

std::vector<double> MatrixCopy() {
    const double* data = CoeffMatrix.Data();
    return std::vector<double>(data, data + static_cast<std::size_t>(kMaxSide) * kMaxSide);
}

TEST_F(ReferenceTest, ReduceMatchesTheLiteralLoop) {
    PictureLevel = 7;
    CurrentLevel = 3;
    Epsilon = 4.0;
    FillRandom(5, -10.0, 10.0);
    frontend.bild = RandomPicture(100, 140, 6);  // narrower and taller than the square
    MemorySurface expectedBild = frontend.bild;
    Matrix expected(kMaxSide, kMaxSide);
    expected.Assign(CoeffMatrix);
    int expectedCount = 0;
    for (int i = 0; i <= Pow2Int[PictureLevel]; ++i)
        for (int j = 0; j <= Pow2Int[PictureLevel]; ++j) {
            if (i <= Pow2Int[CurrentLevel] && j <= Pow2Int[CurrentLevel]) continue;
            if (AbsValue(expected.Get(i + 1, j + 1)) < Epsilon) {
                ++expectedCount;
                expected.Set(i + 1, j + 1, 0.0);
                expectedBild.SetPixel(i, j, kMarkerRed);
            }
        }

    EXPECT_EQ(Reduce(frontend), expectedCount);
    EXPECT_EQ(frontend.Text(Label::Prozent), FormatShare(expectedCount * 100.0 / (128.0 * 128.0)));
    EXPECT_EQ(MatrixCopy(), std::vector<double>(expected.Data(), expected.Data() + kMaxSide * kMaxSide));
    EXPECT_EQ(frontend.bild.Words(), expectedBild.Words());
}

// An asymmetric kernel, so that a swapped offset shows; sizes around the strip width and
// beyond the matrix.
TEST_F(ReferenceTest, DifferencePictureMatchesTheLiteralLoop) {
    Matrix kernel(3, 3);
    const double weights[3][3] = {{0.5, -1.0, 2.0}, {-3.0, 4.0, 0.25}, {1.0, 0.0, -1.5}};
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) kernel.Set(k + 1, l + 1, weights[k][l]);

    const std::pair<int, int> sizes[] = {{3, 3}, {40, 35}, {35, 67}, {1025, 40}, {12, 1030}};
    unsigned seed = 20;
    for (const auto& [width, height] : sizes) {
        FillRandom(++seed, -40.0, 300.0);
        PictureWidth = width;
        PictureHeight = height;
        Schranke = 60.0;
        frontend.reduced.Resize(width, height);
        MemorySurface expectedPicture(width, height);
        double below = 0.0, total = 0.0;
        for (int r = 1; r <= height - 2; ++r)
            for (int s = 1; s <= width - 2; ++s) {
                double weight = 0.0, response = 0.0;
                for (int k = -1; k <= 1; ++k)
                    for (int l = -1; l <= 1; ++l)
                        if (s + k > 0 && r + l > 0 && s + k < width && r + l < height) {
                            weight = weight + AbsValue(kernel.Get(k + 2, l + 2));
                            const bool inMatrix = s + k <= kMaxSide && r + l <= kMaxSide;
                            response =
                                response + kernel.Get(k + 2, l + 2) * (inMatrix ? CoeffMatrix.Get(s + k, r + l) : 0.0);
                        }
                double v = AbsValue(response);
                if (weight != 0) v = v / AbsValue(weight);
                v = 5.0 * v;
                if (v > 0 && v < Schranke) below = below + v;
                total = total + v;
                expectedPicture.SetGrey(s, r, 255 - ClampToByte(v));
            }

        DifferenceSumBelow = DifferenceSumTotal = 0.0;
        ComputeDifferencePicture(frontend, kernel);
        EXPECT_EQ(DifferenceSumBelow, below) << width << " x " << height;
        EXPECT_EQ(DifferenceSumTotal, total) << width << " x " << height;
        EXPECT_EQ(frontend.reduced.Words(), expectedPicture.Words()) << width << " x " << height;
    }
}

}  // namespace
}  // namespace tesora::testing
