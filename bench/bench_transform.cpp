// Level change on a 1025 x 1025 picture (camera-512 scaled up): decomposition 10 -> 2,
// reconstruction 2 -> 10 and the reduced-picture rendering, all into memory surfaces.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "blac/State.h"
#include "mra/LevelChange.h"
#include "mra/Rendering.h"
#include "tools/MemoryFrontend.h"

using namespace tesora;

namespace {

constexpr int kSide = kMaxSide;

// Red values of an 8-bit palette BMP, top row first; a deterministic pattern if the
// file cannot be read, so the bench still measures the same amount of work.
std::vector<int> ReadPicture(int& width, int& height) {
    std::ifstream file(std::string(TESORA_SOURCE_DIR) + "/samples/camera-512.bmp", std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
    };
    if (b.size() > 54 && b[0] == 'B' && b[1] == 'M' && (b[28] | b[29] << 8) == 8) {
        width = static_cast<int>(u32(18));
        height = static_cast<int>(u32(22));
        const std::size_t offset = u32(10), palette = 14 + u32(14), row = (static_cast<std::size_t>(width) + 3) / 4 * 4;
        if (b.size() >= offset + row * static_cast<std::size_t>(height)) {
            std::vector<int> v(static_cast<std::size_t>(width) * height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    v[static_cast<std::size_t>(y) * width + x] =
                        b[palette + 4 * b[offset + static_cast<std::size_t>(height - 1 - y) * row + x] + 2];
            return v;
        }
    }
    width = height = 512;
    std::vector<int> v(512 * 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) v[static_cast<std::size_t>(y) * 512 + x] = (x * 7 + y * 13) % 256;
    return v;
}

struct Setup {
    MemoryFrontend frontend;
    std::vector<double> picture;     // CoeffMatrix at level 10
    std::vector<double> decomposed;  // CoeffMatrix at level 2

    Setup() {
        StartProgram();
        int w = 0, h = 0;
        const std::vector<int> source = ReadPicture(w, h);
        picture.assign(static_cast<std::size_t>(kSide) * kSide, 0.0);
        // Nearest-neighbour enlargement to the full level-10 square.
        for (int i = 0; i < kSide; ++i)
            for (int j = 0; j < kSide; ++j)
                picture[static_cast<std::size_t>(i) * kSide + j] =
                    source[static_cast<std::size_t>(j * h / kSide) * w + i * w / kSide];
        frontend.bild.Resize(kSide, kSide);
        frontend.reduced.Resize(kSide, kSide);
        PictureWidth = PictureHeight = kSide;
        PictureLevel = 10;
        LoadPicture();
        DecomposeAll();
        decomposed.assign(CoeffMatrix.Data(), CoeffMatrix.Data() + picture.size());
    }
    void LoadPicture() {
        std::copy(picture.begin(), picture.end(), CoeffMatrix.Data());
        CurrentLevel = 10;
    }
    // Untimed: the picture loaded again and the texts of the last run forgotten.
    void RestartUntimed(benchmark::State& state) {
        state.PauseTiming();
        LoadPicture();
        ForgetTexts();
        state.ResumeTiming();
    }
    // Both passes of every level, 10 down to 2, painting every line.
    void DecomposeAll() {
        for (int L = 9; L >= 2; --L) {
            CurrentLevel = L;
            DecomposeLevel(frontend, L);
        }
    }
    void LoadDecomposed() {
        std::copy(decomposed.begin(), decomposed.end(), CoeffMatrix.Data());
        CurrentLevel = 2;
    }
    void ForgetTexts() {
        frontend.statusHistory.clear();
        frontend.reducedStatusHistory.clear();
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

// Arguments: the Delta track bar position and the transform threads.
void SetDelta(benchmark::State& state) {
    Delta = DeltaFromPosition(static_cast<int>(state.range(0)));
    RebuildWaveletCoeffs();
    SetTransformThreads(static_cast<int>(state.range(1)));
}

// Both passes of every level, painting every line; no rendering.
void BM_Decompose10To2(benchmark::State& state) {
    Setup& s = Shared();
    SetDelta(state);
    for (auto _ : state) {
        s.RestartUntimed(state);
        s.DecomposeAll();
        benchmark::DoNotOptimize(CoeffMatrix.Data());
    }
}

void BM_Reconstruct2To10(benchmark::State& state) {
    Setup& s = Shared();
    SetDelta(state);
    for (auto _ : state) {
        state.PauseTiming();
        s.LoadDecomposed();
        state.ResumeTiming();
        for (int L = 2; L <= 9; ++L) {
            ReconstructLevel(s.frontend, L);
            CurrentLevel = L + 1;
        }
        benchmark::DoNotOptimize(CoeffMatrix.Data());
    }
}

// The whole track bar change 10 -> 2, including the rendering at level 2.
void BM_LevelChange10To2(benchmark::State& state) {
    Setup& s = Shared();
    SetDelta(state);
    for (auto _ : state) {
        s.RestartUntimed(state);
        LevelChange(s.frontend, 2);
    }
}

void BM_Render(benchmark::State& state) {
    Setup& s = Shared();
    Delta = 0.5;
    RebuildWaveletCoeffs();
    s.LoadDecomposed();
    CurrentLevel = static_cast<int>(state.range(0));
    for (auto _ : state) {
        RenderReducedPicture(s.frontend);
        s.ForgetTexts();
    }
}

// Arguments: Delta position and threads. Wall time decides; the CPU column is the whole
// process's, every thread included.
void OnThreads(benchmark::internal::Benchmark* b) {
    b->ArgNames({"position", "threads"})->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Decompose10To2)->ArgsProduct({{0, 61}, {1, 2}})->Apply(OnThreads);
BENCHMARK(BM_Reconstruct2To10)->ArgsProduct({{0, 61}, {1, 2}})->Apply(OnThreads);
BENCHMARK(BM_LevelChange10To2)->ArgsProduct({{61}, {1, 2}})->Apply(OnThreads);
BENCHMARK(BM_Render)->Arg(2)->Arg(5)->Arg(8)->Arg(9)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
