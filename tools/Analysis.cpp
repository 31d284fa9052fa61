#include "tools/Analysis.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "blac/Bank.h"
#include "blac/Blocks.h"
#include "blac/Coefficients.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
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

bool IsDetail(const Layout& layout, std::size_t e) { return layout.band[e] != 0 && layout.band[e] != Layout::kNoBand; }

// The threshold of band index b and its level under the rule.
double ThresholdOf(const Rule& rule, const Layout& layout, int level) {
    if (rule.kind != RuleKind::Levels) return rule.epsilon;
    return rule.epsilons.at(static_cast<std::size_t>(level - layout.level));
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

    const int smooth = Pow2(level);
    for (int i = 0; i <= smooth; ++i)
        for (int j = 0; j <= smooth; ++j) {
            const std::size_t e = layout.Index(i, j);
            layout.band[e] = 0;
            layout.own[e] = GridPoint(pictureLevel, level, i) < width && GridPoint(pictureLevel, level, j) < height;
        }
    for (int k = level; k < pictureLevel; ++k) {
        const int n = Pow2(k);
        const auto first = static_cast<std::uint8_t>(1 + 3 * (k - level));
        std::vector<char> inX(static_cast<std::size_t>(2 * n + 1)), inY(static_cast<std::size_t>(2 * n + 1));
        for (int c = 0; c <= 2 * n; ++c) {
            inX[static_cast<std::size_t>(c)] = GridPoint(pictureLevel, k, c) < width;
            inY[static_cast<std::size_t>(c)] = GridPoint(pictureLevel, k, c) < height;
        }
        for (int i = 0; i <= 2 * n; ++i)
            for (int j = (i <= n ? n + 1 : 0); j <= 2 * n; ++j) {
                const std::size_t e = layout.Index(i, j);
                const std::uint8_t kind = i <= n ? 0 : (j <= n ? 1 : 2);  // row, column, both
                layout.band[e] = static_cast<std::uint8_t>(first + kind);
                layout.own[e] = inX[static_cast<std::size_t>(i)] && inY[static_cast<std::size_t>(j)];
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
    const std::size_t elements = layout.band.size();
    for (std::size_t i = 0; i < static_cast<std::size_t>(layout.side); ++i) {
        const double* row = square.Row(i);
        for (std::size_t j = 0; j < static_cast<std::size_t>(layout.side); ++j) {
            const std::size_t e = i * static_cast<std::size_t>(layout.side) + j;
            if (e >= elements || !layout.own[e] || !IsDetail(layout, e)) continue;
            ++result.ownDetails;
            result.ownZeros += row[j] == 0.0;
        }
    }
    return result;
}

RuleResult ApplyRule(Coefficients& square, const Layout& layout, const Rule& rule, const Norms* norms) {
    return ApplyRule(square.View(), layout, rule, norms, nullptr);
}

double EpsilonForZeros(const Coefficients& square, const Layout& layout, RuleKind kind, const Norms* norms,
                       double percent) {
    if (kind == RuleKind::Levels) throw Error("Ein Ziel für die Nullen gibt es nur mit flat und norm.");
    if (kind == RuleKind::Norm && (norms == nullptr || norms->level != layout.level))
        throw Error("Die Regel norm braucht die Normen des Levels.");
    std::vector<double> scores;
    long long details = 0;
    for (int k = layout.level; k < layout.pictureLevel; ++k) {
        const int n = Pow2(k);
        for (int i = 0; i <= 2 * n; ++i)
            for (int j = (i <= n ? n + 1 : 0); j <= 2 * n; ++j) {
                if (!layout.own[layout.Index(i, j)]) continue;
                ++details;
                const double weight = kind == RuleKind::Norm ? norms->Weight(k, i, j) : 1.0;
                const double score = std::fabs(square.At(i, j)) * weight;
                if (!std::isnan(score)) scores.push_back(score);  // NaN is below no Epsilon
            }
    }
    if (details == 0) return 0.0;
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
    const auto at = scores.begin() + static_cast<std::ptrdiff_t>(needed - 1);
    std::nth_element(scores.begin(), at, scores.end());
    // Everything up to and including that score falls below the next double: equal
    // magnitudes go together, and the same Epsilon given again picks the same set.
    return std::nextafter(*at, INFINITY);
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
    for (int i = 0; i < layout.side; ++i)
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            if (layout.band[e] == Layout::kNoBand || !layout.own[e]) continue;
            BandFigures& f = figures[layout.band[e]];
            const double c = square.At(i, j);
            ++f.ownCount;
            f.zeros += c == 0.0;
            f.energy += c * c;
            f.maxAbs = std::max(f.maxAbs, std::fabs(c));
        }
    if (quantised != nullptr)
        for (std::size_t b = 0; b < figures.size(); ++b)
            figures[b].entropyBits =
                static_cast<double>(figures[b].ownCount) * EntropyBits(quantised->ownValues[b]);
    return figures;
}

Quality Measure(const MatrixView& reconstructed, const RedPicture& picture) {
    const int rows = TransformedRows(picture);
    // Byte differences and squares are whole numbers: their sums are exact in any order.
    long long absolute = 0, squared = 0, rebuiltEnergy = 0, fileEnergy = 0;
    double exactSquared = 0.0;
    for (int x = 0; x < picture.width; ++x) {
        const double* row = reconstructed.Row(static_cast<std::size_t>(x));
        for (int y = 0; y < rows; ++y) {
            const int file = picture.At(x, y);
            const int byte = ClampToByte(row[y]);
            const int difference = byte - file;
            absolute += difference < 0 ? -difference : difference;
            squared += difference * difference;
            rebuiltEnergy += byte * byte;
            fileEnergy += file * file;
            const double exact = row[y] - file;
            exactSquared += exact * exact;
        }
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

PictureAnalysis::PictureAnalysis(const RedPicture& picture, double delta, int level)
    : picture_(picture), filters_(FiltersOf(delta)) {
    decomposed_ = DecomposePicture(picture, filters_, level, workspace_);
    layout_ = LayoutOf(decomposed_.pictureLevel, level, picture.width, picture.height);
}

const Norms& PictureAnalysis::NormsInUse() {
    if (!norms_) norms_ = NormsOf(filters_, decomposed_.pictureLevel, decomposed_.level);
    return *norms_;
}

const Quality& PictureAnalysis::Floor() {
    if (!floor_) {
        scratch_ = decomposed_;
        Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
        floor_ = Measure(scratch_.View(), picture_);
    }
    return *floor_;
}

RowResult PictureAnalysis::Row(const RowRequest& request) {
    RowResult result;
    const Norms* norms = request.rule.kind == RuleKind::Norm ? &NormsInUse() : nullptr;
    Rule rule = request.rule;
    if (request.zerosPercent) rule.epsilon = EpsilonForZeros(decomposed_, layout_, rule.kind, norms, *request.zerosPercent);
    // The copy reuses the scratch square's memory from row to row.
    scratch_.values.assign(decomposed_.values.begin(), decomposed_.values.end());
    scratch_.pictureLevel = decomposed_.pictureLevel;
    scratch_.level = decomposed_.level;
    scratch_.side = decomposed_.side;
    result.rule = ApplyRule(scratch_.View(), layout_, rule, norms);
    // The bands as the rule left them, then the entropy of the quantised values.
    if (request.withBands || request.quantiseStep) result.bands = MeasureBands(scratch_, layout_);
    if (request.quantiseStep) {
        const Quantised quantised = Quantise(scratch_.View(), layout_, *request.quantiseStep, norms);
        for (std::size_t b = 0; b < result.bands.size(); ++b)
            result.bands[b].entropyBits =
                static_cast<double>(result.bands[b].ownCount) * EntropyBits(quantised.ownValues[b]);
        result.entropyBpp = EntropyPerPixel(result.bands, picture_.width, picture_.height);
    }
    Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
    result.quality = Measure(scratch_.View(), picture_);
    if (request.withBytes) result.bytes = ToBytes(scratch_.View(), picture_);
    return result;
}

}  // namespace tesora::analysis
