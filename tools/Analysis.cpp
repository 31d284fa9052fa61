#include "tools/Analysis.h"

#include <algorithm>
#include <memory>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/AnalysisParts.h"
#include "tools/Loading.h"

namespace tesora::analysis {
namespace {

using parts::Pow2;

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

void CheckSquare(const Coefficients& square, int level) {
    if (square.pictureLevel < 2 || square.pictureLevel > kMaxLevel)
        throw Error("Das Bild hat Level " + FormatD(square.pictureLevel) + "; zerlegt wird ab Level 2.");
    parts::CheckLevels(square.pictureLevel, level);
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

PictureAnalysis::PictureAnalysis(const RedPicture& picture, double delta, int level,
                                 std::shared_ptr<const Layout> layout,
                                 std::shared_ptr<const std::vector<std::uint8_t>> columns)
    : picture_(picture), filters_(FiltersOf(delta)), columns_(std::move(columns)), layout_(std::move(layout)) {
    if (!columns_ || columns_->size() != picture.red.size())
        columns_ = std::make_shared<const std::vector<std::uint8_t>>(ByColumns(picture));
    // Read from the columns: the matrix's order, walked in step.
    decomposed_ = ReadPicture(RedPicture{picture.width, 0, {}});
    const int rows = std::min(picture.height, decomposed_.side);
    for (int x = 0; x < picture.width; ++x) {
        const std::uint8_t* column =
            columns_->data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(picture.height);
        double* row =
            decomposed_.values.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(decomposed_.side);
        for (int y = 0; y < rows; ++y) row[y] = column[y];
    }
    Decompose(decomposed_, filters_, level, workspace_);
    if (!layout_ || layout_->level != level || layout_->width != picture.width || layout_->height != picture.height)
        layout_ =
            std::make_shared<const Layout>(LayoutOf(decomposed_.pictureLevel, level, picture.width, picture.height));
}

const Norms& PictureAnalysis::NormsInUse() {
    if (!norms_) norms_ = NormsOf(filters_, decomposed_.pictureLevel, decomposed_.level);
    return *norms_;
}

const Quality& PictureAnalysis::Floor() {
    if (!floor_) {
        scratch_ = decomposed_;
        Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
        floor_ = Measure(scratch_.View(), picture_, *columns_);
    }
    return *floor_;
}

RowResult PictureAnalysis::Row(const RowRequest& request) {
    RowResult result;
    const Norms* norms = request.rule.kind == RuleKind::Norm ? &NormsInUse() : nullptr;
    Rule rule = request.rule;
    if (request.zerosPercent)
        rule.epsilon = EpsilonForZeros(decomposed_, *layout_, rule.kind, norms, *request.zerosPercent);
    parts::CheckRuleFits(rule, *layout_, norms);
    // The copy reuses the scratch square's memory from row to row.
    result.rule = parts::CopyWithRule(decomposed_, scratch_, *layout_, rule, norms);
    // The bands as the rule left them, then the entropy of the quantised values.
    if (request.withBands || request.quantiseStep) result.bands = MeasureBands(scratch_, *layout_);
    if (request.quantiseStep) {
        const Quantised quantised = Quantise(scratch_.View(), *layout_, *request.quantiseStep, norms);
        for (std::size_t b = 0; b < result.bands.size(); ++b)
            result.bands[b].entropyBits =
                static_cast<double>(result.bands[b].ownCount) * EntropyBits(quantised.ownValues[b]);
        result.entropyBpp = EntropyPerPixel(result.bands, picture_.width, picture_.height);
    }
    Reconstruct(scratch_, filters_, scratch_.pictureLevel, workspace_);
    result.quality = Measure(scratch_.View(), picture_, *columns_);
    if (request.withBytes) result.bytes = ToBytes(scratch_.View(), picture_);
    return result;
}

}  // namespace tesora::analysis
