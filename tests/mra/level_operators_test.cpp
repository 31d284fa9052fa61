// The level operators on the worked examples, with expected values formed the way the
// operators and the Cholesky solve form them.
#include <cmath>

#include "MraFixture.h"

using namespace tesora;
using namespace tesora::testing;

namespace {
class LevelOperators : public MraTest {
protected:
    static void Fill(int N, double (*value)(int)) {
        for (int i = 0; i <= N; ++i) LineCoeffs[i] = value(i);
    }
};
}  // namespace

TEST_F(LevelOperators, ScalingGramAtDeltaZeroHalfAndOne) {
    BuildScalingGram(0.0, 3);
    const Matrix& G = ScalingGram(3);
    EXPECT_EQ(G.Get(1, 1), 1.0);
    for (int k = 2; k <= 9; ++k) EXPECT_EQ(G.Get(k, k), 2.0) << k;
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(G.Get(k, k + 1), 0.0) << k;

    // Every entry is rewritten, also a stale one from an earlier use.
    ScalingGram(4).Set(1, 5, 7.0);
    BuildScalingGram(1.0, 4);
    const Matrix& H = ScalingGram(4);
    EXPECT_EQ(H.Get(1, 5), 0.0);
    EXPECT_DOUBLE_EQ(H.Get(1, 1), 17.0 / 12);
    EXPECT_DOUBLE_EQ(H.Get(17, 17), 17.0 / 12);
    EXPECT_DOUBLE_EQ(H.Get(2, 2), 11.0 / 6);
    EXPECT_DOUBLE_EQ(H.Get(16, 16), 11.0 / 6);
    EXPECT_DOUBLE_EQ(H.Get(1, 2), 5.0 / 12);
    EXPECT_DOUBLE_EQ(H.Get(17, 16), 5.0 / 12);
    EXPECT_EQ(H.Get(1, 3), 0.0);

    BuildScalingGram(0.5, 2);
    const Matrix& K = ScalingGram(2);
    EXPECT_DOUBLE_EQ(K.Get(1, 1), 53.0 / 48);
    EXPECT_DOUBLE_EQ(K.Get(5, 5), 27.0 / 16);
    EXPECT_DOUBLE_EQ(K.Get(3, 3), 43.0 / 24);
    EXPECT_DOUBLE_EQ(K.Get(4, 3), 13.0 / 48);
}

TEST_F(LevelOperators, ScalingInnerProductsKeepTheEndFactors) {
    Fill(8, [](int i) { return static_cast<double>(i); });
    auto a = ScalingInnerProducts(0.0, 2);
    EXPECT_EQ(a[0], 0.0);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(a[k], (2 * k - 1) + 2 * k) << k;

    Fill(8, [](int) { return 100.0; });
    a = ScalingInnerProducts(1.0, 2);
    EXPECT_DOUBLE_EQ(a[0], 575.0 / 3);
    EXPECT_DOUBLE_EQ(a[1], 800.0 / 3);
    EXPECT_DOUBLE_EQ(a[2], 800.0 / 3);
    EXPECT_DOUBLE_EQ(a[4], 575.0 / 3);

    // Delta = 1: a[0] = 7/6 F0 + 2/3 F1 + 1/12 F2; a single 1 shows each factor.
    for (int i = 0; i <= 2; ++i) {
        Fill(8, [](int) { return 0.0; });
        LineCoeffs[i] = 1.0;
        a = ScalingInnerProducts(1.0, 2);
        EXPECT_DOUBLE_EQ(a[0], (i == 0 ? 7.0 / 6 : i == 1 ? 2.0 / 3 : 1.0 / 12)) << i;
    }
    // The interior factors 1/12, 2/3, 7/6, 2/3, 1/12 of a[2] (positions 2 ... 6).
    const double factors[] = {1.0 / 12, 2.0 / 3, 7.0 / 6, 2.0 / 3, 1.0 / 12};
    for (int i = 2; i <= 6; ++i) {
        Fill(8, [](int) { return 0.0; });
        LineCoeffs[i] = 1.0;
        a = ScalingInnerProducts(1.0, 2);
        EXPECT_DOUBLE_EQ(a[2], factors[i - 2]) << i;
    }
}

TEST_F(LevelOperators, ConstantLineAtDeltaOneIsNotConstant) {
    SetDeltaPosition(100);
    Fill(8, [](int) { return 100.0; });
    BuildScalingGram(Delta, 2);
    auto c = ScalingInnerProducts(Delta, 2);
    ScalingGram(2).SolveCholesky(c.get());
    const double expected[] = {106.356, 98.389, 100.732, 98.389, 106.356};
    for (int k = 0; k <= 4; ++k) EXPECT_NEAR(c[k], expected[k], 5e-4) << k;
}

TEST_F(LevelOperators, WaveletGramAtDeltaZero) {
    BuildWaveletGram(FiltersOf(0.0), 3);
    const Matrix& G = WaveletGram(3);
    const double boundary = 0.70444 * 0.70444 + (-0.70444) * (-0.70444);
    const double interior = 0.70444 * 0.70444 + (-0.704449) * (-0.704449);
    EXPECT_EQ(G.Get(1, 1), boundary);
    EXPECT_EQ(G.Get(8, 8), boundary);
    EXPECT_NEAR(boundary, 0.9924714272, 1e-12);
    EXPECT_NEAR(interior, 0.992484107201, 1e-12);
    for (int k = 2; k <= 7; ++k) EXPECT_EQ(G.Get(k, k), interior) << k;
    for (int k = 1; k <= 7; ++k) EXPECT_EQ(std::abs(G.Get(k, k + 1)), 0.0) << k;
}

TEST_F(LevelOperators, WaveletGramAtDeltaOneUsesTheShortNeighbourTerm) {
    SetDeltaPosition(100);
    BuildWaveletGram(FiltersOf(Delta), 4);
    const Matrix& G = WaveletGram(4);
    EXPECT_NEAR(G.Get(1, 1), 0.563783, 1e-6);
    EXPECT_NEAR(G.Get(16, 16), 0.563783, 1e-6);
    EXPECT_NEAR(G.Get(1, 2), 0.113676, 1e-6);
    EXPECT_NEAR(G.Get(15, 16), -0.113676, 1e-6);
    EXPECT_NEAR(G.Get(16, 15), -0.113676, 1e-6);
    for (int k = 2; k <= 15; ++k) EXPECT_NEAR(G.Get(k, k), 123.0 / 223, 1e-12) << k;
    for (int k = 2; k <= 14; ++k) EXPECT_NEAR(G.Get(k, k + 1), 19.0 / 223, 1e-12) << k;
}

TEST_F(LevelOperators, WaveletGramAtLevelTwoIsTridiagonal) {
    SetDeltaPosition(37);
    Matrix& G = WaveletGram(2);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) G.Set(i, j, 0.0);
    BuildWaveletGram(FiltersOf(Delta), 2);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            if (std::abs(i - j) <= 1)
                EXPECT_NE(G.Get(i, j), 0.0) << i << "," << j;
            else
                EXPECT_EQ(G.Get(i, j), 0.0) << i << "," << j;
            EXPECT_EQ(G.Get(i, j), G.Get(j, i));
        }
}

TEST_F(LevelOperators, WaveletInnerProductsReadTheirWindows) {
    SetDeltaPosition(50);
    // d[1] reads F[0 ... 6], d[2] F[2 ... 8], d[3] F[4 ... 8] at L = 2.
    for (int i = 0; i <= 8; ++i) {
        Fill(8, [](int) { return 0.0; });
        LineCoeffs[i] = 1.0;
        auto d = WaveletInnerProducts(FiltersOf(Delta), 2);
        EXPECT_EQ(d[1] != 0.0, i <= 6) << i;
        EXPECT_EQ(d[2] != 0.0, i >= 2) << i;
        EXPECT_EQ(d[3] != 0.0, i >= 4) << i;
        EXPECT_EQ(d[0] != 0.0, i <= 4) << i;
    }
    // L = 9 reaches the last of the 1025 entries.
    Fill(1024, [](int) { return 0.0; });
    LineCoeffs[1024] = 1.0;
    auto d = WaveletInnerProducts(FiltersOf(Delta), 9);
    EXPECT_NE(d[511], 0.0);
    auto a = ScalingInnerProducts(Delta, 9);
    EXPECT_DOUBLE_EQ(a[512], 1.0 + 0.5 / 6);
}

// Delta = 0: the diagonal systems make c[k] = (a / sqrt(2)) / sqrt(2), which for a line
// of 100s lands just below 100; details of (0, -0.000907, -0.000907, 0).
TEST_F(LevelOperators, ConstantLineAtDeltaZeroThroughAnalysisAndSynthesis) {
    Fill(8, [](int) { return 100.0; });
    std::vector<double> c(5), d(4), v(9);
    AnalyseLine(frontend, 2, c.data(), d.data());
    EXPECT_EQ(c[0], 100.0);
    const double root2 = std::sqrt(2.0);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(c[k], (200.0 / root2) / root2) << k;
        EXPECT_EQ(c[k], 99.99999999999997) << k;
        EXPECT_EQ(ClampToByte(c[k]), 99);
    }
    EXPECT_NEAR(d[0], 0.0, 1e-12);
    EXPECT_NEAR(d[1], -0.000907, 5e-7);
    EXPECT_NEAR(d[2], -0.000907, 5e-7);
    EXPECT_NEAR(d[3], 0.0, 1e-12);
    EXPECT_EQ(frontend.statusHistory, (std::vector<std::string>{"Berechne Glättekoeffs...", "Berechne Details..."}));

    SynthesiseLine(2, c.data(), d.data(), v.data());
    for (int i : {0, 1, 2, 7, 8}) EXPECT_NEAR(v[i], 100.0, 1e-9) << i;
    EXPECT_NEAR(v[3], 99.99936, 5e-6);
    EXPECT_NEAR(v[5], 99.99936, 5e-6);
    EXPECT_NEAR(v[4], 100.00064, 5e-6);
    EXPECT_NEAR(v[6], 100.00064, 5e-6);
}

TEST_F(LevelOperators, RampAtDeltaZero) {
    Fill(8, [](int i) { return static_cast<double>(i); });
    std::vector<double> c(5), d(4);
    AnalyseLine(frontend, 2, c.data(), d.data());
    EXPECT_EQ(c[0], 0.0);
    const double root2 = std::sqrt(2.0);
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(c[k], ((4.0 * k - 1) / root2) / root2) << k;
        EXPECT_NEAR(c[k], (4.0 * k - 1) / 2, 1e-14);
    }
}
