#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <vector>

#include "support/BmpReader.h"
#include "ToolsFixture.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

using ReconstructTest = ToolsTest;

const std::string kCamera = std::string(TESORA_SOURCE_DIR) + "/samples/camera-512.bmp";

std::vector<double> Block(int side) {
    std::vector<double> values;
    for (int i = 1; i <= side; ++i)
        for (int j = 1; j <= side; ++j) values.push_back(CoeffMatrix.Get(i, j));
    return values;
}

TEST_F(ReconstructTest, ReconstructionUsesTheZeroedDetails) {
    const MemorySurface picture = RandomPicture(60, 50, 11);  // level 6, block 65
    const auto road = [&](double epsilon, bool disturbDetails) {
        Open(picture);
        LevelChange(frontend, 4);
        if (disturbDetails)
            for (int i = 20; i <= 65; i += 5) CoeffMatrix.Set(i, 3, CoeffMatrix.Get(i, 3) + 1000.0);
        Epsilon = epsilon;
        Reduce(frontend);
        LevelChange(frontend, 6);
        return Block(65);
    };
    const auto untouched = road(0.0, false);
    const auto reduced = road(1e300, false);
    // With every detail removed the details' earlier values no longer matter.
    EXPECT_EQ(road(1e300, true), reduced);
    EXPECT_NE(reduced, untouched);
    // Without removal the picture comes back; with it, only a smooth approximation.
    double untouchedError = 0.0, reducedError = 0.0;
    for (int i = 1; i <= 60; ++i)
        for (int j = 1; j <= 50; ++j) {
            const double original = picture.GetValue(i - 1, j - 1);
            const std::size_t at = static_cast<std::size_t>(i - 1) * 65 + static_cast<std::size_t>(j - 1);
            untouchedError += std::abs(untouched[at] - original);
            reducedError += std::abs(reduced[at] - original);
        }
    EXPECT_LT(untouchedError / 3000, 0.05);
    EXPECT_GT(reducedError / 3000, 10.0);
}

TEST_F(ReconstructTest, ErrorOfTheCameraPictureAfterReduction) {
    const MemorySurface camera = ReadBmp(kCamera);
    ASSERT_EQ(camera.Width(), 512);
    Open(camera);
    ASSERT_EQ(PictureLevel, 9);

    LevelChange(frontend, 7);
    LevelChange(frontend, 9);
    const double lossless = MeasureError(frontend);

    Open(camera);
    LevelChange(frontend, 7);
    EpsilonChanged("15");
    const int removed = Reduce(frontend);
    LevelChange(frontend, 9);
    ASSERT_EQ(CurrentLevel, 9);
    const double error = MeasureError(frontend);
    std::cout << "camera-512: " << removed << " details removed (" << frontend.Text(Label::Prozent) << "), error "
              << error << ", without removal " << lossless << "\n";

    EXPECT_GT(removed, 100000);
    EXPECT_LT(lossless, 1.0);
    EXPECT_GT(error, lossless);
    EXPECT_LT(error, 20.0);
    EXPECT_EQ(frontend.Text(Label::Fehler), FormatG(error));
}

}  // namespace
}  // namespace tesora::testing
