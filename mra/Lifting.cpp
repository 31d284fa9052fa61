#include "mra/Lifting.h"

#include <algorithm>
#include <cmath>

#include "matrix/Error.h"

namespace tesora {
namespace {

// One lifting step on the interleaved line: every odd (predict) or every even (update)
// sample gains left * its left neighbour + right * its right neighbour.
struct LiftStep {
    bool odd;
    double left;
    double right;
};

struct Scheme {
    const LiftStep* steps;
    int count;
    double smoothScale;  // applied to the smoothing values after the steps
    double detailScale;
    // Whole-sample symmetric extension at the ends; without it (Haar, whose filters are
    // not symmetric) a missing neighbour counts 0, so a lone last sample passes unchanged.
    bool mirror;
};

constexpr LiftStep kHaarSteps[] = {{true, -1.0, 0.0}, {false, 0.0, 0.5}};
constexpr LiftStep kCdf53Steps[] = {{true, -0.5, -0.5}, {false, 0.25, 0.25}};
// The factorisation of the 9/7 filters into two predict and two update steps.
constexpr double kAlpha = -1.586134342059924;
constexpr double kBeta = -0.052980118572961;
constexpr double kGamma = 0.882911075530934;
constexpr double kDelta = 0.443506852043971;
constexpr double kK = 1.230174104914001;
constexpr LiftStep kCdf97Steps[] = {
    {true, kAlpha, kAlpha}, {false, kBeta, kBeta}, {true, kGamma, kGamma}, {false, kDelta, kDelta}};

const Scheme& SchemeOf(Basis basis) {
    static const Scheme haar{kHaarSteps, 2, 1.0, 1.0, false};
    static const Scheme cdf53{kCdf53Steps, 2, 1.0, 1.0, true};
    static const Scheme cdf97{kCdf97Steps, 4, 1.0 / kK, kK, true};
    switch (basis) {
        case Basis::Haar: return haar;
        case Basis::Cdf53: return cdf53;
        case Basis::Cdf97: return cdf97;
        case Basis::Blac: break;
    }
    throw Error("BLaC wird nicht durch Lifting zerlegt.", "BLaC is not decomposed by lifting.");
}

// One lifting step on n >= 2 samples. The ends, whose neighbours come from the extension,
// are taken apart, so the loop between them runs without tests.
void Apply(const LiftStep& step, double sign, bool mirror, double* x, int n) {
    const double left = sign * step.left, right = sign * step.right;
    const auto end = [&](int i) {
        const double l = i > 0 ? x[i - 1] : (mirror ? x[1] : 0.0);
        const double r = i + 1 < n ? x[i + 1] : (mirror ? x[i - 1] : 0.0);
        x[i] += left * l + right * r;
    };
    int i = step.odd ? 1 : 0;
    if (i == 0) {
        end(0);
        i = 2;
    }
    for (; i + 1 < n; i += 2) x[i] += left * x[i - 1] + right * x[i + 1];
    if (i < n) end(i);
}

}  // namespace

const char* BasisName(Basis basis) {
    switch (basis) {
        case Basis::Blac: return "blac";
        case Basis::Haar: return "haar";
        case Basis::Cdf53: return "cdf53";
        case Basis::Cdf97: return "cdf97";
    }
    return "";
}

std::optional<Basis> ParseBasis(std::string_view name) {
    for (Basis b : {Basis::Blac, Basis::Haar, Basis::Cdf53, Basis::Cdf97})
        if (name == BasisName(b)) return b;
    return std::nullopt;
}

void LiftForward(Basis basis, double* line, int n, double* scratch) {
    const Scheme& scheme = SchemeOf(basis);
    if (n < 2) return;  // a single sample is its own smoothing value
    std::copy_n(line, n, scratch);
    for (int s = 0; s < scheme.count; ++s) Apply(scheme.steps[s], 1.0, scheme.mirror, scratch, n);
    // Even samples become the smoothing values, odd ones the details after them.
    const int smooth = (n + 1) / 2;
    for (int m = 0; m < smooth; ++m) line[m] = scratch[2 * m] * scheme.smoothScale;
    for (int m = 0; m < n / 2; ++m) line[smooth + m] = scratch[2 * m + 1] * scheme.detailScale;
}

void LiftInverse(Basis basis, double* line, int n, double* scratch) {
    const Scheme& scheme = SchemeOf(basis);
    if (n < 2) return;
    const int smooth = (n + 1) / 2;
    for (int m = 0; m < smooth; ++m) scratch[2 * m] = line[m] / scheme.smoothScale;
    for (int m = 0; m < n / 2; ++m) scratch[2 * m + 1] = line[smooth + m] / scheme.detailScale;
    for (int s = scheme.count - 1; s >= 0; --s) Apply(scheme.steps[s], -1.0, scheme.mirror, scratch, n);
    std::copy_n(scratch, n, line);
}

std::vector<int> SmoothingCounts(int n, int steps) {
    std::vector<int> counts{n};
    for (int s = 0; s < steps; ++s) counts.push_back((counts.back() + 1) / 2);
    return counts;
}

namespace {

// Lines that run across the memory (their samples `stride` apart) are lifted eight at a
// time through a block that stays in the cache: the copies in and out read and write eight
// neighbouring lines per cache line, where one line alone would use one sample of each.
// Each line's arithmetic is the same as in place.
constexpr int kGroup = 8;

struct Buffers {
    std::vector<double> scratch;
    std::vector<double> block;
};

template <typename Lift>
void AcrossLines(double* data, std::size_t stride, int n, int lines, Buffers& buffers, Lift lift) {
    double* block = buffers.block.data();
    const auto length = static_cast<std::size_t>(n);
    for (int j0 = 0; j0 < lines; j0 += kGroup) {
        const auto g = static_cast<std::size_t>(std::min(kGroup, lines - j0));
        for (std::size_t i = 0; i < length; ++i) {
            const double* from = data + i * stride + static_cast<std::size_t>(j0);
            for (std::size_t k = 0; k < g; ++k) block[k * length + i] = from[k];
        }
        for (std::size_t k = 0; k < g; ++k) lift(block + k * length, buffers.scratch.data());
        for (std::size_t i = 0; i < length; ++i) {
            double* to = data + i * stride + static_cast<std::size_t>(j0);
            for (std::size_t k = 0; k < g; ++k) to[k] = block[k * length + i];
        }
    }
}

// One step on the block w x h: along i for every j, then along j for every i.
void StepForward(Basis basis, double* data, std::size_t stride, int w, int h, Buffers& buffers) {
    AcrossLines(data, stride, w, h, buffers, [&](double* line, double* s) { LiftForward(basis, line, w, s); });
    for (int i = 0; i < w; ++i)
        LiftForward(basis, data + static_cast<std::size_t>(i) * stride, h, buffers.scratch.data());
}

void StepInverse(Basis basis, double* data, std::size_t stride, int w, int h, Buffers& buffers) {
    for (int i = 0; i < w; ++i)
        LiftInverse(basis, data + static_cast<std::size_t>(i) * stride, h, buffers.scratch.data());
    AcrossLines(data, stride, w, h, buffers, [&](double* line, double* s) { LiftInverse(basis, line, w, s); });
}

Buffers BuffersFor(int width, int rows) {
    const auto longest = static_cast<std::size_t>(std::max(width, rows));
    return Buffers{std::vector<double>(longest), std::vector<double>(kGroup * longest)};
}

}  // namespace

void LiftDecompose(Basis basis, double* data, std::size_t stride, int width, int rows, int steps) {
    SchemeOf(basis);
    const std::vector<int> w = SmoothingCounts(width, steps), h = SmoothingCounts(rows, steps);
    Buffers buffers = BuffersFor(width, rows);
    for (std::size_t s = 0; s < static_cast<std::size_t>(steps); ++s)
        StepForward(basis, data, stride, w[s], h[s], buffers);
}

void LiftReconstruct(Basis basis, double* data, std::size_t stride, int width, int rows, int steps) {
    SchemeOf(basis);
    const std::vector<int> w = SmoothingCounts(width, steps), h = SmoothingCounts(rows, steps);
    Buffers buffers = BuffersFor(width, rows);
    for (std::size_t s = static_cast<std::size_t>(steps); s-- > 0;)
        StepInverse(basis, data, stride, w[s], h[s], buffers);
}

std::vector<std::vector<double>> LiftNorms(Basis basis, int n, int steps) {
    SchemeOf(basis);
    const std::vector<int> counts = SmoothingCounts(n, steps);
    std::vector<std::vector<double>> norms;
    std::vector<double> line(static_cast<std::size_t>(n)), scratch(static_cast<std::size_t>(n));
    for (int s = 1; s <= steps; ++s) {
        const int length = counts[static_cast<std::size_t>(s - 1)];
        std::vector<double> level(static_cast<std::size_t>(length));
        for (int c = 0; c < length; ++c) {
            std::fill(line.begin(), line.end(), 0.0);
            line[static_cast<std::size_t>(c)] = 1.0;
            for (std::size_t t = static_cast<std::size_t>(s); t >= 1; --t)
                LiftInverse(basis, line.data(), counts[t - 1], scratch.data());
            double sum = 0.0;
            for (const double v : line) sum += v * v;
            level[static_cast<std::size_t>(c)] = std::sqrt(sum);
        }
        norms.push_back(std::move(level));
    }
    return norms;
}

}  // namespace tesora
