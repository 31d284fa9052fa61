// The value road with a synthesis chosen: the weighted smoothing values of the norm
// rule, the coded set in the rate, and the exact floor.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "blac/DeltaControl.h"
#include "tools/Analysis.h"
#include "tools/Coding.h"

using namespace tesora;

namespace {

analysis::RedPicture Picture(int width, int height) {
    analysis::RedPicture picture;
    picture.width = width;
    picture.height = height;
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.red.push_back(
                static_cast<std::uint8_t>((x * x / 9 + 2 * y + static_cast<int>(random() % 30)) % 256));
    return picture;
}

}  // namespace

TEST(ValueRoad, NormRuleQuantisesSmoothingValuesWithTheirOwnWeight) {
    const analysis::RedPicture picture = Picture(40, 30);
    const Filters filters = FiltersOf(DeltaFromPosition(60));
    TransformWorkspace workspace;
    analysis::Coefficients square = analysis::DecomposePicture(picture, filters, 3, workspace);
    const analysis::Layout layout = analysis::LayoutOf(square.pictureLevel, 3, 40, 30);
    const analysis::Norms norms = analysis::NormsOf(filters, square.pictureLevel, 3);
    const analysis::Coefficients before = square;
    constexpr double kStep = 4.0;
    analysis::Quantise(square.View(), layout, kStep, &norms);
    int weighted = 0;
    for (int i = 0; i <= 8; ++i)
        for (int j = 0; j <= 8; ++j) {
            const double w = norms.Weight(3, i, j);
            const double q = std::trunc(before.At(i, j) * w / kStep);
            EXPECT_EQ(square.At(i, j), (q + (q > 0 ? 0.5 : q < 0 ? -0.5 : 0.0)) * kStep / w) << i << ", " << j;
            weighted += std::fabs(w - 1.0) > 0.5;
        }
    EXPECT_GT(weighted, 0);  // the weights are far from 1, so the test tells the two apart
}

TEST(ValueRoad, CodedSetIsCountedAndCostsTheSpecifiedReconstructionNothing) {
    const analysis::RedPicture picture = Picture(45, 23);  // narrower and lower than its square
    for (Synthesis synthesis : {Synthesis::Specified, Synthesis::Exact}) {
        analysis::PictureAnalysis road(picture, DeltaFromPosition(30), 3, nullptr, nullptr, synthesis);
        analysis::RowRequest request;
        request.rule.kind = analysis::RuleKind::Norm;
        request.rule.epsilon = 2.0;
        request.quantiseStep = 3.0;
        const analysis::RowResult row = road.Row(request);
        long long coded = 0, own = 0;
        for (std::uint8_t c : road.CodedInUse()) coded += c;
        for (std::uint8_t o : road.LayoutInUse().own) own += o;
        ASSERT_TRUE(row.codedCount);
        EXPECT_EQ(*row.codedCount, coded);
        EXPECT_GT(coded, own);  // functions beyond the edge reach in
        EXPECT_LT(coded, static_cast<long long>(road.CodedInUse().size()));
    }
    // With the specified synthesis a coefficient that is not coded has no value inside the
    // picture: zeroing it changes no bit of what is measured.
    const Filters filters = FiltersOf(DeltaFromPosition(30));
    TransformWorkspace workspace;
    analysis::Coefficients square = analysis::DecomposePicture(picture, filters, 3, workspace);
    const analysis::Layout layout = analysis::LayoutOf(square.pictureLevel, 3, 45, 23);
    analysis::Coefficients zeroed = square;
    analysis::ZeroUncoded(zeroed.View(), analysis::CodedMask(layout, filters, Synthesis::Specified));
    analysis::Reconstruct(square, filters, square.pictureLevel, workspace);
    analysis::Reconstruct(zeroed, filters, zeroed.pictureLevel, workspace);
    for (int x = 0; x < 45; ++x)
        for (int y = 0; y < 23; ++y) ASSERT_EQ(square.At(x, y), zeroed.At(x, y)) << x << ", " << y;
}

TEST(ValueRoad, ExactFloorIsRoundingAloneAtEveryLevel) {
    const analysis::RedPicture picture = Picture(70, 66);
    for (int level = 2; level <= 6; ++level)
        for (int position : {0, 45, 100}) {
            analysis::PictureAnalysis road(picture, DeltaFromPosition(position), level, nullptr, nullptr,
                                           Synthesis::Exact);
            EXPECT_GE(road.Floor().psnrExact, 150.0) << level << ", " << position;
        }
}
