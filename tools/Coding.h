#pragma once
// What the value road needs beyond the specified reconstruction: the exact synthesis of a
// whole square, prepared once per picture and Delta, and the coefficients a decoder needs
// (the coded ones), which the rate counts and the reconstruction keeps.
#include <cstdint>
#include <vector>

#include "mra/BasisFunctions.h"
#include "mra/ExactSynthesis.h"
#include "tools/Analysis.h"

namespace tesora::analysis {

// The exact synthesis of every step from `lowest` up to the picture's level.
class ExactLevels {
public:
    ExactLevels(const Filters& filters, int lowest, int pictureLevel);
    int Lowest() const { return lowest_; }
    const ExactSynthesis& At(int L) const { return levels_[static_cast<std::size_t>(L - lowest_)]; }

private:
    int lowest_ = 0;
    std::vector<ExactSynthesis> levels_;
};

// Reconstruction up to `level` with the exact synthesis, in place (prepared for every
// step the square takes). Throws Error for a level outside the range.
void ReconstructExact(Coefficients& square, const ExactLevels& levels, int level, TransformWorkspace& workspace);

// Reconstruction up to `level` by either synthesis (the exact one prepared here).
void Reconstruct(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
                 Synthesis synthesis);

// 1 for every element of the square (laid out so) whose function reaches into the
// picture, by IsCoded; elements outside every band are never coded.
std::vector<std::uint8_t> CodedMask(const Layout& layout, const Filters& filters, Synthesis synthesis);

// Every element outside the mask becomes +0.
void ZeroUncoded(const MatrixView& square, const std::vector<std::uint8_t>& coded);

}  // namespace tesora::analysis
