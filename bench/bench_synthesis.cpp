// The reconstruction of the largest picture (1025 x 1025) from level 2 to 10 on the value
// road: the specified synthesis against the exact one, at a Delta inside the range.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "blac/DeltaControl.h"
#include "mra/ExactSynthesis.h"
#include "tools/Analysis.h"

namespace {

using namespace tesora;

analysis::Coefficients Decomposed(const Filters& filters) {
    analysis::RedPicture picture;
    picture.width = picture.height = 1025;
    std::mt19937 random(42);
    for (int n = 0; n < picture.width * picture.height; ++n) picture.red.push_back(static_cast<std::uint8_t>(random()));
    TransformWorkspace workspace;
    return analysis::DecomposePicture(picture, filters, 2, workspace);
}

// The reconstruction timed on the number of threads the argument gives; the square is
// restored untimed before each run.
template <typename Reconstruct>
void TimeReconstruction(benchmark::State& state, const Filters& filters, Reconstruct reconstruct) {
    const analysis::Coefficients decomposed = Decomposed(filters);
    analysis::Coefficients square = decomposed;
    TransformWorkspace workspace;
    SetTransformThreads(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        square = decomposed;
        state.ResumeTiming();
        reconstruct(square, workspace);
        benchmark::DoNotOptimize(square.values.data());
    }
    SetTransformThreads(0);
}

void OnOneAndTwoThreads(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->ReportAggregatesOnly(true);
}

void BM_ReconstructSpecified(benchmark::State& state) {
    const Filters filters = FiltersOf(DeltaFromPosition(50));
    TimeReconstruction(state, filters, [&](analysis::Coefficients& square, TransformWorkspace& workspace) {
        analysis::Reconstruct(square, filters, 10, workspace);
    });
}
BENCHMARK(BM_ReconstructSpecified)->Apply(OnOneAndTwoThreads);

void BM_ReconstructExact(benchmark::State& state) {
    const Filters filters = FiltersOf(DeltaFromPosition(50));
    std::vector<ExactSynthesis> exact(8);
    for (int L = 2; L < 10; ++L) exact[static_cast<std::size_t>(L - 2)].Prepare(filters, L);
    TimeReconstruction(state, filters, [&](analysis::Coefficients& square, TransformWorkspace& workspace) {
        for (const ExactSynthesis& level : exact) ReconstructLevelExact(level, square.View(), workspace);
    });
}
BENCHMARK(BM_ReconstructExact)->Apply(OnOneAndTwoThreads);

// Factoring the systems of all eight levels, once per picture and Delta.
void BM_PrepareExact(benchmark::State& state) {
    const Filters filters = FiltersOf(DeltaFromPosition(50));
    for (auto _ : state) {
        ExactSynthesis exact;
        for (int L = 2; L < 10; ++L) {
            exact.Prepare(filters, L);
            benchmark::DoNotOptimize(exact.Swaps());
        }
    }
}
BENCHMARK(BM_PrepareExact)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
