// The software extended type must give the bits of the x87 80-bit long double for
// every operation the core uses; compared directly where that format exists.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "matrix/Extended.h"
#include "support/Sanitized.h"

using tesora::SoftExtended;

namespace {

// Ten million random operands normally; a tenth of that under the sanitizers, which
// slow every integer step of the software type about tenfold.
constexpr int kRandomCases = kSanitized ? 500'000 : 5'000'000;  // two operands each

constexpr bool kHaveX87 =
    std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384;

long double ToNative(SoftExtended s) {
    unsigned char bytes[sizeof(long double)] = {};
    const std::uint64_t m = s.X87Mantissa();
    const std::uint16_t se = s.X87SignExponent();
    std::memcpy(bytes, &m, 8);
    std::memcpy(bytes + 8, &se, 2);
    long double v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

SoftExtended FromNative(long double v) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &v, sizeof v);
    std::uint64_t m;
    std::uint16_t se;
    std::memcpy(&m, bytes, 8);
    std::memcpy(&se, bytes + 8, 2);
    return SoftExtended::FromX87(m, se);
}

// Same bits, or both NaN (a NaN's payload is not part of the contract).
::testing::AssertionResult Same(SoftExtended soft, long double native) {
    if (std::isnan(native) && soft.IsNaN()) return ::testing::AssertionSuccess();
    const SoftExtended n = FromNative(native);
    if (!std::isnan(native) && soft.X87Mantissa() == n.X87Mantissa() && soft.X87SignExponent() == n.X87SignExponent())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "software " << soft.X87SignExponent() << ":"
                                         << soft.X87Mantissa() << " native " << n.X87SignExponent() << ":"
                                         << n.X87Mantissa();
}

::testing::AssertionResult SameDouble(double soft, double native) {
    if (std::isnan(soft) && std::isnan(native)) return ::testing::AssertionSuccess();
    if (std::bit_cast<std::uint64_t>(soft) == std::bit_cast<std::uint64_t>(native))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << soft << " vs " << native;
}

double RandomDouble(std::mt19937_64& rng, int minExponent, int maxExponent, int mantissaBits = 52) {
    std::uniform_int_distribution<int> exponent(minExponent, maxExponent);
    const std::uint64_t fraction = (rng() & ((1ULL << 52) - 1)) >> (52 - mantissaBits) << (52 - mantissaBits);
    const auto field = static_cast<std::uint64_t>(exponent(rng) + 1023);
    return std::bit_cast<double>((rng() & 1) << 63 | field << 52 | fraction);
}

SoftExtended RandomExtended(std::mt19937_64& rng, int minExponent, int maxExponent) {
    std::uniform_int_distribution<int> exponent(minExponent, maxExponent);
    const int e = exponent(rng);
    const auto field = static_cast<std::uint16_t>(std::max(e + 16383, 0) | static_cast<int>(rng() & 1) << 15);
    std::uint64_t m = rng();
    if ((field & 0x7FFF) != 0)
        m |= 1ULL << 63;
    else
        m &= ~(1ULL << 63);
    // A third get low bits at or around the halfway point of a double.
    switch (rng() % 6) {
        case 0: m = (m & ~0x7FFULL) | 0x400; break;
        case 1: m = (m & ~0x7FFULL) | 0x3FF; break;
        case 2: m = (m & ~0x7FFULL) | 0x401; break;
        default: break;
    }
    return SoftExtended::FromX87(m, field);
}

// The edges: signed zeros, infinities, NaN, double's extremes, exact powers and ties.
std::vector<SoftExtended> EdgeOperands() {
    std::vector<SoftExtended> v;
    for (double d : {0.0,
                     -0.0,
                     1.0,
                     -1.0,
                     2.0,
                     0.5,
                     3.0,
                     6.0,
                     100.0,
                     0.01,
                     1.0 / 3.0,
                     DBL_MAX,
                     -DBL_MAX,
                     DBL_MIN,
                     DBL_TRUE_MIN,
                     -DBL_TRUE_MIN,
                     DBL_MIN - DBL_TRUE_MIN,
                     DBL_EPSILON,
                     1.0 + DBL_EPSILON,
                     1.0 - DBL_EPSILON / 2,
                     std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(),
                     0x1p1023,
                     0x1.fffffffffffffp-1,
                     9007199254740993.0,
                     4503599627370496.5})
        v.emplace_back(d);
    // Extended values: largest, smallest normal and subnormal, and ties for doubles.
    v.push_back(SoftExtended::FromX87(~0ULL, 0x7FFE));
    v.push_back(SoftExtended::FromX87(1ULL << 63, 0x0001));
    v.push_back(SoftExtended::FromX87(1, 0x0000));
    v.push_back(SoftExtended::FromX87(0x4000000000000000ULL, 0x8000));
    v.push_back(SoftExtended::FromX87(0x8000000000000400ULL, 0x3FFF));  // 1 + half an ulp of a double
    v.push_back(SoftExtended::FromX87(0x8000000000000C00ULL, 0x3FFF));  // 1 + 1.5 ulps
    v.push_back(SoftExtended::FromX87(0xFFFFFFFFFFFFFC00ULL, 0x3FFF));  // rounds up to 2
    v.push_back(SoftExtended::FromX87(0x8000000000000400ULL, 0x3C00));  // tie at double's subnormal edge
    v.push_back(SoftExtended::FromX87(0xFFFFFFFFFFFFFFFFULL, 0x43FE));  // just below double overflow
    v.push_back(SoftExtended::FromX87(0xFFFFFFFFFFFFF800ULL, 0x43FE));  // tie at double overflow
    return v;
}

void CompareAll(SoftExtended a, SoftExtended b) {
    const long double na = ToNative(a), nb = ToNative(b);
    ASSERT_TRUE(Same(a, na));
    ASSERT_TRUE(Same(a + b, na + nb)) << std::hexfloat << (double)na << " + " << (double)nb;
    ASSERT_TRUE(Same(a - b, na - nb)) << std::hexfloat << (double)na << " - " << (double)nb;
    ASSERT_TRUE(Same(a * b, na * nb)) << std::hexfloat << (double)na << " * " << (double)nb;
    ASSERT_TRUE(Same(a / b, na / nb)) << std::hexfloat << (double)na << " / " << (double)nb;
    ASSERT_TRUE(Same(Sqrt(a), std::sqrt(na))) << std::hexfloat << (double)na;
    ASSERT_TRUE(SameDouble(static_cast<double>(a), static_cast<double>(na))) << std::hexfloat << (double)na;
    ASSERT_EQ((a <=> b) == std::partial_ordering::less, na < nb);
    ASSERT_EQ(a == b, na == nb);
}

}  // namespace

TEST(SoftExtended, EdgeOperandsMatchLongDouble) {
    if constexpr (!kHaveX87) GTEST_SKIP() << "no 80-bit long double to compare with";
    const std::vector<SoftExtended> edges = EdgeOperands();
    for (SoftExtended a : edges)
        for (SoftExtended b : edges) {
            CompareAll(a, b);
            CompareAll(-a, b);
        }
}

TEST(SoftExtended, RandomOperandsMatchLongDouble) {
    if constexpr (!kHaveX87) GTEST_SKIP() << "no 80-bit long double to compare with";
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < kRandomCases; ++i) {
        SoftExtended a, b;
        switch (i % 8) {
            case 0:
                a = SoftExtended(std::bit_cast<double>(rng()));
                b = SoftExtended(std::bit_cast<double>(rng()));
                break;
            case 1:
                a = SoftExtended(RandomDouble(rng, -30, 30));
                b = SoftExtended(RandomDouble(rng, -30, 30));
                break;
            case 2: {  // short mantissas: exact products, sums full of ties
                const int bits = static_cast<int>(rng() % 30) + 1;
                a = SoftExtended(RandomDouble(rng, -8, 8, bits));
                b = SoftExtended(RandomDouble(rng, -8, 60, bits));
                break;
            }
            case 3:
                a = RandomExtended(rng, -40, 40);
                b = RandomExtended(rng, -40, 40);
                break;
            case 4:
                a = RandomExtended(rng, -16400, -16300);
                b = RandomExtended(rng, -80, 80);
                break;  // subnormal results
            case 5:
                a = RandomExtended(rng, 16300, 16383);
                b = RandomExtended(rng, -80, 80);
                break;  // overflow
            case 6:
                a = RandomExtended(rng, -1100, -1000);
                b = RandomExtended(rng, -2, 2);
                break;  // double subnormals
            default: {  // near-cancellation: a - b loses most bits
                a = RandomExtended(rng, -5, 5);
                b = SoftExtended::FromX87(a.X87Mantissa() ^ (rng() & 0xFFFFF), a.X87SignExponent());
                break;
            }
        }
        CompareAll(a, b);
        if (HasFatalFailure()) return;
    }
}

// The core's sequences: x - a * b and x / d, rounded to a double once at the end;
// the mixed pattern of the level operators with inputs where cancellation is heavy.
TEST(SoftExtended, CoreSequencesMatchLongDouble) {
    if constexpr (!kHaveX87) GTEST_SKIP() << "no 80-bit long double to compare with";
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < kRandomCases / 4; ++i) {
        const double a = unit(rng) * 300.0, b = unit(rng), d = 1.0 + std::abs(unit(rng));
        const double x = i % 2 == 0 ? unit(rng) * 255.0 : a * b + unit(rng) * 1e-12;  // close to a * b
        const double soft = static_cast<double>(SoftExtended(x) - SoftExtended(a) * SoftExtended(b));
        const double native = static_cast<double>(static_cast<long double>(x) - static_cast<long double>(a) * b);
        ASSERT_TRUE(SameDouble(soft, native)) << std::hexfloat << x << " - " << a << " * " << b;
        ASSERT_TRUE(SameDouble(static_cast<double>(SoftExtended(soft) / SoftExtended(d)),
                               static_cast<double>(static_cast<long double>(soft) / d)));
        ASSERT_TRUE(SameDouble(static_cast<double>(Sqrt(SoftExtended(d))),
                               static_cast<double>(std::sqrt(static_cast<long double>(d)))));
        // The Gram normalisation: (a^3 + b^3) / (a + b) + s.
        const double s = unit(rng);
        const SoftExtended sa(a), sb(b);
        const long double la = a, lb = b;
        ASSERT_TRUE(SameDouble(static_cast<double>((sa * sa * sa + sb * sb * sb) / (sa + sb) + SoftExtended(s)),
                               static_cast<double>((la * la * la + lb * lb * lb) / (la + lb) + s)));
    }
    // Every Delta position: p * 0.01 with 0.01 as a 64-bit constant, and back.
    const SoftExtended hundredth = SoftExtended(1) / SoftExtended(100);
    ASSERT_TRUE(Same(hundredth, 0.01L));
    ASSERT_TRUE(Same(SoftExtended(1) / SoftExtended(6), 1.0L / 6.0L));
    for (int p = 0; p <= 100; ++p) {
        const double delta = static_cast<double>(SoftExtended(p) * hundredth);
        ASSERT_TRUE(SameDouble(delta, static_cast<double>(static_cast<long double>(p) * 0.01L)));
        ASSERT_EQ(static_cast<int>(SoftExtended(delta) * SoftExtended(100)),
                  static_cast<int>(static_cast<long double>(delta) * 100.0L));
    }
}

// These hold on every build, whichever type it picked.
TEST(Extended, RoundsOnceWithA64BitMantissa) {
    using tesora::Extended;
    // 1 + 2^-60 exists in extended precision but not in double.
    const Extended tiny = Extended(1.0) / Extended(static_cast<std::int64_t>(1) << 60);
    EXPECT_NE(Extended(1.0) + tiny, Extended(1.0));
    EXPECT_EQ(static_cast<double>(Extended(1.0) + tiny), 1.0);
    EXPECT_EQ(Extended(1.0) + tiny / Extended(32), Extended(1.0));  // 2^-65 is below half an ulp
    // Double rounding: 1 + 2^-53 + 2^-64 is above the tie, but the extended sum lands
    // on the tie 1 + 2^-53 and that rounds to the even 1.
    const double justAboveTie = tesora::SubtractProduct(1.0 + 0x1p-52, 0x1p-53 - 0x1p-64, 1.0);
    EXPECT_EQ(justAboveTie, 1.0);
    EXPECT_EQ(tesora::Divide(1.0, 3.0), 1.0 / 3.0);
    EXPECT_EQ(tesora::SquareRoot(2.0), std::sqrt(2.0));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(tesora::SubtractProduct(0.0, 0.0, -1.0)), 0u);  // 0 - (-0) = +0
    EXPECT_EQ(std::bit_cast<std::uint64_t>(tesora::SubtractProduct(-0.0, 0.0, 1.0)), 0x8000000000000000u);
    EXPECT_EQ(static_cast<int>(Extended(0.61) * Extended(100)), 60);  // 0.61 lies below 61/100
}
