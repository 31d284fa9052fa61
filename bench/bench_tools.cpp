// The three tools on the largest picture (1025 x 1025, level 10), in memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "blac/Bank.h"
#include "blac/Start.h"
#include "blac/State.h"
#include "blac/DeltaControl.h"
#include "tools/Analysis.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/MemoryFrontend.h"
#include "tools/Reduction.h"

namespace {

using namespace tesora;

constexpr int kSide = kMaxSide;

void SetUpPicture(MemoryFrontend& frontend, double low, double high) {
    StartProgram();
    PictureWidth = PictureHeight = kSide;
    PictureLevel = 10;
    CurrentLevel = 10;
    std::mt19937 random(42);
    std::uniform_real_distribution<double> value(low, high);
    double* elements = CoeffMatrix.Data();
    for (std::size_t n = 0; n < static_cast<std::size_t>(kSide) * kSide; ++n) elements[n] = value(random);
    frontend.bild.Resize(kSide, kSide);
    frontend.reduced.Resize(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) frontend.bild.SetGrey(x, y, static_cast<int>(value(random)) & 255);
}

// Decomposed to level 2: details spread around 0, about a quarter below Epsilon 5.
void BM_Reduce(benchmark::State& state) {
    MemoryFrontend frontend;
    SetUpPicture(frontend, -20.0, 20.0);
    CurrentLevel = 2;
    Epsilon = 5.0;
    const std::vector<double> coefficients(CoeffMatrix.Data(), CoeffMatrix.Data() + kSide * kSide);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(coefficients.begin(), coefficients.end(), CoeffMatrix.Data());
        state.ResumeTiming();
        benchmark::DoNotOptimize(Reduce(frontend));
    }
}
BENCHMARK(BM_Reduce)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// Difference picture and proposal of a picture just opened.
void BM_CalcDelta(benchmark::State& state) {
    MemoryFrontend frontend;
    SetUpPicture(frontend, 0.0, 256.0);
    for (auto _ : state) {
        CalcDelta(frontend);
        benchmark::DoNotOptimize(DifferenceSumTotal);
    }
}
BENCHMARK(BM_CalcDelta)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// The reload copies a stored picture; reading the file from disk is measured in the app.
void BM_MeasureError(benchmark::State& state) {
    MemoryFrontend frontend;
    SetUpPicture(frontend, 0.0, 256.0);
    MemorySurface file = frontend.bild;
    file.SetGrey(17, 4, 3);
    frontend.reloadOriginal = [&file](MemorySurface& target) { target = file; };
    for (auto _ : state) benchmark::DoNotOptimize(MeasureError(frontend));
}
BENCHMARK(BM_MeasureError)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

// A sweep's extra Epsilon on the value road, against what it must at least do: one
// reconstruction from level 5 to 10 and the "Fehler?" comparison of its bytes.
analysis::RedPicture SweepPicture() {
    analysis::RedPicture picture{kSide, kSide, std::vector<std::uint8_t>(static_cast<std::size_t>(kSide) * kSide)};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            picture.red[static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(((x + 2 * y) / 9) % 160 + ((x / 128 + y / 96) % 2) * 60 + (x * y) % 17);
    return picture;
}

void BM_ReconstructFiveToTenAndFehler(benchmark::State& state) {
    SetTransformThreads(1);
    const analysis::RedPicture picture = SweepPicture();
    const Filters filters = FiltersOf(DeltaFromPosition(50));
    TransformWorkspace workspace;
    const analysis::Coefficients decomposed = analysis::DecomposePicture(picture, filters, 5, workspace);
    analysis::Coefficients square = decomposed;
    MemorySurface rebuilt(kSide, kSide), original(kSide, kSide);
    for (auto _ : state) {
        state.PauseTiming();
        square.values = decomposed.values;
        square.level = 5;
        state.ResumeTiming();
        analysis::Reconstruct(square, filters, 10, workspace);
        benchmark::DoNotOptimize(analysis::MeanRedDifference(rebuilt, original, kSide, kSide));
    }
    SetTransformThreads(0);
}
BENCHMARK(BM_ReconstructFiveToTenAndFehler)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_SweepExtraEpsilon(benchmark::State& state) {
    SetTransformThreads(1);
    const analysis::RedPicture picture = SweepPicture();
    analysis::PictureAnalysis analysis(picture, DeltaFromPosition(50), 5);
    analysis.Floor();
    analysis::RowRequest request;
    request.rule.epsilon = 5;
    for (auto _ : state) benchmark::DoNotOptimize(analysis.Row(request).quality.meanError);
    SetTransformThreads(0);
}
BENCHMARK(BM_SweepExtraEpsilon)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

// What the Python module's decompose(...).reconstruct() does on 1025 x 1025, here without
// Python: bench/python_overhead.py times the same from Python, and the difference is the
// module's own cost.
void BM_DecomposeReconstructValues(benchmark::State& state) {
    const analysis::RedPicture picture = SweepPicture();
    const Filters filters = FiltersOf(0.5);
    TransformWorkspace workspace;
    std::vector<double> out(static_cast<std::size_t>(kSide) * kSide);
    analysis::Coefficients copy;
    for (auto _ : state) {
        const analysis::Coefficients square = analysis::DecomposePicture(picture, filters, 2, workspace);
        const analysis::Layout layout = analysis::LayoutOf(square.pictureLevel, 2, kSide, kSide);
        copy = square;
        analysis::Reconstruct(copy, filters, copy.pictureLevel, workspace);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                out[static_cast<std::size_t>(y) * kSide + static_cast<std::size_t>(x)] = copy.At(x, y);
        benchmark::DoNotOptimize(out.data());
        benchmark::DoNotOptimize(layout.own.data());
    }
}
BENCHMARK(BM_DecomposeReconstructValues)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(25)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
