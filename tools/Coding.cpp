#include "tools/Coding.h"

#include "matrix/Error.h"

namespace tesora::analysis {

ExactLevels::ExactLevels(const Filters& filters, int lowest, int pictureLevel) : lowest_(lowest) {
    levels_.resize(static_cast<std::size_t>(std::max(pictureLevel - lowest, 0)));
    for (int L = lowest; L < pictureLevel; ++L) levels_[static_cast<std::size_t>(L - lowest)].Prepare(filters, L);
}

void ReconstructExact(Coefficients& square, const ExactLevels& levels, int level, TransformWorkspace& workspace) {
    if (level < square.level || level > square.pictureLevel || square.level < levels.Lowest())
        throw Error("Die Rekonstruktion geht nur aufwärts.", "A reconstruction only goes up.");
    while (square.level < level) {
        ReconstructLevelExact(levels.At(square.level), square.View(), workspace);
        ++square.level;
    }
}

void Reconstruct(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
                 Synthesis synthesis) {
    if (synthesis == Synthesis::Specified) return Reconstruct(square, filters, level, workspace);
    ReconstructExact(square, ExactLevels(filters, square.level, square.pictureLevel), level, workspace);
}

std::vector<std::uint8_t> CodedMask(const Layout& layout, const Filters& filters, Synthesis synthesis) {
    std::vector<std::uint8_t> coded(layout.band.size(), 0);
    if (layout.level >= layout.pictureLevel) return coded;
    const Reach reach = ReachOf(filters, layout.pictureLevel, layout.level, synthesis, layout.width, layout.height);
    for (int i = 0; i < layout.side; ++i)
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            if (layout.band[e] != Layout::kNoBand) coded[e] = IsCoded(reach, synthesis, i, j) ? 1 : 0;
        }
    return coded;
}

void ZeroUncoded(const MatrixView& square, const std::vector<std::uint8_t>& coded) {
    const auto side = static_cast<std::size_t>(square.side);
    for (std::size_t i = 0; i < side; ++i) {
        double* row = square.Row(i);
        for (std::size_t j = 0; j < side; ++j)
            if (!coded[i * side + j]) row[j] = 0.0;
    }
}

}  // namespace tesora::analysis
