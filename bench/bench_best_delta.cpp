// The best-Delta search on a 512 x 512 picture at one rate (1 bit per pixel, five steps
// down, norm rule), on two threads as best-delta runs it on a two-core machine; the load
// of the machine at the start is reported beside it, since a shared machine slows it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "mra/LevelChange.h"
#include "tools/BestDelta.h"

namespace {

using namespace tesora;

// Smooth shading, edges and a little noise: a photograph's mix of bands.
analysis::RedPicture Photo() {
    analysis::RedPicture picture;
    picture.width = picture.height = 512;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 4.0);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const double shade = 0.2 * (x + y) + 40 * std::sin(x / 37.0) * std::cos(y / 23.0);
            const double edge = ((x / 64 + y / 96) % 2) ? 50.0 : 0.0;
            picture.red.push_back(static_cast<std::uint8_t>(std::clamp(shade + edge + noise(random), 0.0, 255.0)));
        }
    return picture;
}

void BM_BestDelta512(benchmark::State& state) {
    const analysis::RedPicture picture = Photo();
    analysis::BestDeltaRequest request;
    request.bpp = 1.0;
    request.rule = analysis::RuleKind::Norm;
    request.level = analysis::PictureLevelOf(picture.width) - 5;
    request.threads = 2;
    const int threadsBefore = TransformThreads();
    SetTransformThreads(1);  // as best-delta: the Deltas side by side, each transform on one thread
    double load = 0;
    if (getloadavg(&load, 1) == 1) state.counters["load_at_start"] = load;
    for (auto _ : state) benchmark::DoNotOptimize(analysis::FindBestDeltaFor(picture, request).bestDelta);
    SetTransformThreads(threadsBefore);
}
BENCHMARK(BM_BestDelta512)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
