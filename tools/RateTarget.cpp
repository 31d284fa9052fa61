#include "tools/RateTarget.h"

namespace tesora::analysis {

std::vector<std::vector<double>> BandRateValues(const Coefficients& square, const Layout& layout, const Norms* norms) {
    std::vector<std::vector<double>> values(layout.bands.size());
    for (int i = 0; i < layout.side; ++i)
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            if (b == Layout::kNoBand || !layout.own[e]) continue;
            const double weight = norms != nullptr && b != 0 ? norms->Weight(layout.bands[b].level, i, j) : 1.0;
            values[b].push_back(square.values[e] * weight);
        }
    return values;
}

StepForRate StepForTarget(PictureAnalysis& analysis, const RowRequest& request, double bpp) {
    const Layout& layout = analysis.LayoutInUse();
    const Norms* norms = request.rule.kind == RuleKind::Norm ? &analysis.NormsInUse() : nullptr;
    const RedPicture& picture = analysis.Picture();
    const double pixels = static_cast<double>(picture.width) * picture.height;
    // Without a threshold the rule removes nothing: the decomposition itself is the input.
    const bool removes = request.zerosPercent || request.rule.kind == RuleKind::Levels || request.rule.epsilon > 0;
    if (!removes) return FindStepForRate(RateOfStep(BandRateValues(analysis.Decomposed(), layout, norms), pixels), bpp);
    Coefficients ruled = analysis.Decomposed();
    Rule rule = request.rule;
    if (request.zerosPercent) rule.epsilon = EpsilonForZeros(ruled, layout, rule.kind, norms, *request.zerosPercent);
    ApplyRule(ruled, layout, rule, norms);
    return FindStepForRate(RateOfStep(BandRateValues(ruled, layout, norms), pixels), bpp);
}

}  // namespace tesora::analysis
