#pragma once
// What the files of the value road share among themselves (not for its users).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/Analysis.h"

namespace tesora::analysis::parts {

inline int Pow2(int k) { return 1 << k; }

// Throws Error unless 2 <= level <= pictureLevel <= kMaxLevel.
void CheckLevels(int pictureLevel, int level);
// Throws Error when the rule does not fit the layout (an Epsilon per step for levels,
// the level's norms for norm).
void CheckRuleFits(const Rule& rule, const Layout& layout, const Norms* norms);
// Its first half, for every basis: throws Error unless levels has an Epsilon per step.
void CheckEpsilonsFit(const Rule& rule, const Layout& layout);
// Throws Error unless rules of this kind can aim at a share of zeros (flat and norm).
void CheckZerosTarget(RuleKind kind);

// dst = src with the rule applied, in one pass (a row's copy would cost as much as the
// rule). Zeroes as ApplyRule does, to the bit; counts every zeroed element and the own
// details' zeros.
RuleResult CopyWithRule(const Coefficients& from, Coefficients& to, const Layout& layout, const Rule& rule,
                        const Norms* norms);

// Quantise's loop for any weighting: weightOf(e, band, i, j) is the weight of element
// e = (i, j); the q values of the elements `counted` marks are gathered per band.
template <typename WeightOf>
Quantised QuantiseWeighted(const MatrixView& square, const Layout& layout, double step,
                           const std::vector<std::uint8_t>& counted, WeightOf weightOf) {
    if (!(step > 0)) throw Error("Die Quantisierung braucht eine Stufe über 0.", "The quantiser step must be above 0.");
    Quantised result;
    result.values.resize(layout.bands.size());
    for (int i = 0; i < layout.side; ++i) {
        double* row = square.Row(static_cast<std::size_t>(i));
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            if (b == Layout::kNoBand) continue;
            const double weight = weightOf(e, b, i, j);
            const double q = QuantIndex(row[j], weight, step);
            if (!std::isfinite(q))
                throw Error("Die Quantisierungsstufe " + FormatG(step) + " ist zu klein: ein Quotient läuft über.",
                            "The quantiser step " + FormatG(step) + " is too small: a quotient overflows.");
            row[j] = FromQuantUnits(WholeIndexUnits(q), weight, step);
            if (counted[e]) result.values[b].push_back(q);
        }
    }
    return result;
}

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

}  // namespace tesora::analysis::parts
