// Rate targets on BLaC's road: the step found gives, quantised for real, exactly the
// rate the search saw; and the proposal on values is the window's "Calc Delta".
#include "ToolsFixture.h"
#include "blac/State.h"
#include "tools/BestDelta.h"

using namespace tesora;
using namespace tesora::analysis;
using namespace tesora::testing;

namespace {
RedPicture Smooth(int width, int height) {
    RedPicture picture{width, height, {}};
    std::mt19937 generator(9);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.red.push_back(
                static_cast<std::uint8_t>((3 * x + 2 * y + static_cast<int>(generator() % 24)) % 256));
    return picture;
}
}  // namespace

TEST(RateTarget, TheStepFoundGivesTheRateFoundBitForBit) {
    const RedPicture picture = Smooth(70, 41);
    // The exact synthesis codes a different set of coefficients: the search must count the same.
    for (const auto& [delta, synthesis] : {std::pair{0.0, Synthesis::Specified}, std::pair{0.63, Synthesis::Specified},
                                           std::pair{0.63, Synthesis::Exact}}) {
        PictureAnalysis analysis(picture, delta, 3, nullptr, nullptr, synthesis);
        RowRequest flat, norm, target;
        norm.rule = {RuleKind::Norm, 2.0, {}};
        target.rule.kind = RuleKind::Norm;
        target.zerosPercent = 60.0;
        for (const RowRequest& request : {flat, norm, target}) {
            RowRequest atRate = request;
            atRate.bppTarget = 0.8;
            const RowResult found = analysis.Row(atRate);
            RowRequest quantised = request;
            quantised.quantiseStep = found.quantiseStep;
            const RowResult row = analysis.Row(quantised);
            EXPECT_EQ(*row.entropyBpp, *found.entropyBpp) << delta;
            EXPECT_EQ(row.quality.psnrExact, found.quality.psnrExact);
            EXPECT_EQ(row.codedCount, found.codedCount);
            EXPECT_LE(*found.entropyBpp, 0.8);
            EXPECT_GT(*found.entropyBpp, 0.7);
        }
    }
}

class ProposalOnValues : public ToolsTest {};

TEST_F(ProposalOnValues, EqualsTheWindowsCalcDelta) {
    for (const double bound : {50.0, 12.0}) {
        const RedPicture picture = Smooth(40, 30);
        Open(GreyPicture(40, 30, [&](int x, int y) { return picture.At(x, y); }));
        Schranke = bound;
        CalcDelta(frontend);
        EXPECT_EQ(ProposalDelta(picture, bound), Delta) << bound;
    }
}
