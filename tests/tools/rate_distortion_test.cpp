// Bjøntegaard deltas on curves whose fits are exact, so the deltas are computed by hand;
// the rate search, the golden section and the best-Delta search on functions with
// known answers.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <vector>

#include "blac/DeltaControl.h"
#include "matrix/Error.h"
#include "tools/Analysis.h"
#include "tools/BestDelta.h"
#include "tools/RateDistortion.h"

using namespace tesora;
using namespace tesora::analysis;

namespace {
// Points of PSNR = f(ln rate) at ln rate = from, from + 1, ...
std::vector<RatePoint> Curve(double from, int count, double (*f)(double)) {
    std::vector<RatePoint> points;
    for (int k = 0; k < count; ++k) points.push_back({std::exp(from + k), f(from + k)});
    return points;
}
}  // namespace

TEST(Bjontegaard, HandComputedPairs) {
    // Parallel lines 1 dB apart: delta PSNR 1 dB; the curve reaches each PSNR at
    // ln rate 0.1 lower, so delta rate = exp(-0.1) - 1.
    const auto reference = Curve(0, 4, [](double x) { return 30 + 10 * x; });
    const auto better = Curve(0, 5, [](double x) { return 31 + 10 * x; });
    const BjontegaardDelta d = Bjontegaard(reference, better);
    EXPECT_NEAR(d.psnr, 1.0, 1e-9);
    EXPECT_NEAR(d.rate, (std::exp(-0.1) - 1) * 100, 1e-9);
    const BjontegaardDelta back = Bjontegaard(better, reference);
    EXPECT_NEAR(back.psnr, -1.0, 1e-9);
    EXPECT_NEAR(back.rate, (std::exp(0.1) - 1) * 100, 1e-9);

    // Cubic curves on partly overlapping ranges: ln rate 0 ... 3 against 1 ... 4, the
    // overlap 1 ... 3; the difference 2x averages (9 - 1) / 2 = 4 dB there.
    const auto cubic = Curve(0, 4, [](double x) { return 20 + x * x * x / 10 + x; });
    const auto shifted = Curve(1, 4, [](double x) { return 20 + x * x * x / 10 + 3 * x; });
    EXPECT_NEAR(Bjontegaard(cubic, shifted).psnr, 4.0, 1e-9);
}

TEST(Bjontegaard, RefusesWhatHasNoDelta) {
    const auto line = Curve(0, 4, [](double x) { return 30 + x; });
    EXPECT_THROW(Bjontegaard(line, Curve(0, 3, [](double x) { return x; })), Error);        // three points
    EXPECT_THROW(Bjontegaard(line, Curve(10, 4, [](double x) { return 30 + x; })), Error);  // no overlap
    auto zero = line;
    zero[0].rate = 0;
    EXPECT_THROW(Bjontegaard(zero, line), Error);
    auto infinite = line;
    infinite[1].psnr = INFINITY;
    EXPECT_THROW(Bjontegaard(line, infinite), Error);
}

TEST(RateSearch, FindsTheSmallestStepWithinTheTarget) {
    // A staircase rate: 8 - floor(log2 Q) bits, clamped at 0. The target 3.5 is met from
    // Q = 2^5 on; the bisection closes in on it from above.
    int calls = 0;
    const auto rate = [&calls](double q) {
        ++calls;
        return std::max(0.0, 8 - std::floor(std::log2(q)));
    };
    const StepForRate found = FindStepForRate(rate, 3.5);
    EXPECT_EQ(found.rate, 3.0);
    EXPECT_GE(found.step, 32.0);
    EXPECT_LT(found.step, 32.0 * (1 + 1e-9));
    EXPECT_EQ(calls, 41);  // the top, then 40 halvings
    // A target every step meets gives the smallest step; a negative one is refused.
    EXPECT_EQ(FindStepForRate(rate, 100).step, std::exp2(kLowestStep));
    EXPECT_THROW(FindStepForRate(rate, -1), Error);
}

TEST(GoldenSection, FindsTheMaximumAndSkipsNaN) {
    const Maximum m = GoldenSectionMaximum([](double x) { return -(x - 0.37) * (x - 0.37); }, 0.3, 0.5, 1e-3);
    EXPECT_NEAR(m.x, 0.37, 1e-3);
    const Maximum n = GoldenSectionMaximum([](double x) { return x < 0.4 ? NAN : -x; }, 0.3, 0.5, 1e-3);
    EXPECT_GE(n.x, 0.4);
    EXPECT_NEAR(n.x, 0.4, 2e-3);
}

TEST(RateSearch, RateOfStepEqualsTheBandsEntropyBitForBit) {
    std::mt19937 generator(5);
    std::normal_distribution<double> value(0.0, 40.0);
    std::vector<std::vector<double>> bands(3);
    for (std::size_t b = 0; b < bands.size(); ++b)
        for (std::size_t k = 0; k < 2000 * (b + 1); ++k)  // the largest is ordered by its radix
            bands[b].push_back(value(generator) * static_cast<double>(b + 1));
    bands[2].insert(bands[2].end(), {-0.0, 0.0, -1e-300, 1e300, -1e300});
    bands.push_back({});  // a band with no coefficient counted
    const RateOfStep rate(bands, 37.0 * 41.0);
    for (const double step : {1e-3, 0.3, 1.0, 7.5, 1e4}) {
        double bits = 0.0;
        for (const std::vector<double>& band : bands) {
            std::vector<double> q;
            for (const double v : band) q.push_back(std::trunc(v / step));
            bits += static_cast<double>(band.size()) * EntropyBits(q);
        }
        EXPECT_EQ(rate(step), bits / (37.0 * 41.0)) << step;
    }
}

TEST(GoldenSection, BestDeltaRefinesBetweenPositionsAndPricesTheProposal) {
    // A peak at 0.4237, between positions 42 and 43; the proposal 0.9 is a position.
    std::atomic<int> calls{0};
    const auto psnr = [&calls](double delta) {
        ++calls;
        return 40 - 100 * (delta - 0.4237) * (delta - 0.4237);
    };
    const BestDelta best = FindBestDelta(psnr, DeltaFromPosition(90), 2);
    EXPECT_NEAR(best.bestDelta, 0.4237, 1e-3);
    EXPECT_GE(best.bestPsnr, psnr(DeltaFromPosition(42)));
    EXPECT_EQ(best.delta0Psnr, psnr(0.0));
    EXPECT_EQ(best.proposalPsnr, psnr(DeltaFromPosition(90)));
    EXPECT_EQ(best.regretDb, best.bestPsnr - best.proposalPsnr);
    EXPECT_LT(calls.load(), 101 + 20 + 4);  // the proposal came from the scan
    EXPECT_THROW(FindBestDelta([](double d) -> double { throw Error(std::to_string(d)); }, 0.0, 2), Error);
}

TEST(Bjontegaard, TableCurvesAgainstEachPicturesReference) {
    std::vector<TablePoint> table;
    for (int k = 0; k < 5; ++k)
        for (const char* curve : {"0.5", "0", "1"}) {
            const double x = k;
            const double offset = curve[0] == '0' && curve[1] == '\0' ? 0.0 : (curve[0] == '1' ? -2.0 : 1.0);
            table.push_back({"a.png", curve, {std::exp(x), 30 + 5 * x + offset}});
        }
    table.push_back({"a.png", "1", {0.0, 99.0}});      // no bits: left out
    table.push_back({"a.png", "1", {9.0, INFINITY}});  // no error: left out
    const auto rows = CompareWithReference(table, [](const std::string& c) { return c == "0"; });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].curve, "0.5");
    EXPECT_NEAR(rows[0].delta.psnr, 1.0, 1e-9);
    EXPECT_EQ(rows[1].curve, "1");
    EXPECT_EQ(rows[1].points, 5);
    EXPECT_NEAR(rows[1].delta.psnr, -2.0, 1e-9);
    table.push_back({"b.png", "0.5", {1.0, 30.0}});
    EXPECT_THROW(CompareWithReference(table, [](const std::string& c) { return c == "0"; }), Error);
}
