// The three tools on the largest picture (1025 x 1025, level 10), in memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "blac/Bank.h"
#include "blac/Start.h"
#include "blac/State.h"
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

BENCHMARK_MAIN();
