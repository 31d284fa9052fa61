#include "tools/Bases.h"

#include <algorithm>
#include <cmath>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/AnalysisParts.h"

namespace tesora::analysis {
namespace {

// The index a whole-sample mirror at 0 and n - 1 gives position p (p >= 0).
int Mirrored(int p, int n) {
    if (n == 1) return 0;
    const int period = 2 * (n - 1);
    p %= period;
    return p < n ? p : period - p;
}

double Threshold(const Rule& rule, const Layout& layout, int level) {
    return rule.kind == RuleKind::Levels ? rule.epsilons.at(static_cast<std::size_t>(level - layout.level))
                                         : rule.epsilon;
}

}  // namespace

const char* PaddingName(Padding padding) { return padding == Padding::Mirror ? "mirror" : "zero"; }

std::optional<Padding> ParsePadding(std::string_view name) {
    if (name == "zero") return Padding::Zero;
    if (name == "mirror") return Padding::Mirror;
    return std::nullopt;
}

void MirrorPadding(Coefficients& square, int width, int rows) {
    if (width < 1 || rows < 1 || width > square.side || rows > square.side)
        throw Error("Die Spiegelung braucht ein Bild im Quadrat.", "Mirroring needs a picture inside the square.");
    const auto side = static_cast<std::size_t>(square.side);
    for (int x = 0; x < width; ++x) {
        double* column = square.values.data() + static_cast<std::size_t>(x) * side;
        for (int y = rows; y < square.side; ++y) column[y] = column[Mirrored(y, rows)];
    }
    for (int x = width; x < square.side; ++x)
        std::copy_n(square.values.data() + static_cast<std::size_t>(Mirrored(x, width)) * side, side,
                    square.values.data() + static_cast<std::size_t>(x) * side);
}

Layout LiftingLayoutOf(int pictureLevel, int level, int width, int height) {
    if (pictureLevel < 2 || pictureLevel > kMaxLevel || level < 2 || level > pictureLevel)
        throw Error("Level " + FormatD(level) + " liegt außerhalb von 2 bis " + FormatD(pictureLevel) + ".",
                    "Level " + FormatD(level) + " lies outside 2 ... " + FormatD(pictureLevel) + ".");
    Layout layout;
    layout.pictureLevel = pictureLevel;
    layout.level = level;
    layout.side = (1 << pictureLevel) + 1;
    layout.width = width;
    layout.height = height;
    const int rows = std::min(height, layout.side);
    const int steps = pictureLevel - level;
    const std::vector<int> w = SmoothingCounts(width, steps), h = SmoothingCounts(rows, steps);
    const auto elements = static_cast<std::size_t>(layout.side) * static_cast<std::size_t>(layout.side);
    layout.band.assign(elements, Layout::kNoBand);
    layout.own.assign(elements, 0);
    layout.bands.push_back({level, BandKind::Smoothing});
    for (int k = level; k < pictureLevel; ++k)
        for (BandKind kind : {BandKind::Row, BandKind::Column, BandKind::Both}) layout.bands.push_back({k, kind});
    // Step s (from the finest, s = 1) went down to level pictureLevel - s; its bands are
    // 1 + 3 * (steps - s) onwards.
    for (int i = 0; i < width; ++i)
        for (int j = 0; j < rows; ++j) {
            // The step s whose block (of the step before) holds (i, j) and whose own
            // smoothing block does not, unless (i, j) is a smoothing value of the last.
            std::uint8_t band = 0;
            if (steps > 0) {
                int s = 1;
                while (s < steps && i < w[static_cast<std::size_t>(s)] && j < h[static_cast<std::size_t>(s)]) ++s;
                const bool detailX = i >= w[static_cast<std::size_t>(s)];
                const bool detailY = j >= h[static_cast<std::size_t>(s)];
                const int kind = detailX && detailY ? 2 : (detailX ? 1 : 0);  // both, column, row
                if (detailX || detailY) band = static_cast<std::uint8_t>(1 + 3 * (steps - s) + kind);
            }
            layout.band[layout.Index(i, j)] = band;
            layout.own[layout.Index(i, j)] = 1;
        }
    return layout;
}

std::vector<double> LiftingWeights(Basis basis, const Layout& layout) {
    const int steps = layout.pictureLevel - layout.level;
    const int rows = std::min(layout.height, layout.side);
    const auto nx = LiftNorms(basis, layout.width, steps), ny = LiftNorms(basis, rows, steps);
    std::vector<double> weights(layout.band.size(), 0.0);
    for (int i = 0; i < layout.width && steps == 0; ++i)  // the pixels themselves
        std::fill_n(weights.begin() + static_cast<std::ptrdiff_t>(layout.Index(i, 0)), rows, 1.0);
    for (int i = 0; i < layout.width && steps > 0; ++i)
        for (int j = 0; j < rows; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            // The smoothing band belongs to the last step; a detail band to its own.
            const int s = b == 0 ? steps : layout.pictureLevel - layout.bands[b].level;
            weights[e] = nx[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(i)] *
                         ny[static_cast<std::size_t>(s - 1)][static_cast<std::size_t>(j)];
        }
    return weights;
}

Coefficients LiftPicture(const RedPicture& picture, Basis basis, const Layout& layout) {
    Coefficients square = ReadPicture(picture);
    LiftSquare(square, basis, layout);
    return square;
}

void LiftSquare(Coefficients& square, Basis basis, const Layout& layout) {
    LiftDecompose(basis, square.values.data(), static_cast<std::size_t>(square.side), layout.width,
                  std::min(layout.height, layout.side), layout.pictureLevel - layout.level);
    square.level = layout.level;
}

void LiftBack(Coefficients& square, Basis basis, const Layout& layout) {
    LiftReconstruct(basis, square.values.data(), static_cast<std::size_t>(square.side), layout.width,
                    std::min(layout.height, layout.side), layout.pictureLevel - layout.level);
    square.level = layout.pictureLevel;
}

RuleResult CopyWithRuleByElement(const Coefficients& from, Coefficients& to, const Layout& layout, const Rule& rule,
                                 const std::vector<double>* weights) {
    if (rule.kind == RuleKind::Norm && weights == nullptr)
        throw Error("Die Regel norm braucht die Normen des Levels.", "The rule norm needs the norms of the level.");
    RuleResult result;
    result.epsilon = rule.kind == RuleKind::Levels ? NAN : rule.epsilon;
    to = from;
    for (std::size_t e = 0; e < layout.band.size(); ++e) {
        const std::uint8_t b = layout.band[e];
        if (b == 0 || b == Layout::kNoBand) continue;
        double& c = to.values[e];
        const double weight = rule.kind == RuleKind::Norm ? (*weights)[e] : 1.0;
        if (std::fabs(c) * weight < Threshold(rule, layout, layout.bands[b].level)) {
            c = 0.0;
            ++result.zeroCount;
        }
        if (layout.own[e]) {
            ++result.ownDetails;
            result.ownZeros += c == 0.0;
        }
    }
    return result;
}

OwnScores OwnDetailScores(const Coefficients& square, const Layout& layout, const std::vector<double>* weights) {
    OwnScores scores;
    for (std::size_t e = 0; e < layout.band.size(); ++e) {
        const std::uint8_t b = layout.band[e];
        if (b == 0 || b == Layout::kNoBand || !layout.own[e]) continue;
        scores.Add(std::fabs(square.values[e]) * (weights != nullptr ? (*weights)[e] : 1.0));
    }
    return scores;
}

Quantised QuantiseByElement(const MatrixView& square, const Layout& layout, double step,
                            const std::vector<double>* weights) {
    return parts::QuantiseWeighted(square, layout, step, layout.own, [&](std::size_t e, std::uint8_t, int, int) {
        return weights != nullptr ? (*weights)[e] : 1.0;
    });
}

std::vector<std::vector<double>> RateValuesByElement(const Coefficients& square, const Layout& layout,
                                                     const std::vector<double>* weights) {
    std::vector<std::vector<double>> values(layout.bands.size());
    for (std::size_t e = 0; e < layout.band.size(); ++e) {
        const std::uint8_t b = layout.band[e];
        if (b == Layout::kNoBand || !layout.own[e]) continue;
        values[b].push_back(square.values[e] * (weights != nullptr ? (*weights)[e] : 1.0));
    }
    return values;
}

std::vector<BandFigures> MeasureBandsByElement(const Coefficients& square, const Layout& layout) {
    std::vector<BandFigures> figures(layout.bands.size());
    for (std::size_t b = 0; b < figures.size(); ++b) figures[b].band = layout.bands[b];
    for (std::size_t e = 0; e < layout.band.size(); ++e) {
        const std::uint8_t b = layout.band[e];
        if (b == Layout::kNoBand || !layout.own[e]) continue;
        BandFigures& f = figures[b];
        const double c = square.values[e];
        ++f.ownCount;
        f.zeros += c == 0.0;
        f.energy += c * c;
        f.maxAbs = std::max(f.maxAbs, std::fabs(c));
    }
    return figures;
}

long long CountCodedByElement(const Quantised& quantised, std::vector<BandFigures>& bands) {
    long long codedCount = 0;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        const std::vector<double>& q = quantised.values[b];
        bands[b].codedCount = static_cast<long long>(q.size());
        bands[b].entropyBits = static_cast<double>(q.size()) * EntropyBits(q);
        codedCount += static_cast<long long>(q.size());
    }
    return codedCount;
}

}  // namespace tesora::analysis
