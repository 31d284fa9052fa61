#include "tools/LiftingAnalysis.h"

#include "matrix/Error.h"
#include "tools/AnalysisParts.h"
#include "tools/RateDistortion.h"

namespace tesora::analysis {

LiftingAnalysis::LiftingAnalysis(const RedPicture& picture, Basis basis, int level,
                                 std::shared_ptr<const std::vector<std::uint8_t>> columns)
    : state_(picture, std::move(columns)),
      basis_(basis),
      layout_(LiftingLayoutOf(PictureLevelOf(picture.width), level, picture.width, picture.height)) {
    if (basis == Basis::Blac)
        throw Error("BLaC wird nicht durch Lifting zerlegt.", "BLaC is not decomposed by lifting.");
    state_.decomposed = LiftPicture(picture, basis, layout_);
}

const std::vector<double>& LiftingAnalysis::Weights() {
    if (!weights_) weights_ = LiftingWeights(basis_, layout_);
    return *weights_;
}

const Quality& LiftingAnalysis::Floor() {
    return state_.Floor([this] { LiftBack(state_.scratch, basis_, layout_); });
}

RowResult LiftingAnalysis::Row(const RowRequest& request) {
    RowResult result;
    const std::vector<double>* weights = request.rule.kind == RuleKind::Norm ? &Weights() : nullptr;
    Rule rule = request.rule;
    parts::CheckEpsilonsFit(rule, layout_);
    if (request.zerosPercent) {
        parts::CheckZerosTarget(rule.kind);
        rule.epsilon = EpsilonForScores(OwnDetailScores(state_.decomposed, layout_, weights), *request.zerosPercent);
    }
    result.rule = CopyWithRuleByElement(state_.decomposed, state_.scratch, layout_, rule, weights);
    std::optional<double> step = request.quantiseStep;
    if (request.bppTarget) {
        const RateOfStep rate(RateValuesByElement(state_.scratch, layout_, weights),
                              static_cast<double>(state_.picture.width) * state_.picture.height);
        step = FindStepForRate(rate, *request.bppTarget).step;
    }
    result.quantiseStep = step;
    if (request.withBands || step) result.bands = MeasureBandsByElement(state_.scratch, layout_);
    if (step) {
        const Quantised quantised = QuantiseByElement(state_.scratch.View(), layout_, *step, weights);
        result.codedCount = CountCodedByElement(quantised, result.bands);
        result.entropyBpp = EntropyPerPixel(result.bands, state_.picture.width, state_.picture.height);
    }
    LiftBack(state_.scratch, basis_, layout_);
    state_.MeasureScratch(result, request.withBytes);
    return result;
}

}  // namespace tesora::analysis
