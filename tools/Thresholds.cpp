// The threshold rules on a decomposed square: the basis functions' norms, zeroing by
// rule (in place or into a copy), the own details' zeros and the Epsilon for a target.
#include <algorithm>
#include <bit>
#include <cmath>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "mra/ChunkKernels.h"
#include "tools/AnalysisParts.h"
#include "tools/Reduction.h"

namespace tesora::analysis {
namespace {

using parts::Pow2;

// The threshold of band index b and its level under the rule.
double ThresholdOf(const Rule& rule, const Layout& layout, int level) {
    if (rule.kind != RuleKind::Levels) return rule.epsilon;
    return rule.epsilons.at(static_cast<std::size_t>(level - layout.level));
}

// Level of the step whose block holds index i first (C for the smoothing indices).
int LevelOfIndex(int i, int level) {
    int k = level;
    while (i > Pow2(k + 1)) ++k;
    return k;
}

TESORA_WIDE_VECTORS
int ThresholdWeighted(const double* __restrict src, double* __restrict dst, int from, int to, double threshold,
                      double rowWeight, const double* __restrict columnWeights) {
    int count = 0;
    for (int j = from; j <= to; ++j) {
        const bool small = std::fabs(src[j]) * (rowWeight * columnWeights[j]) < threshold;
        dst[j] = small ? 0.0 : src[j];
        count += small;
    }
    return count;
}

TESORA_WIDE_VECTORS
long long ZerosIn(const double* __restrict row, int from, int count) {
    int zeros = 0;
    for (int j = from; j < from + count; ++j) zeros += row[j] == 0.0;
    return zeros;
}

// The `rank`-th smallest (1-based) of non-negative, non-NaN doubles given by their bit
// patterns, which order as the values do: a histogram of the top 16 bits picks the
// bucket that holds it, and only that bucket is ordered. Scrambles `bits`.
double NthSmallest(std::vector<std::uint64_t>& bits, std::size_t rank) {
    constexpr int kShift = 48;
    std::vector<std::size_t> counts(std::size_t{1} << (64 - kShift), 0);
    for (const std::uint64_t b : bits) ++counts[b >> kShift];
    std::size_t bucket = 0, below = 0;
    while (below + counts[bucket] < rank) below += counts[bucket++];
    std::size_t kept = 0;
    for (const std::uint64_t b : bits)
        if ((b >> kShift) == bucket) bits[kept++] = b;
    const auto at = bits.begin() + static_cast<std::ptrdiff_t>(rank - below - 1);
    std::nth_element(bits.begin(), at, bits.begin() + static_cast<std::ptrdiff_t>(kept));
    return std::bit_cast<double>(*at);
}

}  // namespace

void parts::CheckEpsilonsFit(const Rule& rule, const Layout& layout) {
    if (rule.kind == RuleKind::Levels &&
        rule.epsilons.size() != static_cast<std::size_t>(layout.pictureLevel - layout.level))
        throw Error("Die Regel levels braucht " + FormatD(layout.pictureLevel - layout.level) + " Epsilon.",
                    "The rule levels needs " + FormatD(layout.pictureLevel - layout.level) + " epsilons.");
}

void parts::CheckZerosTarget(RuleKind kind) {
    if (kind == RuleKind::Levels)
        throw Error("Ein Ziel für die Nullen gibt es nur mit flat und norm.",
                    "A target for the zeros exists only with flat and norm.");
}

void parts::CheckRuleFits(const Rule& rule, const Layout& layout, const Norms* norms) {
    CheckEpsilonsFit(rule, layout);
    if (rule.kind == RuleKind::Norm && (norms == nullptr || norms->level != layout.level))
        throw Error("Die Regel norm braucht die Normen des Levels.", "The rule norm needs the norms of the level.");
}

RuleResult parts::CopyWithRule(const Coefficients& from, Coefficients& to, const Layout& layout, const Rule& rule,
                               const Norms* norms) {
    RuleResult result;
    result.epsilon = rule.kind == RuleKind::Levels ? NAN : rule.epsilon;
    to.pictureLevel = from.pictureLevel;
    to.level = from.level;
    to.side = from.side;
    to.values.resize(from.values.size());
    const int side = layout.side, smooth = Pow2(layout.level);
    const bool weighted = rule.kind == RuleKind::Norm;
    for (int i = 0; i < side; ++i) {
        const double* src = from.values.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(side);
        double* dst = to.values.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(side);
        if (i <= smooth) std::copy(src, src + smooth + 1, dst);
        for (int k = LevelOfIndex(i, layout.level); k < layout.pictureLevel; ++k) {
            const int n = Pow2(k);
            const int first = i <= n ? n + 1 : 0;
            const double threshold = ThresholdOf(rule, layout, k);
            const double* columnWeights =
                weighted ? norms->norms[static_cast<std::size_t>(k - layout.level)].data() : nullptr;
            const double rowWeight = weighted ? columnWeights[i] : 1.0;
            result.zeroCount += weighted
                                    ? ThresholdWeighted(src, dst, first, 2 * n, threshold, rowWeight, columnWeights)
                                    : ThresholdFlat(src, dst, first, 2 * n, threshold);
            const Layout::OwnRuns& runs = layout.ownRuns[static_cast<std::size_t>(k - layout.level)];
            const bool ownX = i <= n ? i < runs.smoothX : i - n - 1 < runs.detailX;
            if (!ownX) continue;
            if (i > n) {
                result.ownZeros += ZerosIn(dst, 0, runs.smoothY);
                result.ownDetails += runs.smoothY;
            }
            result.ownZeros += ZerosIn(dst, n + 1, runs.detailY);
            result.ownDetails += runs.detailY;
        }
    }
    return result;
}

Norms NormsOf(const Filters& filters, int pictureLevel, int level, Synthesis synthesis) {
    parts::CheckLevels(pictureLevel, level);
    Norms result;
    result.level = level;
    result.norms = FunctionNorms(filters, pictureLevel, level, synthesis);
    return result;
}

OwnCount CountOwnDetails(const MatrixView& square, const Layout& layout) {
    OwnCount own;
    const auto zerosIn = [&](const double* row, int from, int count) {
        own.zeros += ZerosIn(row, from, count);
        own.details += count;
    };
    for (int k = layout.level; k < layout.pictureLevel; ++k) {
        const int n = Pow2(k);
        const Layout::OwnRuns& runs = layout.ownRuns[static_cast<std::size_t>(k - layout.level)];
        for (int i = 0; i < runs.smoothX; ++i) zerosIn(square.Row(static_cast<std::size_t>(i)), n + 1, runs.detailY);
        for (int i = n + 1; i < n + 1 + runs.detailX; ++i) {
            const double* row = square.Row(static_cast<std::size_t>(i));
            zerosIn(row, 0, runs.smoothY);
            zerosIn(row, n + 1, runs.detailY);
        }
    }
    return own;
}

double OwnZeroShare(long long zeros, long long details) {
    return details == 0 ? NAN : static_cast<double>(zeros) * 100.0 / static_cast<double>(details);
}

RuleResult ApplyRule(const MatrixView& square, const Layout& layout, const Rule& rule, const Norms* norms,
                     PictureSurface* markers) {
    RuleResult result;
    parts::CheckRuleFits(rule, layout, norms);
    result.epsilon = rule.kind == RuleKind::Levels ? NAN : rule.epsilon;
    if (rule.kind == RuleKind::Flat) {
        // "Reduce" itself, so both roads share every bit of it.
        MemorySurface none;
        result.zeroCount = ZeroSmallDetails(square, {layout.side - 1, Pow2(layout.level), rule.epsilon},
                                            markers != nullptr ? *markers : none);
    } else {
        const std::uint32_t marker = PictureSurface::ToWord(kMarkerRed);
        for (int k = layout.level; k < layout.pictureLevel; ++k) {
            const int n = Pow2(k);
            const double threshold = ThresholdOf(rule, layout, k);
            for (int i = 0; i <= 2 * n; ++i) {
                double* row = square.Row(static_cast<std::size_t>(i));
                for (int j = (i <= n ? n + 1 : 0); j <= 2 * n; ++j) {
                    const double weight = rule.kind == RuleKind::Norm ? norms->Weight(k, i, j) : 1.0;
                    if (!(std::fabs(row[j]) * weight < threshold)) continue;
                    row[j] = 0.0;
                    ++result.zeroCount;
                    if (markers != nullptr && markers->Contains(i, j)) markers->ScanLine(j)[i] = marker;
                }
            }
        }
    }
    const OwnCount own = CountOwnDetails(square, layout);
    result.ownZeros = own.zeros;
    result.ownDetails = own.details;
    return result;
}

RuleResult ApplyRule(Coefficients& square, const Layout& layout, const Rule& rule, const Norms* norms) {
    return ApplyRule(square.View(), layout, rule, norms, nullptr);
}

double EpsilonForZeros(const Coefficients& square, const Layout& layout, RuleKind kind, const Norms* norms,
                       double percent) {
    parts::CheckZerosTarget(kind);
    if (kind == RuleKind::Norm && (norms == nullptr || norms->level != layout.level))
        throw Error("Die Regel norm braucht die Normen des Levels.", "The rule norm needs the norms of the level.");
    long long details = 0;
    for (int k = layout.level; k < layout.pictureLevel; ++k) {
        const Layout::OwnRuns& r = layout.ownRuns[static_cast<std::size_t>(k - layout.level)];
        details +=
            static_cast<long long>(r.smoothX) * r.detailY + static_cast<long long>(r.detailX) * (r.smoothY + r.detailY);
    }
    if (details == 0) return 0.0;
    OwnScores scores;  // Add counts every own detail again
    scores.bits.reserve(static_cast<std::size_t>(details));
    const bool weighted = kind == RuleKind::Norm;
    parts::ForEachOwn(layout, true, [&](std::uint8_t band, int i, int j) {
        const double weight = weighted ? norms->Weight(layout.bands[band].level, i, j) : 1.0;
        scores.Add(std::fabs(square.At(i, j)) * weight);
    });
    return EpsilonForScores(std::move(scores), percent);
}

double EpsilonForScores(OwnScores scores, double percent) {
    const long long details = scores.details;
    if (details == 0) return 0.0;
    // The fewest zeros whose share, computed as it is reported, reaches the target.
    const auto share = [details](long long zeros) { return OwnZeroShare(zeros, details); };
    auto needed = static_cast<long long>(std::ceil(percent * static_cast<double>(details) / 100.0));
    needed = std::clamp<long long>(needed, 1, details);
    while (needed > 1 && share(needed - 1) >= percent) --needed;
    while (needed < details && share(needed) < percent) ++needed;
    const auto count = static_cast<long long>(scores.bits.size());
    if (count == 0) return 0.0;
    needed = std::min(needed, count);
    // Everything up to and including that score falls below the next double: equal
    // magnitudes go together, and the same Epsilon given again picks the same set.
    return std::nextafter(NthSmallest(scores.bits, static_cast<std::size_t>(needed)), INFINITY);
}

}  // namespace tesora::analysis
