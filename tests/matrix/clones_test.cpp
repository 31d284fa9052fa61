// Every vector clone of the interleaved solve on doubles must give the bits of the
// extended type step by step: on random systems and on right-hand sides built to put
// the roundings next to a tie, compared with memcmp against the one-system solve.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "matrix/Matrix.h"
#include "matrix/Simd.h"
#include "matrix/Tridiagonal.h"
#include "support/Sanitized.h"

namespace {

using tesora::VectorLevel;

// Steps per clone: ten million, a tenth under the sanitizers.
constexpr std::size_t kSteps = kSanitized ? 1'000'000 : 10'000'000;

std::vector<VectorLevel> Levels() {
    std::vector<VectorLevel> levels{VectorLevel::Baseline};
    if (tesora::BestVectorLevel() >= VectorLevel::Avx2Fma) levels.push_back(VectorLevel::Avx2Fma);
    if (tesora::BestVectorLevel() >= VectorLevel::Avx512) levels.push_back(VectorLevel::Avx512);
    return levels;
}

struct Case {
    tesora::TridiagonalCholesky solver;
    std::vector<double> block;  // n x count, interleaved
    std::size_t count = 0;
};

// kind 0: grey levels; 1: short mantissas on a matrix of short entries (exact products
// and sums, so roundings land on ties); 2: values across the whole exponent range,
// beyond the quick path's safe range; 3: zeros among short mantissas; 4: a diagonal
// matrix (a zero factor in every step) with infinities and NaN among grey levels.
Case MakeCase(std::mt19937_64& rng, int kind, int n, std::size_t count) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto shortMantissa = [&](int bits) {
        const double scale = std::ldexp(1.0, bits);
        return std::round(u(rng) * scale) / scale * 256.0;
    };
    tesora::Matrix A(n, n);
    for (int i = 1; i <= n; ++i) A.Set(i, i, kind == 1 ? 2.0 + shortMantissa(2) / 1024.0 : 2.5 + u(rng));
    for (int i = 1; i < n; ++i) {
        const double o = kind == 1 ? shortMantissa(6) / 512.0 : kind == 4 ? 0.0 : u(rng);
        A.Set(i + 1, i, o);
        A.Set(i, i + 1, o);
    }
    Case c;
    c.solver.Factor(A);
    c.count = count;
    c.block.resize(static_cast<std::size_t>(n) * count);
    for (double& v : c.block) {
        switch (kind) {
            case 0: v = 255.0 * u(rng); break;
            case 1: v = shortMantissa(static_cast<int>(rng() % 14)); break;
            case 2: v = std::ldexp(u(rng), static_cast<int>(rng() % 1600) - 800); break;
            case 3: v = rng() % 3 == 0 ? 0.0 : 128.0 + shortMantissa(3); break;
            default: {
                const std::uint64_t pick = rng() % 64;
                v = pick == 0   ? std::numeric_limits<double>::infinity()
                    : pick == 1 ? -std::numeric_limits<double>::infinity()
                    : pick == 2 ? std::numeric_limits<double>::quiet_NaN()
                    : pick < 8  ? 0.0
                                : 255.0 * u(rng);
                break;
            }
        }
    }
    return c;
}

// The reference: each system alone, every step in the extended type.
std::vector<double> Reference(const Case& c) {
    const auto n = static_cast<std::size_t>(c.solver.Size());
    std::vector<double> out(c.block.size()), single(n);
    for (std::size_t m = 0; m < c.count; ++m) {
        for (std::size_t k = 0; k < n; ++k) single[k] = c.block[k * c.count + m];
        c.solver.Solve(single.data());
        for (std::size_t k = 0; k < n; ++k) out[k * c.count + m] = single[k];
    }
    return out;
}

TEST(VectorClones, EveryCloneGivesTheExtendedStepsBits) {
    const std::vector<VectorLevel> levels = Levels();
    std::mt19937_64 rng(20261209);
    std::vector<std::size_t> steps(levels.size(), 0);
    for (std::size_t round = 0; steps.front() < kSteps; ++round) {
        const int kind = static_cast<int>(round % 5);
        const int n = 1 + static_cast<int>(rng() % 300);
        const std::size_t count = 1 + rng() % 150;  // every remainder of every vector width
        const Case c = MakeCase(rng, kind, n, count);
        const std::vector<double> expected = Reference(c);
        for (std::size_t l = 0; l < levels.size(); ++l) {
            std::vector<double> got = c.block;
            c.solver.SolveInterleavedOnDoubles(got.data(), count, count, levels[l]);
            ASSERT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(double)), 0)
                << tesora::VectorLevelName(levels[l]) << ": kind " << kind << ", n " << n << ", " << count
                << " systems";
            steps[l] += 2 * static_cast<std::size_t>(n) * count;
        }
        // The solve the transforms call, whichever path the build takes.
        std::vector<double> got = c.block;
        c.solver.SolveInterleaved(got.data(), count, count);
        ASSERT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(double)), 0) << "SolveInterleaved";
    }
    for (std::size_t l = 0; l < levels.size(); ++l) EXPECT_GE(steps[l], kSteps) << tesora::VectorLevelName(levels[l]);
    std::printf("clones tested: %zu, the best here %s\n", levels.size(),
                tesora::VectorLevelName(tesora::BestVectorLevel()));
}

// A stride wider than the count: entries between the systems stay untouched.
TEST(VectorClones, LeaveTheGapsOfAWiderStrideAlone) {
    std::mt19937_64 rng(7);
    const Case c = MakeCase(rng, 0, 33, 13);
    const std::size_t stride = 21;
    for (VectorLevel level : Levels()) {
        std::vector<double> wide(33 * stride, 123.0);
        for (std::size_t k = 0; k < 33; ++k)
            for (std::size_t m = 0; m < 13; ++m) wide[k * stride + m] = c.block[k * 13 + m];
        c.solver.SolveInterleavedOnDoubles(wide.data(), stride, 13, level);
        const std::vector<double> expected = Reference(c);
        for (std::size_t k = 0; k < 33; ++k) {
            EXPECT_EQ(std::memcmp(&wide[k * stride], &expected[k * 13], 13 * sizeof(double)), 0);
            for (std::size_t m = 13; m < stride; ++m) EXPECT_EQ(wide[k * stride + m], 123.0);
        }
    }
}

}  // namespace

namespace {

// Products that round up to a power of two: the exact product lies in the binade below,
// where the 64-bit grid is twice as fine. With b2 equal to that power of two the
// difference is the product's rounding error alone, so any slip in it shows.
TEST(VectorClones, ProductsJustBelowAPowerOfTwo) {
    for (const double factor : {0.35, 0.65, 0.7, 0.75}) {
        tesora::Matrix A(2, 2);
        A.Set(1, 1, 1.0);  // the first quotient divides by 1: w1 = b1, and l = factor
        A.Set(2, 1, factor);
        A.Set(1, 2, factor);
        A.Set(2, 2, 2.0);
        Case c;
        c.solver.Factor(A);
        std::vector<double> firsts, seconds;
        for (int k = -40; k <= 40; ++k) {
            const double power = std::ldexp(1.0, k);
            double b1 = power / factor;
            for (int step = 0; step < 16; ++step) b1 = std::nextafter(b1, HUGE_VAL);
            for (int step = 0; step < 32; ++step, b1 = std::nextafter(b1, 0.0)) {
                const double product = factor * b1;
                if (product == power && std::fma(factor, b1, -product) < 0.0) {
                    firsts.push_back(b1);
                    seconds.push_back(power);
                }
            }
        }
        c.count = firsts.size();
        ASSERT_GT(c.count, 40u) << "factor " << factor;
        c.block = firsts;
        c.block.insert(c.block.end(), seconds.begin(), seconds.end());
        const std::vector<double> expected = Reference(c);
        for (VectorLevel level : Levels()) {
            std::vector<double> got = c.block;
            c.solver.SolveInterleavedOnDoubles(got.data(), c.count, c.count, level);
            EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(double)), 0)
                << tesora::VectorLevelName(level) << ", factor " << factor;
        }
    }
}

}  // namespace
