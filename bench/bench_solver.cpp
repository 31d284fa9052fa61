// The literal dense Cholesky against the factor-once tridiagonal path on a level's
// scaling Gram matrix; the two give the same bits, the second is what the transform uses.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "matrix/Extended.h"
#include "matrix/Matrix.h"
#include "matrix/Tridiagonal.h"

namespace {
tesora::Matrix GramLike(int n) {
    tesora::Matrix A(n, n);
    for (int i = 1; i <= n; ++i) A.Set(i, i, i == 1 || i == n ? 1.42 : 1.83);
    for (int i = 1; i < n; ++i) {
        A.Set(i + 1, i, 0.42);
        A.Set(i, i + 1, 0.42);
    }
    return A;
}

std::vector<double> RightHandSide(int n) {
    std::vector<double> b(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) b[static_cast<size_t>(i)] = (i * 37 % 255) + 0.5;
    return b;
}

void DenseSolve(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const tesora::Matrix A = GramLike(n);
    const std::vector<double> b0 = RightHandSide(n);
    std::vector<double> b;
    for (auto _ : state) {
        b = b0;
        A.SolveCholesky(b.data());
        benchmark::DoNotOptimize(b.data());
    }
}

void TridiagonalSolve(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const tesora::Matrix A = GramLike(n);
    tesora::TridiagonalCholesky fast;
    fast.Factor(A);
    const std::vector<double> b0 = RightHandSide(n);
    std::vector<double> b;
    for (auto _ : state) {
        b = b0;
        fast.Solve(b.data());
        benchmark::DoNotOptimize(b.data());
    }
    // Same bits as the literal solve, checked once outside the timing.
    std::vector<double> dense = b0;
    A.SolveCholesky(dense.data());
    if (std::memcmp(dense.data(), b.data(), b.size() * sizeof(double)) != 0)
        state.SkipWithError("tridiagonal result differs from SolveCholesky");
}

// All 1025 columns of a level-10 picture at once, as the column pass solves them; with
// the argument 1 on doubles alone, the path of builds with the software extended type.
void InterleavedSolve1025(benchmark::State& state) {
    const int n = 513;
    const tesora::Matrix A = GramLike(n);
    tesora::TridiagonalCholesky fast;
    fast.Factor(A);
    std::vector<double> block0(static_cast<size_t>(n) * 1025);
    for (size_t i = 0; i < block0.size(); ++i) block0[i] = static_cast<double>(i % 251) + 0.25;
    std::vector<double> block;
    for (auto _ : state) {
        block = block0;
        if (state.range(0) == 1)
            fast.SolveInterleavedOnDoubles(block.data(), 1025, 1025);
        else
            fast.SolveInterleaved(block.data(), 1025, 1025);
        benchmark::DoNotOptimize(block.data());
    }
}

// One chunk of 32 columns (stride 32), as the transform solves them: each row's steps
// wait for the row before, so this measures the latency of a step more than its cost.
void InterleavedSolveChunk(benchmark::State& state) {
    const int n = 513;
    constexpr std::size_t kCount = 32;
    const tesora::Matrix A = GramLike(n);
    tesora::TridiagonalCholesky fast;
    fast.Factor(A);
    std::vector<double> block0(static_cast<size_t>(n) * kCount);
    for (size_t i = 0; i < block0.size(); ++i) block0[i] = static_cast<double>(i % 251) + 0.25;
    std::vector<double> block;
    for (auto _ : state) {
        block = block0;
        if (state.range(0) == 1)
            fast.SolveInterleavedOnDoubles(block.data(), kCount, kCount);
        else
            fast.SolveInterleaved(block.data(), kCount, kCount);
        benchmark::DoNotOptimize(block.data());
    }
}

// One Cholesky step, (r - l * p) / d, over the 1025 x 513 elements of the column pass,
// carried out element by element with each extended type: the software type is what
// a build without the 80-bit long double pays wherever the quick path hands a step
// to Extended, and in every step of the literal SolveCholesky.
template <typename T>
void ExtendedSteps(benchmark::State& state) {
    std::vector<double> r(1025 * 513), p(r.size());
    for (size_t i = 0; i < r.size(); ++i) {
        r[i] = static_cast<double>(i % 251) + 0.25;
        p[i] = static_cast<double>(i % 127) * 0.37;
    }
    const T l(0.42 / 1.83), d(1.2837);
    for (auto _ : state) {
        for (size_t i = 0; i < r.size(); ++i)
            benchmark::DoNotOptimize(static_cast<double>(T(static_cast<double>(T(r[i]) - l * T(p[i]))) / d));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(r.size()));
}
}  // namespace

#if !TESORA_SOFTWARE_EXTENDED
BENCHMARK(ExtendedSteps<tesora::NativeExtended>)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(ExtendedSteps<tesora::SoftExtended>)->Unit(benchmark::kMillisecond);

BENCHMARK(DenseSolve)->Arg(129)->Arg(513)->Unit(benchmark::kMillisecond);
BENCHMARK(TridiagonalSolve)->Arg(129)->Arg(513)->Arg(1025)->Unit(benchmark::kMicrosecond);
BENCHMARK(InterleavedSolve1025)->ArgName("onDoubles")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(InterleavedSolveChunk)->ArgName("onDoubles")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
