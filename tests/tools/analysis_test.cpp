// The value road against the window's road, exact targets on ties, the rate, and the
// basis-function norms against integrating the drawn scaling function.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ToolsFixture.h"
#include "blac/DeltaControl.h"
#include "mra/LevelChange.h"
#include "mra/Rendering.h"
#include "tools/Analysis.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

analysis::RedPicture RedOf(const MemorySurface& surface) {
    analysis::RedPicture red{surface.Width(), surface.Height(), {}};
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x) red.red.push_back(static_cast<std::uint8_t>(surface.GetValue(x, y)));
    return red;
}

MemorySurface Scene(int width, int height) {
    return GreyPicture(width, height, [](int x, int y) {
        return (x * 7 + y * 3) / 4 % 64 + ((x / 8 + y / 8) % 2) * 120 + (x * y) % 13;
    });
}

class AnalysisTest : public ToolsTest {};

// The first row of the working matrix's block that differs from the square's; -1 for none.
int FirstRowApart(const analysis::Coefficients& square) {
    for (int i = 0; i < square.side; ++i)
        if (std::memcmp(CoeffMatrix.Data() + static_cast<std::size_t>(i) * CoeffMatrix.Cols(),
                        square.values.data() + static_cast<std::size_t>(i) * square.side,
                        sizeof(double) * square.side) != 0)
            return i;
    return -1;
}

// The window's road: open, Delta, track bar down, Reduce, back up, Fehler?. The value
// road must give the same coefficients, count, bytes and error, to the bit; also for a
// picture narrower and lower than its block, and one taller than it.
TEST_F(AnalysisTest, FlatRuleIsTheWindowsRoadBitForBit) {
    struct Case {
        int width, height, position, level;
        double epsilon;
    };
    for (const Case c :
         {Case{40, 29, 0, 3, 6.0}, Case{33, 33, 50, 2, 3.5}, Case{20, 45, 100, 3, 9.0}, Case{33, 20, 61, 4, 0.0}}) {
        ResetAll();
        const MemorySurface picture = Scene(c.width, c.height);
        Open(picture);
        frontend.SetDeltaPosition(c.position);
        frontend.MoveTrackBar(c.level);
        const int side = Pow2Int[PictureLevel] + 1;

        const analysis::RedPicture red = RedOf(picture);
        analysis::PictureAnalysis values(red, DeltaFromPosition(c.position), c.level);
        const analysis::Coefficients& decomposed = values.Decomposed();
        ASSERT_EQ(FirstRowApart(decomposed), -1);

        Epsilon = c.epsilon;
        const int count = Reduce(frontend);
        // In place with Reduce's own kernel and in the one-pass copy of a sweep row.
        analysis::Coefficients inPlace = decomposed;
        analysis::Rule rule;
        rule.epsilon = c.epsilon;
        const analysis::RuleResult applied = analysis::ApplyRule(inPlace, values.LayoutInUse(), rule, nullptr);
        EXPECT_EQ(applied.zeroCount, count);
        ASSERT_EQ(FirstRowApart(inPlace), -1);

        frontend.MoveTrackBar(PictureLevel);
        const double error = MeasureError(frontend);
        analysis::RowRequest request;
        request.rule = rule;
        request.withBytes = true;
        const analysis::RowResult row = values.Row(request);
        EXPECT_EQ(row.rule.zeroCount, count);
        EXPECT_EQ(row.rule.ownZeros, applied.ownZeros);
        EXPECT_EQ(row.rule.ownDetails, applied.ownDetails);
        EXPECT_EQ(row.quality.meanError, error);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                ASSERT_EQ(row.bytes[static_cast<std::size_t>(y * c.width + x)], frontend.bild.GetValue(x, y))
                    << x << ", " << y;
        // An Epsilon equal to a magnitude keeps that coefficient both ways: "below" is strict.
        analysis::Coefficients tied = decomposed;
        request.rule.epsilon = std::fabs(decomposed.At(side - 1, side - 1));
        EXPECT_EQ(values.Row(request).rule.zeroCount,
                  analysis::ApplyRule(tied, values.LayoutInUse(), request.rule, nullptr).zeroCount);
        // With nothing removed the row is the floor.
        request.rule.epsilon = 0;
        const analysis::RowResult nothing = values.Row(request);
        EXPECT_EQ(nothing.quality.meanError, values.Floor().meanError);
        EXPECT_EQ(nothing.quality.psnr, values.Floor().psnr);
        EXPECT_EQ(nothing.quality.psnrExact, values.Floor().psnrExact);
    }
}

// A checkerboard has few distinct magnitudes: a target must take a whole group of equal
// ones or none, and the Epsilon found must reproduce the set.
TEST_F(AnalysisTest, ZerosTargetIsTheSmallestSetAndReproducesWithItsEpsilon) {
    const MemorySurface board = GreyPicture(45, 40, [](int x, int y) { return ((x / 3 + y / 5) % 2) * 200 + 20; });
    const analysis::RedPicture red = RedOf(board);
    for (const analysis::RuleKind kind : {analysis::RuleKind::Flat, analysis::RuleKind::Norm}) {
        analysis::PictureAnalysis values(red, 0.5, 3);
        const analysis::Norms* norms = kind == analysis::RuleKind::Norm ? &values.NormsInUse() : nullptr;
        for (const double percent : {1.0, 25.0, 50.0, 73.5, 90.0, 99.9, 100.0}) {
            const double epsilon =
                analysis::EpsilonForZeros(values.Decomposed(), values.LayoutInUse(), kind, norms, percent);
            analysis::Rule rule;
            rule.kind = kind;
            rule.epsilon = epsilon;
            analysis::Coefficients square = values.Decomposed();
            const analysis::RuleResult reached = analysis::ApplyRule(square, values.LayoutInUse(), rule, norms);
            const double share =
                static_cast<double>(reached.ownZeros) * 100.0 / static_cast<double>(reached.ownDetails);
            EXPECT_GE(share, percent) << percent;
            // One step less takes the whole group of the largest magnitude away again.
            rule.epsilon = std::nextafter(epsilon, 0.0);
            square = values.Decomposed();
            const analysis::RuleResult fewer = analysis::ApplyRule(square, values.LayoutInUse(), rule, norms);
            EXPECT_LT(static_cast<double>(fewer.ownZeros) * 100.0 / static_cast<double>(fewer.ownDetails), percent);

            analysis::RowRequest byTarget, byEpsilon;
            byTarget.rule.kind = byEpsilon.rule.kind = kind;
            byTarget.zerosPercent = percent;
            byEpsilon.rule.epsilon = epsilon;
            const analysis::RowResult a = values.Row(byTarget), b = values.Row(byEpsilon);
            EXPECT_EQ(a.rule.epsilon, epsilon);
            EXPECT_EQ(a.rule.zeroCount, b.rule.zeroCount);
            EXPECT_EQ(a.rule.ownZeros, reached.ownZeros);
            EXPECT_EQ(a.quality.psnr, b.quality.psnr);
        }
        // A weighted magnitude equal to Epsilon keeps its coefficient on both roads.
        const analysis::Layout& layout = values.LayoutInUse();
        const int n = (layout.side - 1) / 2;  // the finest step's details start at n + 1
        int at = n + 1;
        while (at < layout.side - 1 && values.Decomposed().At(at, at) == 0.0) ++at;
        analysis::RowRequest tied;
        tied.rule.kind = kind;
        tied.rule.epsilon = std::fabs(values.Decomposed().At(at, at)) *
                            (norms != nullptr ? norms->Weight(layout.pictureLevel - 1, at, at) : 1.0);
        analysis::Coefficients square = values.Decomposed();
        const analysis::RuleResult applied = analysis::ApplyRule(square, layout, tied.rule, norms);
        EXPECT_NE(square.At(at, at), 0.0);
        EXPECT_EQ(values.Row(tied).rule.zeroCount, applied.zeroCount);
    }
}

TEST_F(AnalysisTest, EntropyAndQuantisationOfAHandMadeSquare) {
    EXPECT_EQ(analysis::EntropyBits({}), 0.0);
    EXPECT_EQ(analysis::EntropyBits({7, 7, 7}), 0.0);
    EXPECT_DOUBLE_EQ(analysis::EntropyBits({0, 1, 0, 1}), 1.0);
    EXPECT_DOUBLE_EQ(analysis::EntropyBits({0, 0, 0, 0, 1, 1, -2, 3}), 1.75);

    // A 9 x 9 square (picture level 3) at level 2: smoothing block 5 x 5, one step of
    // details; the picture is 7 x 9, so the last smoothing row in x is not its own.
    const analysis::Layout layout = analysis::LayoutOf(3, 2, 7, 9);
    ASSERT_EQ(layout.bands.size(), 4u);
    analysis::Coefficients square{3, 2, 9, std::vector<double>(81)};
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            square.values[static_cast<std::size_t>(i * 9 + j)] = (i <= 4 && j <= 4) ? 10.0 * i - j : -0.4 * j;
    const analysis::Quantised q = analysis::Quantise(square.View(), layout, 2.0, nullptr);
    // trunc(c / 2), rebuilt at the middle of its step, zero stays zero.
    EXPECT_EQ(square.At(3, 1), (14.0 + 0.5) * 2.0);  // 29 -> q 14
    EXPECT_EQ(square.At(0, 1), 0.0);                 // -1 -> q 0
    EXPECT_EQ(square.At(0, 0), 0.0);
    EXPECT_EQ(square.At(6, 8), (-1.0 - 0.5) * 2.0);  // -3.2 -> q -1
    const std::vector<analysis::BandFigures> bands = analysis::MeasureBands(square, layout, &q);
    // Smoothing: own x 0..3 (x = 2i < 7), y 0..4: 20 values, q = trunc((10 i - j) / 2).
    EXPECT_EQ(bands[0].ownCount, 20);
    std::vector<double> smoothing;
    for (int i = 0; i <= 3; ++i)
        for (int j = 0; j <= 4; ++j) smoothing.push_back(std::trunc((10.0 * i - j) / 2.0));
    EXPECT_DOUBLE_EQ(*bands[0].entropyBits, 20 * analysis::EntropyBits(smoothing));
    // Row details at j = 5..8 of the own x: q = trunc(-0.2 j) = -1 for every j.
    EXPECT_EQ(bands[1].ownCount, 16);
    EXPECT_EQ(*bands[1].entropyBits, 0.0);
    EXPECT_DOUBLE_EQ(
        analysis::EntropyPerPixel(bands, 7, 9),
        (*bands[0].entropyBits + *bands[1].entropyBits + *bands[2].entropyBits + *bands[3].entropyBits) / 63.0);
}

// || sum V_ab phi(x - a) phi(y - b) ||, integrated by the midpoint rule on 32 points per
// unit, with V the square rebuilt from one unit coefficient.
double IntegratedNorm(const analysis::Coefficients& rebuilt, double delta) {
    constexpr int kPerUnit = 32;
    const int side = rebuilt.side;
    const int samples = (side + 2) * kPerUnit;
    std::vector<double> phi(static_cast<std::size_t>(samples) * 3);  // phi(t - a) for the 3 a that reach t
    double integral = 0.0;
    std::vector<double> column(static_cast<std::size_t>(side));
    for (int sx = 0; sx < samples; ++sx) {
        const double x = (sx + 0.5) / kPerUnit;
        // f(x, .) as coefficients along y.
        std::fill(column.begin(), column.end(), 0.0);
        for (int a = std::max(0, static_cast<int>(x) - 2); a <= std::min(side - 1, static_cast<int>(x)); ++a) {
            const double w = ScalingFunction(delta, x - a);
            if (w == 0.0) continue;
            for (int b = 0; b < side; ++b) column[static_cast<std::size_t>(b)] += w * rebuilt.At(a, b);
        }
        for (int sy = 0; sy < samples; ++sy) {
            const double y = (sy + 0.5) / kPerUnit;
            double f = 0.0;
            for (int b = std::max(0, static_cast<int>(y) - 2); b <= std::min(side - 1, static_cast<int>(y)); ++b)
                f += ScalingFunction(delta, y - b) * column[static_cast<std::size_t>(b)];
            integral += f * f;
        }
    }
    return std::sqrt(integral / (kPerUnit * kPerUnit));
}

TEST_F(AnalysisTest, NormsEqualTheIntegralOfTheDrawnFunctions) {
    constexpr int kPictureLevel = 5, kLevel = 2;
    for (const double delta : {0.0, 0.5, 1.0}) {
        const Filters filters = FiltersOf(delta);
        const analysis::Norms norms = analysis::NormsOf(filters, kPictureLevel, kLevel);
        TransformWorkspace workspace;
        struct Element {
            int k, i, j;
        };
        // Boundary and interior functions of every kind, at the coarsest and finest step.
        for (const Element e :
             {Element{2, 0, 0}, Element{2, 4, 2}, Element{2, 1, 5}, Element{2, 5, 8}, Element{2, 7, 3},
              Element{3, 16, 9}, Element{4, 17, 32}, Element{4, 20, 3}, Element{4, 32, 25}}) {
            analysis::Coefficients unit{kPictureLevel, kLevel, 33, std::vector<double>(33 * 33)};
            unit.values[static_cast<std::size_t>(e.i * 33 + e.j)] = 1.0;
            // A coefficient of step k: rebuilt from level k, where it stands.
            unit.level = e.k == kLevel ? kLevel : e.k;
            analysis::Reconstruct(unit, filters, kPictureLevel, workspace);
            const double integrated = IntegratedNorm(unit, delta);
            EXPECT_NEAR(norms.Weight(e.k, e.i, e.j), integrated, 2e-3 * integrated)
                << "Delta " << delta << ", step " << e.k << " (" << e.i << ", " << e.j << ")";
        }
    }
}

}  // namespace
}  // namespace tesora::testing
