// The lifting bases on the value road: their band layout, perfect reconstruction through
// the square, weights that make Haar's weighted coefficients keep the picture's energy,
// and BLaC's mirrored padding.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

#include "matrix/Error.h"
#include "tools/Bases.h"
#include "tools/LiftingAnalysis.h"

using namespace tesora;
using namespace tesora::analysis;

namespace {
RedPicture RandomPicture(int width, int height, unsigned seed) {
    std::mt19937 generator(seed);
    RedPicture picture{width, height, {}};
    for (int k = 0; k < width * height; ++k) picture.red.push_back(static_cast<std::uint8_t>(generator() % 256));
    return picture;
}
}  // namespace

TEST(Bases, LayoutCountsEachBandOnOddSizes) {
    // 7 x 5, two steps: smoothing counts 7, 4, 2 across and 5, 3, 2 down.
    const Layout layout = LiftingLayoutOf(4, 2, 7, 5);
    std::map<int, int> counts;
    for (std::size_t e = 0; e < layout.band.size(); ++e)
        if (layout.band[e] != Layout::kNoBand) ++counts[layout.band[e]];
    // smoothing 2x2; coarsest step row 2x1, column 2x2, both 2x1; finest row 4x2, column 3x3, both 3x2.
    EXPECT_EQ(counts, (std::map<int, int>{{0, 4}, {1, 2}, {2, 4}, {3, 2}, {4, 8}, {5, 9}, {6, 6}}));
    EXPECT_EQ(layout.bands[1].level, 2);
    EXPECT_EQ(layout.bands[4].level, 3);
    EXPECT_EQ(layout.band[layout.Index(3, 1)], 2);  // a detail across, smoothing down: column
    EXPECT_EQ(layout.band[layout.Index(5, 1)], 5);
}

TEST(Bases, EveryBasisComesBackWhole) {
    const RedPicture picture = RandomPicture(37, 50, 11);  // taller than its square: the top 33 rows
    for (Basis basis : {Basis::Haar, Basis::Cdf53, Basis::Cdf97}) {
        const Layout layout = LiftingLayoutOf(PictureLevelOf(37), 2, 37, 50);
        Coefficients square = LiftPicture(picture, basis, layout);
        LiftBack(square, basis, layout);
        EXPECT_GE(Measure(square.View(), picture).psnrExact, 150.0) << BasisName(basis);
    }
}

TEST(Bases, HaarWeightsKeepTheEnergyAndTheNormRuleUsesThem) {
    const RedPicture picture = RandomPicture(16, 16, 2);
    const Layout layout = LiftingLayoutOf(4, 2, 16, 16);
    const std::vector<double> weights = LiftingWeights(Basis::Haar, layout);
    const Coefficients square = LiftPicture(picture, Basis::Haar, layout);
    double energy = 0.0, weighted = 0.0;
    for (const std::uint8_t v : picture.red) energy += static_cast<double>(v) * v;
    for (std::size_t e = 0; e < square.values.size(); ++e) weighted += std::pow(square.values[e] * weights[e], 2);
    EXPECT_NEAR(weighted, energy, energy * 1e-12);

    // An Epsilon between a detail's |c| and |c| * w separates the rules.
    Coefficients flat, norm;
    const Rule rule{RuleKind::Flat, 1e-9, {}};
    const RuleResult none = CopyWithRuleByElement(square, flat, layout, rule, nullptr);
    EXPECT_EQ(none.ownDetails, 16 * 16 - 4 * 4);
    const RuleResult all = CopyWithRuleByElement(square, norm, layout, {RuleKind::Norm, 1e9, {}}, &weights);
    EXPECT_EQ(all.zeroCount, 16 * 16 - 4 * 4);
    EXPECT_EQ(all.ownZeros, all.ownDetails);
    EXPECT_EQ(norm.At(1, 2), square.At(1, 2));  // smoothing values stay
}

TEST(Bases, MirrorPaddingReflectsAtTheLastColumnAndRow) {
    Coefficients square = ReadPicture(RedPicture{4, 2, {1, 2, 3, 4, 5, 6, 7, 8}});  // side 5
    MirrorPadding(square, 4, 2);
    // Columns 0 1 2 3 | 2, rows 0 1 | 0 1 0.
    EXPECT_EQ(square.At(4, 0), 3);
    EXPECT_EQ(square.At(2, 2), 3);
    EXPECT_EQ(square.At(2, 3), 7);
    EXPECT_EQ(square.At(4, 3), 7);
    EXPECT_EQ(square.At(4, 4), 3);
}

TEST(Bases, RowsAtARateAndAZerosTarget) {
    RedPicture picture = RandomPicture(45, 30, 4);
    for (std::size_t k = 0; k < picture.red.size(); ++k)  // smooth with some noise
        picture.red[k] = static_cast<std::uint8_t>(k % 45 * 4 + k / 45 * 2 + picture.red[k] % 16);
    LiftingAnalysis analysis(picture, Basis::Cdf97, 3);
    RowRequest norm;
    norm.rule.kind = RuleKind::Norm;
    norm.bppTarget = 1.0;
    const RowResult atRate = analysis.Row(norm);
    ASSERT_TRUE(atRate.entropyBpp);
    EXPECT_LE(*atRate.entropyBpp, 1.0);
    EXPECT_GT(*atRate.entropyBpp, 0.95);
    // The step found, given again, is the same row.
    RowRequest again = norm;
    again.bppTarget.reset();
    again.quantiseStep = atRate.quantiseStep;
    const RowResult same = analysis.Row(again);
    EXPECT_EQ(*same.entropyBpp, *atRate.entropyBpp);
    EXPECT_EQ(same.quality.psnrExact, atRate.quality.psnrExact);

    RowRequest target;
    target.zerosPercent = 50.0;
    const RowResult half = analysis.Row(target);
    EXPECT_GE(static_cast<double>(half.rule.ownZeros) * 2, static_cast<double>(half.rule.ownDetails));
    RowRequest byEpsilon;
    byEpsilon.rule.epsilon = half.rule.epsilon;
    EXPECT_EQ(analysis.Row(byEpsilon).rule.ownZeros, half.rule.ownZeros);
    // A step so small that a quotient overflows is refused, not coded as infinity.
    RowRequest tiny;
    tiny.quantiseStep = 1e-320;
    EXPECT_THROW(analysis.Row(tiny), Error);
}
