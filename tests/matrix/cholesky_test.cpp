#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "matrix/Error.h"
#include "matrix/Matrix.h"
#include "matrix/Tridiagonal.h"

using tesora::Matrix;

TEST(SolveCholesky, SmallSystems) {
    Matrix one(1, 1);
    one.Set(1, 1, 2.0);
    double b1[1] = {3.0};
    one.SolveCholesky(b1);
    EXPECT_EQ(b1[0], (3.0 / std::sqrt(2.0)) / std::sqrt(2.0));

    Matrix A(2, 2);
    A.Set(1, 1, 4);
    A.Set(1, 2, 2);
    A.Set(2, 1, 2);
    A.Set(2, 2, 3);
    double b[2] = {2, 1};
    EXPECT_EQ(A.SolveCholesky(b), b);
    EXPECT_DOUBLE_EQ(b[0], 0.5);
    EXPECT_NEAR(b[1], 0.0, 1e-15);
}

TEST(SolveCholesky, IdentityLeavesRightHandSide) {
    Matrix I(5, 5);
    for (int i = 1; i <= 5; ++i) I.Set(i, i, 1.0);
    double b[5] = {1, -2, 3.5, 0, 7};
    I.SolveCholesky(b);
    EXPECT_EQ(b[1], -2.0);
    EXPECT_EQ(b[4], 7.0);
}

TEST(SolveCholesky, ReadsOnlyTheLowerTriangle) {
    Matrix sym(2, 2), skew(2, 2);
    sym.Set(1, 1, 4);
    sym.Set(1, 2, 2);
    sym.Set(2, 1, 2);
    sym.Set(2, 2, 3);
    skew.Set(1, 1, 4);
    skew.Set(1, 2, 99);
    skew.Set(2, 1, 2);
    skew.Set(2, 2, 3);
    double a[2] = {1, 5}, c[2] = {1, 5};
    sym.SolveCholesky(a);
    skew.SolveCholesky(c);
    EXPECT_EQ(std::memcmp(a, c, sizeof a), 0);
}

TEST(SolveCholesky, NonSquareWritesMessageAndLeavesB) {
    Matrix A(3, 4);
    double b[3] = {1, 2, 3};
    testing::internal::CaptureStdout();
    EXPECT_EQ(A.SolveCholesky(b), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Fehler in SolveCholesky: Matrix MUSS quadratisch sein!!\n");
    EXPECT_EQ(b[2], 3.0);
}

TEST(SolveCholesky, NonPositivePivotStopsTheSolve) {
    Matrix A(2, 2);
    A.Set(1, 1, 1);
    A.Set(2, 1, 2);
    A.Set(1, 2, 2);
    A.Set(2, 2, 1);  // indefinite
    double b[2] = {1, 1};
    EXPECT_THROW(A.SolveCholesky(b), tesora::Error);
    Matrix Z(1, 1);  // zero pivot: no division by zero, no infinity
    double z[1] = {1};
    EXPECT_THROW(Z.SolveCholesky(z), tesora::Error);

    tesora::TridiagonalCholesky fast;
    EXPECT_THROW(fast.Factor(A), tesora::Error);
}

// The fast solver must give the very same bits as the dense literal solve.
TEST(TridiagonalCholesky, BitIdenticalToSolveCholeskyForAllSizes) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> off(-1.0, 1.0), rhs(-300.0, 300.0);
    std::vector<int> sizes;
    for (int n = 1; n <= 40; ++n) sizes.push_back(n);
    for (int n : {63, 64, 65, 129, 256, 257, 512, 513, 1024, 1025}) sizes.push_back(n);

    for (int n : sizes) {
        Matrix A(n, n);
        for (int i = 1; i <= n; ++i) {
            if (i < n) {
                const double o = off(rng);
                A.Set(i + 1, i, o);
                A.Set(i, i + 1, o);
            }
        }
        for (int i = 1; i <= n; ++i) A.Set(i, i, 2.5 + std::abs(off(rng)));  // dominant: SPD

        tesora::TridiagonalCholesky fast;
        fast.Factor(A);
        const int count = 3;
        std::vector<double> dense(static_cast<size_t>(n) * count), interleaved(dense.size());
        for (int m = 0; m < count; ++m) {
            std::vector<double> b(static_cast<size_t>(n));
            for (auto& v : b) v = rhs(rng);
            if (m == 2) b[0] = -0.0, b[n - 1] = 0.0;  // signed zeros on the right
            std::vector<double> single = b;
            A.SolveCholesky(b.data());
            fast.Solve(single.data());
            ASSERT_EQ(std::memcmp(b.data(), single.data(), b.size() * sizeof(double)), 0) << "n=" << n;
            for (int k = 0; k < n; ++k)
                interleaved[static_cast<size_t>(k) * count + m] = single[static_cast<size_t>(k)];
            for (int k = 0; k < n; ++k) dense[static_cast<size_t>(k) * count + m] = b[static_cast<size_t>(k)];
        }
        ASSERT_EQ(std::memcmp(dense.data(), interleaved.data(), dense.size() * sizeof(double)), 0);
    }
}

TEST(TridiagonalCholesky, InterleavedSolveMatchesDenseSolve) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int n : {1, 2, 3, 9, 33, 129, 1025}) {
        Matrix A(n, n);
        for (int i = 1; i <= n; ++i) A.Set(i, i, 3.0 + u(rng));
        for (int i = 1; i < n; ++i) {
            const double o = u(rng);
            A.Set(i + 1, i, o);
            A.Set(i, i + 1, o);
        }
        const int count = n > 500 ? 2 : 5;
        const size_t stride = 7;  // wider than count: the gaps must stay untouched
        std::vector<double> block(static_cast<size_t>(n) * stride, 123.0);
        std::vector<std::vector<double>> columns(static_cast<size_t>(count),
                                                 std::vector<double>(static_cast<size_t>(n)));
        for (int m = 0; m < count; ++m)
            for (int k = 0; k < n; ++k) {
                double v = 255.0 * u(rng);
                if (m == count - 1 && k % 3 == 0) v = -0.0;  // exercises the signed-zero path
                if (m == 1 && count > 2) v = 0.0;
                columns[m][static_cast<size_t>(k)] = v;
                block[static_cast<size_t>(k) * stride + m] = v;
            }
        tesora::TridiagonalCholesky fast;
        fast.Factor(A);
        fast.SolveInterleaved(block.data(), stride, count);
        for (int m = 0; m < count; ++m) {
            A.SolveCholesky(columns[m].data());
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(std::bit_cast<uint64_t>(block[static_cast<size_t>(k) * stride + m]),
                          std::bit_cast<uint64_t>(columns[m][static_cast<size_t>(k)]))
                    << "n=" << n << " m=" << m << " k=" << k;
        }
        for (int k = 0; k < n; ++k) EXPECT_EQ(block[static_cast<size_t>(k) * stride + 6], 123.0);
    }
}

// The emulation on doubles must agree with Extended everywhere, above all where a
// rounding lands near a tie: right-hand sides with short mantissas make exact products
// and sums full of ties; tiny, huge and zero entries leave the emulation's safe range.
TEST(TridiagonalCholesky, EmulationOnDoublesMatchesExtendedSteps) {
    std::mt19937_64 rng(4242);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    auto shortMantissa = [&](int bits) {
        const double scale = std::ldexp(1.0, bits);
        return std::round(u(rng) * scale) / scale * 256.0;
    };
    std::size_t tested = 0;
    for (int kind = 0; kind < 5; ++kind)
        for (int n : {1, 2, 5, 64, 257}) {
            Matrix A(n, n);
            for (int i = 1; i <= n; ++i) A.Set(i, i, kind == 1 ? 2.0 : 2.5 + u(rng));
            for (int i = 1; i < n; ++i) {
                const double o = kind == 1 ? 0.5 : kind == 2 ? shortMantissa(6) / 512.0 : u(rng);
                A.Set(i + 1, i, o);
                A.Set(i, i + 1, o);
            }
            tesora::TridiagonalCholesky fast;
            fast.Factor(A);
            const std::size_t count = 67;  // not a multiple of any vector width
            std::vector<double> block(static_cast<std::size_t>(n) * count);
            for (double& v : block) {
                switch (kind) {
                    case 0: v = 255.0 * u(rng); break;
                    case 1:
                    case 2: v = shortMantissa(static_cast<int>(rng() % 12)); break;
                    case 3:
                        v = std::ldexp(u(rng), static_cast<int>(rng() % 1400) - 700);
                        break;                                                            // beyond the safe range
                    default: v = rng() % 3 == 0 ? 0.0 : 128.0 + shortMantissa(3); break;  // zeros
                }
            }
            std::vector<double> emulated = block, native = block;
            fast.SolveInterleavedOnDoubles(emulated.data(), count, count);
            fast.SolveInterleaved(native.data(), count, count);
            for (std::size_t m = 0; m < count; ++m) {
                std::vector<double> single(static_cast<std::size_t>(n));
                for (int k = 0; k < n; ++k)
                    single[static_cast<std::size_t>(k)] = block[static_cast<std::size_t>(k) * count + m];
                fast.Solve(single.data());
                for (int k = 0; k < n; ++k) {
                    const std::size_t at = static_cast<std::size_t>(k) * count + m;
                    ASSERT_EQ(std::bit_cast<uint64_t>(emulated[at]),
                              std::bit_cast<uint64_t>(single[static_cast<std::size_t>(k)]))
                        << "kind " << kind << " n=" << n << " m=" << m << " k=" << k;
                    ASSERT_EQ(std::bit_cast<uint64_t>(native[at]),
                              std::bit_cast<uint64_t>(single[static_cast<std::size_t>(k)]));
                    ++tested;
                }
            }
        }
    EXPECT_GT(tested, 100000u);
}
