#include "tools/LiftingAnalysis.h"

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/RateDistortion.h"

namespace tesora::analysis {

LiftingAnalysis::LiftingAnalysis(const RedPicture& picture, Basis basis, int level,
                                 std::shared_ptr<const std::vector<std::uint8_t>> columns)
    : picture_(picture),
      basis_(basis),
      layout_(LiftingLayoutOf(PictureLevelOf(picture.width), level, picture.width, picture.height)),
      columns_(std::move(columns)) {
    if (basis == Basis::Blac) throw Error("BLaC wird nicht durch Lifting zerlegt.");
    if (!columns_ || columns_->size() != picture.red.size())
        columns_ = std::make_shared<const std::vector<std::uint8_t>>(ByColumns(picture));
    decomposed_ = LiftPicture(picture, basis, layout_);
}

const std::vector<double>& LiftingAnalysis::Weights() {
    if (!weights_) weights_ = LiftingWeights(basis_, layout_);
    return *weights_;
}

const Quality& LiftingAnalysis::Floor() {
    if (!floor_) {
        scratch_ = decomposed_;
        LiftBack(scratch_, basis_, layout_);
        floor_ = Measure(scratch_.View(), picture_, *columns_);
    }
    return *floor_;
}

RowResult LiftingAnalysis::Row(const RowRequest& request) {
    RowResult result;
    const std::vector<double>* weights = request.rule.kind == RuleKind::Norm ? &Weights() : nullptr;
    Rule rule = request.rule;
    if (rule.kind == RuleKind::Levels &&
        rule.epsilons.size() != static_cast<std::size_t>(layout_.pictureLevel - layout_.level))
        throw Error("Die Regel levels braucht " + FormatD(layout_.pictureLevel - layout_.level) + " Epsilon.");
    if (request.zerosPercent) {
        if (rule.kind == RuleKind::Levels) throw Error("Ein Ziel für die Nullen gibt es nur mit flat und norm.");
        rule.epsilon = EpsilonForScores(OwnDetailScores(decomposed_, layout_, weights), *request.zerosPercent);
    }
    result.rule = CopyWithRuleByElement(decomposed_, scratch_, layout_, rule, weights);
    std::optional<double> step = request.quantiseStep;
    if (request.bppTarget) {
        const RateOfStep rate(RateValuesByElement(scratch_, layout_, weights),
                              static_cast<double>(picture_.width) * picture_.height);
        step = FindStepForRate(rate, *request.bppTarget).step;
    }
    result.quantiseStep = step;
    if (request.withBands || step) result.bands = MeasureBandsByElement(scratch_, layout_);
    if (step) {
        const Quantised quantised = QuantiseByElement(scratch_.View(), layout_, *step, weights);
        result.codedCount = CountCodedByElement(quantised, result.bands);
        result.entropyBpp = EntropyPerPixel(result.bands, picture_.width, picture_.height);
    }
    LiftBack(scratch_, basis_, layout_);
    result.quality = Measure(scratch_.View(), picture_, *columns_);
    if (request.withBytes) result.bytes = ToBytes(scratch_.View(), picture_);
    return result;
}

}  // namespace tesora::analysis
