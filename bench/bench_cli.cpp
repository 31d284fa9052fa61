// tesora-cli as scripts use it: whole processes, start to exit, on a 1025 x 1025
// picture (the largest the program takes), and the same compress in-process to show
// what the process start costs. Every run must exit with status 0.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>
#include <QTextStream>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/Platform.h"

namespace {

const std::string kPicture = "/tmp/tesora-bench-1025.bmp";

// Smooth shading with edges and texture, so Reduce has work of every kind.
void WritePicture() {
    static bool written = false;
    if (written) return;
    QImage picture(1025, 1025, QImage::Format_RGB32);
    for (int y = 0; y < 1025; ++y)
        for (int x = 0; x < 1025; ++x) {
            const int g = ((x + 2 * y) / 9) % 160 + ((x / 128 + y / 96) % 2) * 60 + (x * y) % 17;
            picture.setPixel(x, y, qRgb(g, g, g));
        }
    picture.save(QString::fromStdString(kPicture), "BMP");
    written = true;
}

std::string Binary() { return tesora::platform::ExecutableDirectory() + "/../cli/tesora-cli"; }

// Runs the tool with stdout and stderr to /dev/null; returns its exit status and adds
// the CPU time it used (user + system) to *cpuSeconds: on a shared machine the wall
// time also counts the waits for a core, the CPU time does not.
int Spawn(const std::vector<std::string>& args, double* cpuSeconds) {
    return tesora::platform::RunDiscardingOutput(Binary(), args, cpuSeconds);
}

void RunProcess(benchmark::State& state, const std::vector<std::string>& args) {
    WritePicture();
    double cpuSeconds = 0;
    for (auto _ : state)
        if (Spawn(args, &cpuSeconds) != 0) {
            state.SkipWithError("tesora-cli did not exit with 0");
            break;
        }
    state.counters["child_cpu_ms"] = benchmark::Counter(cpuSeconds * 1e3 / static_cast<double>(state.iterations()));
}

void BM_CompressProcess1025(benchmark::State& state) {
    RunProcess(state, {"compress", kPicture, "--level", "5", "--position", "50", "--epsilon", "5"});
}
BENCHMARK(BM_CompressProcess1025)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_CompressWithOutputsProcess1025(benchmark::State& state) {
    RunProcess(state, {"compress", kPicture, "--level", "5", "--position", "50", "--epsilon", "5", "--approximation",
                       "/tmp/tesora-bench-a.bmp", "--coefficients", "/tmp/tesora-bench-c.png", "--reconstruction",
                       "/tmp/tesora-bench-r.bmp"});
}
BENCHMARK(BM_CompressWithOutputsProcess1025)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_HelpProcess(benchmark::State& state) { RunProcess(state, {"compress", "--help"}); }
BENCHMARK(BM_HelpProcess)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SweepElevenPositionsProcess1025(benchmark::State& state) {
    RunProcess(state, {"sweep", kPicture, "--level", "5", "--epsilon", "5", "--positions", "0:100:10", "--csv",
                       "/tmp/tesora-bench.csv", "--plot", "/tmp/tesora-bench.png"});
}
BENCHMARK(BM_SweepElevenPositionsProcess1025)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The sweep figures: 11 positions with 1 and with 10 Epsilons (one decomposition per
// position serves all 10), serial and with 2 worker processes; and 21 positions with 10
// Epsilons, for what a second worker gains on a longer sweep.
void SweepProcess(benchmark::State& state, const char* epsilons, const char* jobs, const char* positions = "0:100:10") {
    RunProcess(state, {"sweep", kPicture, "--level", "5", "--epsilons", epsilons, "--positions", positions, "--jobs",
                       jobs, "--csv", "/tmp/tesora-bench-sweep.csv"});
}
void BM_SweepElevenByOneJobs1(benchmark::State& state) { SweepProcess(state, "5", "1"); }
void BM_SweepElevenByTenJobs1(benchmark::State& state) { SweepProcess(state, "1:10:1", "1"); }
void BM_SweepElevenByOneJobs2(benchmark::State& state) { SweepProcess(state, "5", "2"); }
void BM_SweepElevenByTenJobs2(benchmark::State& state) { SweepProcess(state, "1:10:1", "2"); }
BENCHMARK(BM_SweepElevenByOneJobs1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SweepElevenByTenJobs1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SweepElevenByOneJobs2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SweepElevenByTenJobs2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
void BM_SweepTwentyOneByTenJobs1(benchmark::State& state) { SweepProcess(state, "1:10:1", "1", "0:100:5"); }
void BM_SweepTwentyOneByTenJobs2(benchmark::State& state) { SweepProcess(state, "1:10:1", "2", "0:100:5"); }
BENCHMARK(BM_SweepTwentyOneByTenJobs1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SweepTwentyOneByTenJobs2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_CompressInProcess1025(benchmark::State& state) {
    WritePicture();
    const QStringList args{
        "tesora-cli", "compress", QString::fromStdString(kPicture), "--level", "5", "--position", "50", "--epsilon",
        "5",          "--json"};
    for (auto _ : state) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        if (tesora::cli::RunCli(args, outStream, errStream) != 0 || !out.contains("\"zero_count\"")) {
            state.SkipWithError("compress failed");
            break;
        }
    }
}
BENCHMARK(BM_CompressInProcess1025)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
