#include <gtest/gtest.h>

#include <cmath>

#include "blac/Bank.h"
#include "blac/Blocks.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "blac/State.h"

using namespace tesora;

namespace {
class Blac : public testing::Test {
protected:
    void SetUp() override { StartProgram(); }
    void TearDown() override {
        Delta = 0.0;
        RebuildWaveletCoeffs();
    }
    static void SetDelta(double d) {
        Delta = d;
        RebuildWaveletCoeffs();
    }
};

void ExpectNear(const double* actual, std::initializer_list<double> expected, double tolerance) {
    int i = 0;
    for (double e : expected) {
        EXPECT_NEAR(actual[i], e, tolerance) << "element " << i;
        ++i;
    }
}
}  // namespace

TEST_F(Blac, PowerTablesAndBank) {
    for (int k = 0; k <= 11; ++k) {
        EXPECT_EQ(Pow2Int[k], 1 << k);
        EXPECT_EQ(Pow2[k], std::ldexp(1.0, k));
        EXPECT_EQ(Pow2Inv[k], std::ldexp(1.0, -k));
    }
    EXPECT_EQ(Pow2Inv[11], 0.00048828125);

    EXPECT_EQ(LevelMatrices[0]->Rows(), 3);
    EXPECT_EQ(LevelMatrices[9]->Rows(), 1025);
    EXPECT_EQ(LevelMatrices[10]->Rows(), 2);
    EXPECT_EQ(LevelMatrices[19]->Cols(), 1024);
    EXPECT_EQ(LevelMatrices[13], &WaveletGram(4));
    EXPECT_EQ(CoeffMatrix.Rows(), 1025);
    EXPECT_EQ(WaveletMatrix.Rows(), 9);
    EXPECT_EQ(BankDoubleCount(), 3850963);
}

TEST_F(Blac, BlocksFollowTheirTables) {
    const Matrix inner = InnerBlock(1.0);
    const double row2[5] = {2.0 / 3, 7.0 / 6, 2.0 / 3, 1.0 / 12, 0};
    for (int c = 1; c <= 5; ++c) EXPECT_NEAR(inner.Get(2, c), row2[c - 1], 1e-15);

    const Matrix left = LeftBlock(0.5);
    EXPECT_NEAR(left.Get(1, 1), 1 + 1.0 / 12, 1e-15);
    EXPECT_NEAR(left.Get(1, 2), 1.0 / 12 + 0.25, 1e-15);
    EXPECT_NEAR(left.Get(1, 3), 1.0 / 48, 1e-15);
    EXPECT_EQ(left.Get(1, 4), 0.0);

    // Upper Hessenberg: the elimination relies on it.
    for (const Matrix& m : {LeftBlock(0.3), InnerBlock(0.3), RightBlock(0.3)})
        for (int r = 1; r <= m.Rows(); ++r)
            for (int c = 1; c < r - 1; ++c) EXPECT_EQ(m.Get(r, c), 0.0);

    // Delta = 0 still builds; the first row of the inner and right blocks is zero.
    const Matrix zero = InnerBlock(0.0);
    for (int c = 1; c <= 5; ++c) EXPECT_EQ(zero.Get(1, c), 0.0);
}

TEST_F(Blac, SixthIsExtendedPrecision) {
    // D times the 64-bit-mantissa sixth, rounded to 64 bits and then to double, worked
    // out in exact rational arithmetic; a double 1/6 gives one ulp less at these Deltas.
    const struct {
        int position;
        double sixth;
    } cases[] = {{1, 0x1.b4e81b4e81b4fp-10},
                 {3, 0x1.47ae147ae147bp-8},
                 {37, 0x1.f92c5f92c5f93p-5},
                 {50, 0x1.5555555555555p-4},
                 {99, 0x1.51eb851eb851fp-3}};
    for (const auto& c : cases) EXPECT_EQ(ComputeBlacValues(DeltaFromPosition(c.position)).S, c.sixth) << c.position;
}

TEST_F(Blac, HalfDeltaIsOneMinusItsComplement) {
    // 1 - (1 - D/2) with each step rounded to double, not D/2 itself: worked out apart.
    EXPECT_EQ(FiltersOf(DeltaFromPosition(1)).halfDelta, 0x1.47ae147ae1480p-8);
    EXPECT_EQ(FiltersOf(DeltaFromPosition(37)).halfDelta, 0x1.7ae147ae147b0p-3);
}

TEST_F(Blac, NormaliseWaveletExamples) {
    const double x3[3] = {1, 1, 1};
    double r3[4];
    NormaliseWavelet(x3, r3, 0.5, 3);
    const double w3 = std::sqrt(1 / 3.25);
    for (double v : r3) EXPECT_NEAR(v, w3, 1e-15);

    const double x4[4] = {1, 1, 1, 1};
    double r4[5];
    NormaliseWavelet(x4, r4, 1.0, 4);
    EXPECT_NEAR(r4[4], 1 / std::sqrt(3.0), 1e-15);
    EXPECT_GT(r4[4], 0);
}

TEST_F(Blac, FixedCoefficientsAtDeltaZero) {
    ExpectNear(WaveletLeft, {0, 0.70444, -0.70444, 0}, 0);
    ExpectNear(WaveletInner, {0, 0, 0.70444, -0.704449, 0}, 0);
    ExpectNear(WaveletRight, {0, 0, 0.70444, -0.70444}, 0);
    EXPECT_EQ(OneMinusHalfDelta, 1.0);
    EXPECT_EQ(HalfDelta, 0.0);
    EXPECT_EQ(WaveletMatrix.Get(6, 3), 0.70444);  // column 3 rows 4 ... 8 repeats column 2
    EXPECT_EQ(WaveletMatrix.Get(7, 3), -0.704449);
}

TEST_F(Blac, FiltersAtDeltaOne) {
    Matrix inner = InnerBlock(1.0);
    auto v = CalcKoeff(inner, 1.0, 4, kInnerWavelet);
    const double scale = v[4];
    EXPECT_NEAR(scale, 1 / std::sqrt(446.0), 1e-16);
    // Unnormalised solution (1, -8, 14, -8, 1), exactly.
    const double expected[5] = {1, -8, 14, -8, 1};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(v[i] / scale, expected[i], 1e-12);

    SetDelta(1.0);
    ExpectNear(WaveletInner, {0.0473514, -0.378811, 0.662919, -0.378811, 0.0473514}, 5e-7);
    ExpectNear(WaveletLeft, {-0.358424, 0.675778, -0.388292, 0.0485365}, 5e-7);
    ExpectNear(WaveletRight, {-0.0485365, 0.388292, -0.675778, 0.358424}, 5e-7);
    EXPECT_EQ(OneMinusHalfDelta, 0.5);
    EXPECT_EQ(HalfDelta, 0.5);

    Matrix left = LeftBlock(1.0);
    auto l = CalcKoeff(left, 1.0, 3, kLeftWavelet);
    const double unnormalised[4] = {-96.0 / 13, 181.0 / 13, -104.0 / 13, 1};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(l[i] / l[3], unnormalised[i], 1e-12);
}

TEST_F(Blac, FiltersAtHalfAndAtFirstPosition) {
    SetDelta(DeltaFromPosition(50));
    ExpectNear(WaveletInner, {0.0136948, -0.219116, 0.712128, -0.547791, 0.0410843}, 5e-7);
    ExpectNear(WaveletLeft, {-0.209253, 0.714460, -0.550209, 0.0412657}, 5e-7);
    ExpectNear(WaveletRight, {-0.0138720, 0.221952, -0.720504, 0.541429}, 5e-7);

    SetDelta(DeltaFromPosition(1));
    ExpectNear(WaveletRight, {-0.00000589, 0.00471201, -0.707980, 0.704438}, 5e-7);
    ExpectNear(WaveletLeft, {-0.00470611, 0.707974, -0.704440, 0.00117210}, 5e-7);
    // The right boundary wavelet flips sign between position 0 and 1; the left does not.
    EXPECT_GT(WaveletRight[3], 0.0);
    SetDelta(0.0);
    EXPECT_LT(WaveletRight[3], 0.0);
}

TEST_F(Blac, EveryScrollPositionGivesFiniteFilters) {
    for (int p = 1; p <= 100; ++p) {
        SetDelta(DeltaFromPosition(p));
        for (double c : WaveletLeft) ASSERT_TRUE(std::isfinite(c)) << p;
        for (double c : WaveletInner) ASSERT_TRUE(std::isfinite(c)) << p;
        for (double c : WaveletRight) ASSERT_TRUE(std::isfinite(c)) << p;
        // The last element is the positive normalisation scale.
        EXPECT_GT(WaveletLeft[3], 0.0) << p;
        EXPECT_GT(WaveletInner[4], 0.0) << p;
        EXPECT_GT(WaveletRight[3], 0.0) << p;
    }
}

TEST_F(Blac, BuildWaveletMatrixShapes) {
    const Matrix w1 = BuildWaveletMatrix(0.5, 1);
    ASSERT_EQ(w1.Rows(), 5);
    ASSERT_EQ(w1.Cols(), 2);
    EXPECT_EQ(w1.Get(5, 1), 0.0);
    EXPECT_EQ(w1.Get(1, 2), 0.0);
    EXPECT_NE(w1.Get(5, 2), 0.0);

    const Matrix w3 = BuildWaveletMatrix(0.5, 3);
    ASSERT_EQ(w3.Rows(), 17);
    ASSERT_EQ(w3.Cols(), 8);
    for (int c = 2; c <= 7; ++c)
        for (int r = 1; r <= 17; ++r) {
            const bool inSupport = r >= 2 * c - 2 && r <= 2 * c + 2;
            if (!inSupport) {
                EXPECT_EQ(w3.Get(r, c), 0.0);
            }
        }
}

TEST_F(Blac, CalcKoeffRefusesWrongShapes) {
    Matrix square(4, 4);
    testing::internal::CaptureStdout();
    EXPECT_EQ(CalcKoeff(square, 0.5, 4, kInnerWavelet), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Fehler in CalcKoeff: Matrix muss eine Spalte mehr als Zeilen haben!\n");
    Matrix block(3, 4);
    EXPECT_EQ(CalcKoeff(block, 0.0, 3, 7), nullptr);
}

TEST_F(Blac, DeltaConversions) {
    EXPECT_EQ(DeltaFromPosition(61), 0.61);                             // the double nearest 0.61 ...
    EXPECT_LT(static_cast<long double>(DeltaFromPosition(61)), 0.61L);  // ... lies below it
    EXPECT_EQ(PositionFromDelta(0.61), 60);
    EXPECT_EQ(PositionFromDelta(0.29), 28);
    for (int p : {0, 25, 50, 100}) EXPECT_EQ(PositionFromDelta(DeltaFromPosition(p)), p);
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(DeltaFromPosition(p), p / 100.0) << p;
    EXPECT_EQ(DeltaFromPosition(100), 1.0);
    EXPECT_EQ(PositionFromDelta(0.61725), 61);
    EXPECT_EQ(PositionFromDelta(std::nan("")), 0);
}
