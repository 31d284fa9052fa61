// The lifting bases against their published filters applied to the symmetrically
// extended line (ends included), perfect reconstruction on odd and even sizes, and the
// synthesis functions' norms against hand-computed ones.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "mra/Lifting.h"

using namespace tesora;

namespace {

std::vector<double> RandomValues(std::size_t n, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    std::vector<double> v(n);
    for (double& x : v) x = value(generator);
    return v;
}

// Symmetric filter taps h[0], h[1], ... (h[-k] = h[k]) applied at sample `at` of the
// whole-sample symmetric extension of x.
double Filter(const std::vector<double>& taps, const std::vector<double>& x, int at) {
    const int n = static_cast<int>(x.size());
    const auto sample = [&](int i) {
        while (i < 0 || i >= n) i = i < 0 ? -i : 2 * (n - 1) - i;
        return x[static_cast<std::size_t>(i)];
    };
    double sum = taps[0] * sample(at);
    for (std::size_t k = 1; k < taps.size(); ++k)
        sum += taps[k] * (sample(at - static_cast<int>(k)) + sample(at + static_cast<int>(k)));
    return sum;
}

struct PublishedFilters {
    Basis basis;
    std::vector<double> smoothing, detail;
    double tolerance;
};

}  // namespace

TEST(Lifting, MatchesPublishedFiltersOnTheExtendedLine) {
    const PublishedFilters cases[] = {
        {Basis::Cdf53, {0.75, 0.25, -0.125}, {1.0, -0.5}, 1e-12},
        // The 9/7 analysis filters as the still-picture standard tabulates them.
        {Basis::Cdf97,
         {0.602949018236360, 0.266864118442875, -0.078223266528990, -0.016864118442875, 0.026748757410810},
         {1.115087052456994, -0.591271763114247, -0.057543526228500, 0.091271763114249},
         1e-9},
    };
    for (const PublishedFilters& c : cases) {
        for (int n : {2, 3, 4, 5, 9, 16, 17}) {
            std::vector<double> x = RandomValues(static_cast<std::size_t>(n), static_cast<unsigned>(n));
            std::vector<double> line = x, scratch(line.size());
            LiftForward(c.basis, line.data(), n, scratch.data());
            const int smooth = (n + 1) / 2;
            for (int k = 0; k < smooth; ++k)
                EXPECT_NEAR(line[static_cast<std::size_t>(k)], Filter(c.smoothing, x, 2 * k), c.tolerance * 255)
                    << BasisName(c.basis) << " n " << n << " smoothing " << k;
            for (int k = 0; smooth + k < n; ++k)
                EXPECT_NEAR(line[static_cast<std::size_t>(smooth + k)], Filter(c.detail, x, 2 * k + 1),
                            c.tolerance * 255)
                    << BasisName(c.basis) << " n " << n << " detail " << k;
        }
    }
}

TEST(Lifting, HaarAveragesAndDifferencesPairsAndPassesALoneLastSample) {
    const std::vector<double> x{10, 4, 7, 7, 1, 9, 5};
    std::vector<double> line = x, scratch(x.size());
    LiftForward(Basis::Haar, line.data(), 7, scratch.data());
    EXPECT_EQ(line, (std::vector<double>{7, 7, 5, 5, -6, 0, 8}));
}

TEST(Lifting, ReconstructsOddAndEvenSizesOverSeveralSteps) {
    for (Basis basis : {Basis::Haar, Basis::Cdf53, Basis::Cdf97}) {
        for (const auto [width, rows, steps] : {std::array{1, 1, 1}, {2, 3, 1}, {7, 5, 3}, {33, 16, 5}, {64, 63, 6}}) {
            const std::size_t stride = static_cast<std::size_t>(rows) + 3;  // a wider square than the picture
            std::vector<double> data = RandomValues(static_cast<std::size_t>(width) * stride, 7);
            const std::vector<double> original = data;
            LiftDecompose(basis, data.data(), stride, width, rows, steps);
            LiftReconstruct(basis, data.data(), stride, width, rows, steps);
            double worst = 0.0;
            for (std::size_t e = 0; e < data.size(); ++e) worst = std::max(worst, std::fabs(data[e] - original[e]));
            EXPECT_LT(worst, 1e-10) << BasisName(basis) << " " << width << "x" << rows << " steps " << steps;
        }
    }
}

TEST(Lifting, NormsOfTheSynthesisFunctions) {
    // 5/3: the smoothing function 1/2 1 1/2, the detail -1/8 -1/4 3/4 -1/4 -1/8.
    const auto cdf53 = LiftNorms(Basis::Cdf53, 32, 2);
    EXPECT_NEAR(cdf53[0][5], std::sqrt(1.5), 1e-14);
    EXPECT_NEAR(cdf53[0][16 + 5], std::sqrt(0.71875), 1e-14);
    ASSERT_EQ(cdf53[1].size(), 16u);
    // Haar: the smoothing function of two steps is four ones, the detail of one -1/2 1/2.
    const auto haar = LiftNorms(Basis::Haar, 9, 2);
    EXPECT_DOUBLE_EQ(haar[1][1], 2.0);
    EXPECT_DOUBLE_EQ(haar[0][5 + 1], std::sqrt(0.5));
}

TEST(Lifting, NamesAndBlacRefused) {
    EXPECT_EQ(ParseBasis("cdf97"), Basis::Cdf97);
    EXPECT_EQ(ParseBasis("CDF97"), std::nullopt);
    EXPECT_STREQ(BasisName(Basis::Cdf53), "cdf53");
    double v = 1.0, scratch = 0.0;
    EXPECT_ANY_THROW(LiftForward(Basis::Blac, &v, 1, &scratch));
}
