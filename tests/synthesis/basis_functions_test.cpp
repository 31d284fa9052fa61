// The functions behind the coefficients: which ones reach into the picture, against a
// brute-force reconstruction of every unit coefficient, and the smoothing functions'
// norms against the integral of the function itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "blac/DeltaControl.h"
#include "mra/BasisFunctions.h"
#include "tools/Coding.h"
#include "tools/Analysis.h"

using namespace tesora;

namespace {

// The square holding a single 1 at (i, j), reconstructed to the picture's level.
analysis::Coefficients UnitFunction(const Filters& filters, Synthesis synthesis, int pictureLevel, int level, int i,
                                    int j) {
    analysis::Coefficients square;
    square.pictureLevel = pictureLevel;
    square.level = level;
    square.side = (1 << pictureLevel) + 1;
    square.values.assign(static_cast<std::size_t>(square.side) * static_cast<std::size_t>(square.side), 0.0);
    square.values[static_cast<std::size_t>(i) * static_cast<std::size_t>(square.side) + static_cast<std::size_t>(j)] =
        1.0;
    TransformWorkspace workspace;
    if (synthesis == Synthesis::Specified)
        analysis::Reconstruct(square, filters, pictureLevel, workspace);
    else
        analysis::ReconstructExact(square, analysis::ExactLevels(filters, level, pictureLevel), pictureLevel,
                                   workspace);
    return square;
}

}  // namespace

TEST(BasisFunctions, CodedMatchesEveryUnitFunctionReconstructed) {
    constexpr int kPicture = 4, kLevel = 2, kWidth = 11, kHeight = 6;
    for (Synthesis synthesis : {Synthesis::Specified, Synthesis::Exact}) {
        for (int position : {0, 50, 100}) {
            const Filters filters = FiltersOf(DeltaFromPosition(position));
            const analysis::Layout layout = analysis::LayoutOf(kPicture, kLevel, kWidth, kHeight);
            const std::vector<std::uint8_t> mask = analysis::CodedMask(layout, filters, synthesis);
            int coded = 0;
            const int side = (1 << kPicture) + 1;
            for (int i = 0; i < side; ++i) {
                for (int j = 0; j < side; ++j) {
                    const analysis::Coefficients f = UnitFunction(filters, synthesis, kPicture, kLevel, i, j);
                    double inside = 0.0, all = 0.0;
                    for (int x = 0; x < side; ++x)
                        for (int y = 0; y < side; ++y) {
                            const double v = std::fabs(f.At(x, y));
                            all = std::max(all, v);
                            if (x < kWidth && y < kHeight) inside = std::max(inside, v);
                        }
                    const bool expected = synthesis == Synthesis::Specified ? inside > 0 : inside >= kCodedShare * all;
                    EXPECT_EQ(mask[layout.Index(i, j)] == 1, expected)
                        << SynthesisName(synthesis) << " position " << position << " (" << i << ", " << j << ")";
                    coded += expected;
                }
            }
            // Neither everything nor only the picture's own grid points.
            EXPECT_LT(coded, side * side);
            EXPECT_GT(coded, kWidth * kHeight);
        }
    }
}

TEST(BasisFunctions, SmoothingNormsAreTheIntegralOfTheFunction) {
    constexpr int kPicture = 5, kLevel = 2;
    for (int position : {0, 30, 100}) {
        const double delta = DeltaFromPosition(position);
        const Filters filters = FiltersOf(delta);
        const analysis::Norms norms = analysis::NormsOf(filters, kPicture, kLevel);
        // The scaling function: 1 in the middle, falling linearly to 0 over a width Delta
        // on both sides, (1 + Delta) / 2 from its centre at most.
        const auto phi = [delta](double x) {
            const double r = std::fabs(x);
            if (delta == 0) return r < 0.5 ? 1.0 : 0.0;
            return std::clamp(((1 + delta) / 2 - r) / delta, 0.0, 1.0);
        };
        for (int c = 0; c <= (1 << kLevel); ++c) {
            // Refined level by level with no details: even points keep the value, odd
            // points blend their neighbours.
            std::vector<double> v((1u << kLevel) + 1, 0.0);
            v[static_cast<std::size_t>(c)] = 1.0;
            for (int j = kLevel; j < kPicture; ++j) {
                std::vector<double> fine(2 * v.size() - 1);
                for (std::size_t k = 0; k < v.size(); ++k) fine[2 * k] = v[k];
                for (std::size_t k = 0; k + 1 < v.size(); ++k)
                    fine[2 * k + 1] = v[k] * filters.halfDelta + v[k + 1] * filters.oneMinusHalfDelta;
                v = std::move(fine);
            }
            const auto f = [&](double x) {
                double sum = 0.0;
                for (std::size_t i = 0; i < v.size(); ++i) sum += v[i] * phi(x - static_cast<double>(i));
                return sum;
            };
            // f is linear between the breakpoints i +- (1 -+ Delta) / 2: two Gauss points
            // per piece integrate f^2 exactly.
            std::vector<double> breaks;
            for (std::size_t i = 0; i < v.size(); ++i)
                for (double b : {-(1 + delta) / 2, -(1 - delta) / 2, (1 - delta) / 2, (1 + delta) / 2})
                    breaks.push_back(static_cast<double>(i) + b);
            std::sort(breaks.begin(), breaks.end());
            double integral = 0.0;
            for (std::size_t b = 0; b + 1 < breaks.size(); ++b) {
                const double a = breaks[b], h = breaks[b + 1] - a;
                if (h <= 0) continue;
                const double g = h / 2 / std::sqrt(3.0);
                integral += h / 2 * (std::pow(f(a + h / 2 - g), 2) + std::pow(f(a + h / 2 + g), 2));
            }
            EXPECT_NEAR(norms.norms[0][static_cast<std::size_t>(c)], std::sqrt(integral), 1e-12)
                << "position " << position << ", function " << c;
        }
    }
}
