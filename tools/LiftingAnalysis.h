#pragma once
// One picture decomposed once by a lifting basis, serving many rows: the counterpart of
// PictureAnalysis for haar, cdf53 and cdf97, with the same rows and measures.
#include <memory>
#include <optional>
#include <vector>

#include "tools/Analysis.h"
#include "tools/Bases.h"

namespace tesora::analysis {

class LiftingAnalysis {
public:
    // The picture must outlive the analysis; `columns`, when given, is ByColumns of it.
    LiftingAnalysis(const RedPicture& picture, Basis basis, int level,
                    std::shared_ptr<const std::vector<std::uint8_t>> columns = nullptr);

    const Layout& LayoutInUse() const { return layout_; }
    const Coefficients& Decomposed() const { return state_.decomposed; }
    const Quality& Floor();
    RowResult Row(const RowRequest& request);

private:
    const std::vector<double>& Weights();  // computed on first use

    AnalysedPicture state_;
    Basis basis_;
    Layout layout_;
    std::optional<std::vector<double>> weights_;
};

}  // namespace tesora::analysis
