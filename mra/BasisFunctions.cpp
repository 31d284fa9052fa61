// Unit coefficient vectors, kChunk at a time, synthesised level by level with zero
// details above the step they belong to.
#include "mra/BasisFunctions.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "matrix/Error.h"
#include "mra/ChunkKernels.h"
#include "mra/ExactSynthesis.h"

namespace tesora {

const char* SynthesisName(Synthesis synthesis) { return synthesis == Synthesis::Exact ? "exact" : "specified"; }

std::optional<Synthesis> ParseSynthesis(std::string_view name) {
    if (name == "specified") return Synthesis::Specified;
    if (name == "exact") return Synthesis::Exact;
    return std::nullopt;
}

void ForEachFunction(const Filters& filters, int pictureLevel, int level, Synthesis synthesis,
                     const FunctionVisitor& visit) {
    if (pictureLevel > 10 || level < 2 || level > pictureLevel)
        throw Error(
            "Level " + std::to_string(level) + " liegt außerhalb von 2 bis " + std::to_string(pictureLevel) + ".",
            "Level " + std::to_string(level) + " lies outside 2 ... " + std::to_string(pictureLevel) + ".");
    std::vector<ExactSynthesis> exact;
    if (synthesis == Synthesis::Exact) {
        exact.resize(static_cast<std::size_t>(pictureLevel - level));
        for (int j = level; j < pictureLevel; ++j) exact[static_cast<std::size_t>(j - level)].Prepare(filters, j);
    }
    const std::size_t fine = (std::size_t{1} << pictureLevel) + 1;
    std::vector<double> a(fine * kChunk), b(fine * kChunk);
    for (int k = level; k < pictureLevel; ++k) {
        const int lines = (2 << k) + 1;
        for (int c0 = 0; c0 < lines; c0 += static_cast<int>(kChunk)) {
            const auto count = std::min<std::size_t>(kChunk, static_cast<std::size_t>(lines - c0));
            std::fill(a.begin(), a.end(), 0.0);
            for (std::size_t m = 0; m < count; ++m) a[(static_cast<std::size_t>(c0) + m) * kChunk + m] = 1.0;
            for (int j = k; j < pictureLevel; ++j) {
                const int n = 1 << j;
                if (synthesis == Synthesis::Exact)
                    exact[static_cast<std::size_t>(j - level)].Chunk(a.data(), kChunk, b.data(), kChunk, count);
                else
                    SynthesiseChunk(filters, n, a.data(), kChunk, b.data(), kChunk, count);
                std::swap(a, b);
                // The next step's details are zero.
                std::fill(a.begin() + static_cast<std::ptrdiff_t>((2 * static_cast<std::size_t>(n) + 1) * kChunk),
                          a.end(), 0.0);
            }
            visit(k, c0, count, a.data());
        }
    }
}

std::vector<std::vector<double>> FunctionNorms(const Filters& filters, int pictureLevel, int level,
                                               Synthesis synthesis) {
    const double diagonal = 1.0 - filters.delta / 3.0;
    const double beside = filters.delta / 6.0;
    const std::size_t fine = (std::size_t{1} << pictureLevel) + 1;
    std::vector<std::vector<double>> result;
    ForEachFunction(filters, pictureLevel, level, synthesis, [&](int k, int c0, std::size_t count, const double* a) {
        const auto step = static_cast<std::size_t>(k - level);
        if (result.size() <= step) result.emplace_back((2u << k) + 1, 0.0);
        for (std::size_t m = 0; m < count; ++m) {
            double squares = 0.0, products = 0.0;
            for (std::size_t i = 0; i < fine; ++i) {
                const double v = a[i * kChunk + m];
                squares += v * v;
                if (i + 1 < fine) products += v * a[(i + 1) * kChunk + m];
            }
            result[step][static_cast<std::size_t>(c0) + m] = std::sqrt(diagonal * squares + 2.0 * beside * products);
        }
    });
    return result;
}

Reach ReachOf(const Filters& filters, int pictureLevel, int level, Synthesis synthesis, int width, int height) {
    Reach reach;
    reach.level = level;
    const std::size_t fine = (std::size_t{1} << pictureLevel) + 1;
    const auto share = [fine](const double* v, std::size_t m, int extent) {
        double inside = 0.0, all = 0.0;
        for (std::size_t i = 0; i < fine; ++i) {
            const double a = std::fabs(v[i * kChunk + m]);
            all = std::max(all, a);
            if (i < static_cast<std::size_t>(std::max(extent, 0))) inside = std::max(inside, a);
        }
        return all > 0 ? inside / all : 0.0;
    };
    ForEachFunction(filters, pictureLevel, level, synthesis, [&](int k, int c0, std::size_t count, const double* v) {
        const auto step = static_cast<std::size_t>(k - level);
        if (reach.x.size() <= step) {
            reach.x.emplace_back((2u << k) + 1, 0.0);
            reach.y.emplace_back((2u << k) + 1, 0.0);
        }
        for (std::size_t m = 0; m < count; ++m) {
            reach.x[step][static_cast<std::size_t>(c0) + m] = share(v, m, width);
            reach.y[step][static_cast<std::size_t>(c0) + m] = share(v, m, height);
        }
    });
    return reach;
}

bool IsCoded(Synthesis synthesis, double shareX, double shareY) {
    if (synthesis == Synthesis::Specified) return shareX > 0 && shareY > 0;
    return shareX * shareY >= kCodedShare;
}

bool IsCoded(const Reach& reach, Synthesis synthesis, int i, int j) {
    int k = reach.level;
    while (std::max(i, j) > (2 << k)) ++k;
    const auto step = static_cast<std::size_t>(k - reach.level);
    return IsCoded(synthesis, reach.x[step][static_cast<std::size_t>(i)], reach.y[step][static_cast<std::size_t>(j)]);
}

}  // namespace tesora
