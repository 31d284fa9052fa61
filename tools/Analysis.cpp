#include "tools/Analysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <memory>

#include "blac/Bank.h"
#include "blac/Blocks.h"
#include "blac/Coefficients.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "mra/ChunkKernels.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora::analysis {
namespace {

// The kernels report and paint through a frontend; on this road nobody looks. Empty
// surfaces make every painting loop return at once.
class SilentFrontend : public Frontend {
public:
    PictureSurface& Bild() override { return none_; }
    PictureSurface& Reduced() override { return none_; }
    void SetStatus(const std::string&) override {}
    void SetReducedStatus(const std::string&) override {}
    void SetLabel(Label, const std::string&) override {}
    void SetEnabled(Control, bool) override {}
    void SetDeltaPosition(int) override {}
    void SetLevelRange(int) override {}
    void ReloadOriginal() override {}

private:
    MemorySurface none_;
};

int Pow2(int k) { return 1 << k; }

// Grid point on the finest grid of index c of the step to level k (see LayoutOf).
long long GridPoint(int pictureLevel, int k, int c) {
    const int n = Pow2(k);
    return c <= n ? static_cast<long long>(c) << (pictureLevel - k)
                  : static_cast<long long>(2 * (c - n - 1) + 1) << (pictureLevel - k - 1);
}

void CheckSquare(const Coefficients& square, int level) {
    if (square.pictureLevel < 2 || square.pictureLevel > kMaxLevel)
        throw Error("Das Bild hat Level " + FormatD(square.pictureLevel) + "; zerlegt wird ab Level 2.");
    if (level < 2 || level > square.pictureLevel)
        throw Error("Level " + FormatD(level) + " liegt außerhalb von 2 bis " + FormatD(square.pictureLevel) + ".");
}

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

// dst = src with the rule applied, in one pass (a row's copy would cost as much as the
// rule). Zeroes as ApplyRule does, to the bit; counts every zeroed element and the own
// details' zeros.
TESORA_WIDE_VECTORS
int ThresholdFlat(const double* __restrict src, double* __restrict dst, int from, int to, double threshold) {
    int count = 0;
    for (int j = from; j <= to; ++j) {
        const bool small = std::fabs(src[j]) < threshold;
        dst[j] = small ? 0.0 : src[j];
        count += small;
    }
    return count;
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

RuleResult CopyWithRule(const Coefficients& from, Coefficients& to, const Layout& layout, const Rule& rule,
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
            const double* columnWeights = weighted ? norms->norms[static_cast<std::size_t>(k - layout.level)].data() : nullptr;
            const double rowWeight = weighted ? columnWeights[i] : 1.0;
            result.zeroCount += weighted ? ThresholdWeighted(src, dst, first, 2 * n, threshold, rowWeight, columnWeights)
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

// One column of a reconstruction against the file. Whole-number sums fit 32 bits for a
// column of at most 1025 values (255^2 * 1025 < 2^31), which lets them run in vectors.
struct ColumnSums {
    long long absolute, squared, rebuilt, file;
    double exact;
};
TESORA_WIDE_VECTORS
ColumnSums MeasureColumn(const double* __restrict values, const std::uint8_t* __restrict file, int rows) {
    // In separate simple loops, each of which the compiler runs in vectors.
    std::int32_t bytes[kMaxSide], original[kMaxSide];
    for (int y = 0; y < rows; ++y) bytes[y] = ClampToByte(values[y]);
    for (int y = 0; y < rows; ++y) original[y] = file[y];
    std::int32_t a = 0, s = 0, r = 0, f = 0;
    for (int y = 0; y < rows; ++y) {
        const std::int32_t difference = bytes[y] - original[y];
        a += difference < 0 ? -difference : difference;
        s += difference * difference;
        r += bytes[y] * bytes[y];
        f += original[y] * original[y];
    }
    // Four partial sums of the doubles, y modulo 4.
    double e0 = 0, e1 = 0, e2 = 0, e3 = 0;
    int y = 0;
    for (; y + 4 <= rows; y += 4) {
        const double d0 = values[y] - original[y], d1 = values[y + 1] - original[y + 1];
        const double d2 = values[y + 2] - original[y + 2], d3 = values[y + 3] - original[y + 3];
        e0 += d0 * d0, e1 += d1 * d1, e2 += d2 * d2, e3 += d3 * d3;
    }
    double rest[4] = {e0, e1, e2, e3};
    for (; y < rows; ++y) {
        const double d = values[y] - original[y];
        rest[y & 3] += d * d;
    }
    return {a, s, r, f, (rest[0] + rest[1]) + (rest[2] + rest[3])};
}

}  // namespace

int PictureLevelOf(int width) { return LevelForWidth(width); }

int TransformedRows(const RedPicture& picture) {
    return std::min(picture.height, Pow2(PictureLevelOf(picture.width)) + 1);
}

Coefficients ReadPicture(const RedPicture& picture) {
    Coefficients square;
    square.pictureLevel = PictureLevelOf(picture.width);
    if (picture.width > kMaxSide || square.pictureLevel > kMaxLevel)
        throw Error("Bild zu breit: höchstens " + FormatD(kMaxSide) + " Pixel!");
    if (picture.red.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
        throw Error("Die Rotwerte passen nicht zur Größe des Bildes.");
    square.level = square.pictureLevel;
    square.side = Pow2(square.pictureLevel) + 1;
    square.values.assign(static_cast<std::size_t>(square.side) * static_cast<std::size_t>(square.side), 0.0);
    const int rows = std::min(picture.height, square.side);
    for (int x = 0; x < picture.width; ++x) {
        double* row = square.values.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(square.side);
        for (int y = 0; y < rows; ++y) row[y] = picture.At(x, y);
    }
    return square;
}

Filters FiltersOf(double delta) {
    Filters f;
    f.delta = delta;
    Matrix left = LeftBlock(delta), inner = InnerBlock(delta), right = RightBlock(delta);
    const auto l = CalcKoeff(left, delta, 3, kLeftWavelet);
    const auto w = CalcKoeff(inner, delta, 4, kInnerWavelet);
    const auto r = CalcKoeff(right, delta, 3, kRightWavelet);
    if (!l || !w || !r) throw Error("Die Filter für Delta " + FormatG(delta) + " sind nicht bestimmbar.");
    std::copy(l.get(), l.get() + 4, f.left);
    std::copy(w.get(), w.get() + 5, f.inner);
    std::copy(r.get(), r.get() + 4, f.right);
    f.oneMinusHalfDelta = 1 - delta * 0.5;
    f.halfDelta = 1 - f.oneMinusHalfDelta;
    return f;
}

void Decompose(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace) {
    CheckSquare(square, level);
    if (level > square.level) throw Error("Die Zerlegung geht nur abwärts.");
    SilentFrontend silent;
    const MatrixView view = square.View();
    while (square.level > level) {
        --square.level;
        DecomposeLevel(StepAt(square.level), filters, view, silent, workspace);
    }
}

void Reconstruct(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace) {
    CheckSquare(square, level);
    if (level < square.level) throw Error("Die Rekonstruktion geht nur aufwärts.");
    SilentFrontend silent;
    const MatrixView view = square.View();
    while (square.level < level) {
        ReconstructLevel(StepAt(square.level), filters, view, silent, workspace);
        ++square.level;
    }
}

Coefficients DecomposePicture(const RedPicture& picture, const Filters& filters, int level,
                              TransformWorkspace& workspace) {
    Coefficients square = ReadPicture(picture);
    Decompose(square, filters, level, workspace);
    return square;
}

const char* BandKindName(BandKind kind) {
    switch (kind) {
        case BandKind::Smoothing: return "smoothing";
        case BandKind::Row: return "row";
        case BandKind::Column: return "column";
        case BandKind::Both: return "both";
    }
    return "";
}

Layout LayoutOf(int pictureLevel, int level, int width, int height) {
    if (pictureLevel < 2 || pictureLevel > kMaxLevel || level < 2 || level > pictureLevel)
        throw Error("Level " + FormatD(level) + " liegt außerhalb von 2 bis " + FormatD(pictureLevel) + ".");
    Layout layout;
    layout.pictureLevel = pictureLevel;
    layout.level = level;
    layout.side = Pow2(pictureLevel) + 1;
    layout.width = width;
    layout.height = height;
    layout.bands.push_back({level, BandKind::Smoothing});
    for (int k = level; k < pictureLevel; ++k)
        for (BandKind kind : {BandKind::Row, BandKind::Column, BandKind::Both}) layout.bands.push_back({k, kind});
    const auto elements = static_cast<std::size_t>(layout.side) * static_cast<std::size_t>(layout.side);
    layout.band.assign(elements, Layout::kNoBand);
    layout.own.assign(elements, 0);

    // Grid points rise with the index within each run, so the own ones are prefixes.
    const auto ownCount = [&](int k, bool detail, int limit) {
        const int n = Pow2(k);
        int count = 0;
        const int first = detail ? n + 1 : 0, last = detail ? 2 * n : n;
        while (first + count <= last && GridPoint(pictureLevel, k, first + count) < limit) ++count;
        return count;
    };
    const auto side = static_cast<std::size_t>(layout.side);
    const int smooth = Pow2(level);
    const int smoothX = ownCount(level, false, width), smoothY = ownCount(level, false, height);
    for (int i = 0; i <= smooth; ++i) {
        std::fill_n(layout.band.begin() + static_cast<std::ptrdiff_t>(layout.Index(i, 0)), smooth + 1, 0);
        if (i < smoothX) std::fill_n(layout.own.begin() + static_cast<std::ptrdiff_t>(layout.Index(i, 0)), smoothY, 1);
    }
    for (int k = level; k < pictureLevel; ++k) {
        const int n = Pow2(k);
        Layout::OwnRuns runs{ownCount(k, false, width), ownCount(k, true, width), ownCount(k, false, height),
                             ownCount(k, true, height)};
        layout.ownRuns.push_back(runs);
        const auto first = static_cast<std::uint8_t>(1 + 3 * (k - level));
        for (int i = 0; i <= 2 * n; ++i) {
            std::uint8_t* band = layout.band.data() + static_cast<std::size_t>(i) * side;
            std::uint8_t* own = layout.own.data() + static_cast<std::size_t>(i) * side;
            const bool ownX = i <= n ? i < runs.smoothX : i - n - 1 < runs.detailX;
            if (i <= n) {
                std::fill(band + n + 1, band + 2 * n + 1, static_cast<std::uint8_t>(first));  // row
                if (ownX) std::fill_n(own + n + 1, runs.detailY, 1);
            } else {
                std::fill(band, band + n + 1, static_cast<std::uint8_t>(first + 1));  // column
                std::fill(band + n + 1, band + 2 * n + 1, static_cast<std::uint8_t>(first + 2));  // both
                if (ownX) {
                    std::fill_n(own, runs.smoothY, 1);
                    std::fill_n(own + n + 1, runs.detailY, 1);
                }
            }
        }
    }
    return layout;
}

Norms NormsOf(const Filters& filters, int pictureLevel, int level) {
    if (pictureLevel < 2 || pictureLevel > kMaxLevel || level < 2 || level > pictureLevel)
        throw Error("Level " + FormatD(level) + " liegt außerhalb von 2 bis " + FormatD(pictureLevel) + ".");
    Norms result;
    result.level = level;
    const double diagonal = 1.0 - filters.delta / 3.0;
    const double beside = filters.delta / 6.0;
    const std::size_t fine = static_cast<std::size_t>(Pow2(pictureLevel)) + 1;
    std::vector<double> a(fine * kChunk), b(fine * kChunk);
    for (int k = level; k < pictureLevel; ++k) {
        const int lines = 2 * Pow2(k) + 1;
        std::vector<double> norms(static_cast<std::size_t>(lines));
        // Unit vectors, kChunk at a time, synthesised step by step to the finest level;
        // above level k + 1 the details are zero.
        for (int c0 = 0; c0 < lines; c0 += static_cast<int>(kChunk)) {
            const auto count = std::min<std::size_t>(kChunk, static_cast<std::size_t>(lines - c0));
            std::fill(a.begin(), a.end(), 0.0);
            for (std::size_t m = 0; m < count; ++m) a[(static_cast<std::size_t>(c0) + m) * kChunk + m] = 1.0;
            for (int j = k; j < pictureLevel; ++j) {
                const int n = Pow2(j);
                SynthesiseChunk(filters, n, a.data(), kChunk, b.data(), kChunk, count);
                std::swap(a, b);
                // The next step's details are zero.
                std::fill(a.begin() + static_cast<std::ptrdiff_t>((2 * static_cast<std::size_t>(n) + 1) * kChunk),
                          a.end(), 0.0);
            }
            for (std::size_t m = 0; m < count; ++m) {
                double squares = 0.0, products = 0.0;
                for (std::size_t i = 0; i < fine; ++i) {
                    const double v = a[i * kChunk + m];
                    squares += v * v;
                    if (i + 1 < fine) products += v * a[(i + 1) * kChunk + m];
                }
                norms[static_cast<std::size_t>(c0) + m] = std::sqrt(diagonal * squares + 2.0 * beside * products);
            }
        }
        result.norms.push_back(std::move(norms));
    }
    return result;
}

OwnCount CountOwnDetails(const MatrixView& square, const Layout& layout) {
    OwnCount own;
    const auto zerosIn = [&](const double* row, int from, int count) {
        long long zeros = 0;
        for (int j = from; j < from + count; ++j) zeros += row[j] == 0.0;
        own.zeros += zeros;
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

RuleResult ApplyRule(const MatrixView& square, const Layout& layout, const Rule& rule, const Norms* norms,
                     PictureSurface* markers) {
    RuleResult result;
    if (rule.kind == RuleKind::Levels &&
        rule.epsilons.size() != static_cast<std::size_t>(layout.pictureLevel - layout.level))
        throw Error("Die Regel levels braucht " + FormatD(layout.pictureLevel - layout.level) + " Epsilon.");
    if (rule.kind == RuleKind::Norm && (norms == nullptr || norms->level != layout.level))
        throw Error("Die Regel norm braucht die Normen des Levels.");
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

namespace {

// Calls visit(band, i, j) for every own coefficient, walking the runs of the own ones
// only; within each band in rising i, then j, as a walk over the whole square meets
// them (sums come out the same). `details` leaves the smoothing block out.
template <typename Visit>
void ForEachOwn(const Layout& layout, bool details, Visit visit) {
    if (!details) {
        const int smooth = Pow2(layout.level);
        for (int i = 0; i <= smooth; ++i)
            for (int j = 0; j <= smooth; ++j)
                if (layout.own[layout.Index(i, j)]) visit(std::uint8_t{0}, i, j);
    }
    for (int k = layout.level; k < layout.pictureLevel; ++k) {
        const int n = Pow2(k);
        const Layout::OwnRuns& runs = layout.ownRuns[static_cast<std::size_t>(k - layout.level)];
        const auto row = static_cast<std::uint8_t>(1 + 3 * (k - layout.level));
        for (int i = 0; i < runs.smoothX; ++i)
            for (int j = n + 1; j <= n + runs.detailY; ++j) visit(row, i, j);
        for (int i = n + 1; i <= n + runs.detailX; ++i) {
            for (int j = 0; j < runs.smoothY; ++j) visit(static_cast<std::uint8_t>(row + 1), i, j);
            for (int j = n + 1; j <= n + runs.detailY; ++j) visit(static_cast<std::uint8_t>(row + 2), i, j);
        }
    }
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

double EpsilonForZeros(const Coefficients& square, const Layout& layout, RuleKind kind, const Norms* norms,
                       double percent) {
    if (kind == RuleKind::Levels) throw Error("Ein Ziel für die Nullen gibt es nur mit flat und norm.");
    if (kind == RuleKind::Norm && (norms == nullptr || norms->level != layout.level))
        throw Error("Die Regel norm braucht die Normen des Levels.");
    long long details = 0;
    for (int k = layout.level; k < layout.pictureLevel; ++k) {
        const Layout::OwnRuns& r = layout.ownRuns[static_cast<std::size_t>(k - layout.level)];
        details += static_cast<long long>(r.smoothX) * r.detailY + static_cast<long long>(r.detailX) * (r.smoothY + r.detailY);
    }
    if (details == 0) return 0.0;
    std::vector<std::uint64_t> scores;
    scores.reserve(static_cast<std::size_t>(details));
    const bool weighted = kind == RuleKind::Norm;
    ForEachOwn(layout, true, [&](std::uint8_t band, int i, int j) {
        const double weight = weighted ? norms->Weight(layout.bands[band].level, i, j) : 1.0;
        const double score = std::fabs(square.At(i, j)) * weight;
        if (!std::isnan(score)) scores.push_back(std::bit_cast<std::uint64_t>(score));  // NaN is below no Epsilon
    });
    // The fewest zeros whose share, computed as it is reported, reaches the target.
    const auto share = [details](long long zeros) {
        return static_cast<double>(zeros) * 100.0 / static_cast<double>(details);
    };
    auto needed = static_cast<long long>(std::ceil(percent * static_cast<double>(details) / 100.0));
    needed = std::clamp<long long>(needed, 1, details);
    while (needed > 1 && share(needed - 1) >= percent) --needed;
    while (needed < details && share(needed) < percent) ++needed;
    const auto count = static_cast<long long>(scores.size());
    if (count == 0) return 0.0;
    needed = std::min(needed, count);
    // Everything up to and including that score falls below the next double: equal
    // magnitudes go together, and the same Epsilon given again picks the same set.
    return std::nextafter(NthSmallest(scores, static_cast<std::size_t>(needed)), INFINITY);
}

Quantised Quantise(const MatrixView& square, const Layout& layout, double step, const Norms* norms) {
    if (!(step > 0)) throw Error("Die Quantisierung braucht eine Stufe über 0.");
    Quantised result;
    result.ownValues.resize(layout.bands.size());
    for (int i = 0; i < layout.side; ++i) {
        double* row = square.Row(static_cast<std::size_t>(i));
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            if (b == Layout::kNoBand) continue;
            // The smoothing values are never weighted: only the detail rule is.
            const int k = layout.bands[b].level;
            const double weight = norms != nullptr && b != 0 ? norms->Weight(k, i, j) : 1.0;
            const double q = std::trunc(row[j] * weight / step);
            if (!std::isfinite(q))
                throw Error("Die Quantisierungsstufe " + FormatG(step) + " ist zu klein: ein Quotient läuft über.");
            const double sign = q > 0 ? 1.0 : (q < 0 ? -1.0 : 0.0);
            row[j] = (q + sign / 2) * step / weight;
            if (layout.own[e]) result.ownValues[b].push_back(q);
        }
    }
    return result;
}

double EntropyBits(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto total = static_cast<double>(values.size());
    double bits = 0.0;
    for (std::size_t first = 0; first < values.size();) {
        std::size_t last = first;
        while (last < values.size() && values[last] == values[first]) ++last;
        const double p = static_cast<double>(last - first) / total;
        bits -= p * std::log2(p);
        first = last;
    }
    return bits;
}

std::vector<BandFigures> MeasureBands(const Coefficients& square, const Layout& layout, const Quantised* quantised) {
    std::vector<BandFigures> figures(layout.bands.size());
    for (std::size_t b = 0; b < figures.size(); ++b) figures[b].band = layout.bands[b];
    ForEachOwn(layout, false, [&](std::uint8_t band, int i, int j) {
        BandFigures& f = figures[band];
        const double c = square.At(i, j);
        ++f.ownCount;
        f.zeros += c == 0.0;
        f.energy += c * c;
        f.maxAbs = std::max(f.maxAbs, std::fabs(c));
    });
    if (quantised != nullptr)
        for (std::size_t b = 0; b < figures.size(); ++b)
            figures[b].entropyBits =
                static_cast<double>(figures[b].ownCount) * EntropyBits(quantised->ownValues[b]);
    return figures;
}

std::vector<std::uint8_t> ByColumns(const RedPicture& picture) {
    std::vector<std::uint8_t> columns(picture.red.size());
    const auto height = static_cast<std::size_t>(picture.height);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < static_cast<std::size_t>(picture.width); ++x)
            columns[x * height + y] = picture.red[y * static_cast<std::size_t>(picture.width) + x];
    return columns;
}

Quality Measure(const MatrixView& reconstructed, const RedPicture& picture) {
    return Measure(reconstructed, picture, ByColumns(picture));
}

Quality Measure(const MatrixView& reconstructed, const RedPicture& picture, const std::vector<std::uint8_t>& columns) {
    const int rows = TransformedRows(picture);
    // Byte differences and squares are whole numbers: their sums are exact in any order.
    long long absolute = 0, squared = 0, rebuiltEnergy = 0, fileEnergy = 0;
    double exactSquared = 0.0;
    for (int x = 0; x < picture.width; ++x) {
        const ColumnSums c = MeasureColumn(reconstructed.Row(static_cast<std::size_t>(x)),
                                           columns.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(picture.height),
                                           rows);
        absolute += c.absolute, squared += c.squared, rebuiltEnergy += c.rebuilt, fileEnergy += c.file;
        exactSquared += c.exact;
    }
    Quality quality;
    const long long pixels = static_cast<long long>(picture.width) * picture.height;
    quality.meanError = pixels > 0 ? static_cast<double>(absolute) / static_cast<double>(pixels) : 0.0;
    const double area = static_cast<double>(picture.width) * rows;
    const double mse = static_cast<double>(squared) / area;
    quality.psnr = mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
    const double exactMse = exactSquared / area;
    quality.psnrExact = exactMse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / exactMse);
    quality.energyKept =
        fileEnergy == 0 ? NAN : static_cast<double>(rebuiltEnergy) / static_cast<double>(fileEnergy) * 100.0;
    return quality;
}

std::vector<std::uint8_t> ToBytes(const MatrixView& reconstructed, const RedPicture& picture) {
    std::vector<std::uint8_t> bytes = picture.red;
    const int rows = TransformedRows(picture);
    for (int x = 0; x < picture.width; ++x) {
        const double* row = reconstructed.Row(static_cast<std::size_t>(x));
        for (int y = 0; y < rows; ++y)
            bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(ClampToByte(row[y]));
    }
    return bytes;
}

double EntropyPerPixel(const std::vector<BandFigures>& bands, int width, int height) {
    double bits = 0.0;
    for (const BandFigures& band : bands) bits += band.entropyBits.value_or(0.0);
    return bits / (static_cast<double>(width) * height);
}

PictureAnalysis::PictureAnalysis(const RedPicture& picture, double delta, int level,
                                 std::shared_ptr<const Layout> layout,
                                 std::shared_ptr<const std::vector<std::uint8_t>> columns)
    : picture_(picture), filters_(FiltersOf(delta)), columns_(std::move(columns)), layout_(std::move(layout)) {
    if (!columns_ || columns_->size() != picture.red.size())
        columns_ = std::make_shared<const std::vector<std::uint8_t>>(ByColumns(picture));
    // Read from the columns: the matrix's order, walked in step.
    decomposed_ = ReadPicture(RedPicture{picture.width, 0, {}});
    const int rows = std::min(picture.height, decomposed_.side);
    for (int x = 0; x < picture.width; ++x) {
        const std::uint8_t* column = columns_->data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(picture.height);
        double* row = decomposed_.values.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(decomposed_.side);
        for (int y = 0; y < rows; ++y) row[y] = column[y];
    }
    Decompose(decomposed_, filters_, level, workspace_);
    if (!layout_ || layout_->level != level || layout_->width != picture.width || layout_->height != picture.height)
        layout_ = std::make_shared<const Layout>(LayoutOf(decomposed_.pictureLevel, level, picture.width, picture.height));
}

const Norms& PictureAnalysis::NormsInUse() {
    if (!norms_) norms_ = NormsOf(filters_, decomposed_.pictureLevel, decomposed_.level);
    return *norms_;
}

const Quality& PictureAnalysis::Floor() {
    if (!floor_) {
        scratch_ = decomposed_;
        Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
        floor_ = Measure(scratch_.View(), picture_, *columns_);
    }
    return *floor_;
}

RowResult PictureAnalysis::Row(const RowRequest& request) {
    RowResult result;
    const Norms* norms = request.rule.kind == RuleKind::Norm ? &NormsInUse() : nullptr;
    Rule rule = request.rule;
    if (request.zerosPercent) rule.epsilon = EpsilonForZeros(decomposed_, *layout_, rule.kind, norms, *request.zerosPercent);
    if (rule.kind == RuleKind::Levels &&
        rule.epsilons.size() != static_cast<std::size_t>(layout_->pictureLevel - layout_->level))
        throw Error("Die Regel levels braucht " + FormatD(layout_->pictureLevel - layout_->level) + " Epsilon.");
    // The copy reuses the scratch square's memory from row to row.
    result.rule = CopyWithRule(decomposed_, scratch_, *layout_, rule, norms);
    // The bands as the rule left them, then the entropy of the quantised values.
    if (request.withBands || request.quantiseStep) result.bands = MeasureBands(scratch_, *layout_);
    if (request.quantiseStep) {
        const Quantised quantised = Quantise(scratch_.View(), *layout_, *request.quantiseStep, norms);
        for (std::size_t b = 0; b < result.bands.size(); ++b)
            result.bands[b].entropyBits =
                static_cast<double>(result.bands[b].ownCount) * EntropyBits(quantised.ownValues[b]);
        result.entropyBpp = EntropyPerPixel(result.bands, picture_.width, picture_.height);
    }
    Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
    result.quality = Measure(scratch_.View(), picture_, *columns_);
    if (request.withBytes) result.bytes = ToBytes(scratch_.View(), picture_);
    return result;
}

}  // namespace tesora::analysis
