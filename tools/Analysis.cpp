#include "tools/Analysis.h"

#include <algorithm>
#include <memory>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/AnalysisParts.h"
#include "tools/Bases.h"
#include "tools/Coding.h"
#include "tools/LiftingAnalysis.h"
#include "tools/Loading.h"
#include "tools/RateDistortion.h"

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
        throw Error("Das Bild hat Level " + FormatD(square.pictureLevel) + "; zerlegt wird ab Level 2.",
                    "The picture has level " + FormatD(square.pictureLevel) + "; decompositions start at level 2.");
    parts::CheckLevels(square.pictureLevel, level);
}

}  // namespace

int PictureLevelOf(int width) { return LevelForWidth(width); }

int TransformedRows(const RedPicture& picture) {
    return std::min(picture.height, Pow2(PictureLevelOf(picture.width)) + 1);
}

namespace {

// A plane's values, row by row, into the square's transposed memory (i = x, j = y).
template <typename Value>
Coefficients ReadValues(const std::vector<Value>& values, int width, int height) {
    Coefficients square;
    square.pictureLevel = PictureLevelOf(width);
    if (width > kMaxSide || square.pictureLevel > kMaxLevel)
        throw Error("Bild zu breit: höchstens " + FormatD(kMaxSide) + " Pixel!",
                    "The picture is too wide: at most " + FormatD(kMaxSide) + " pixels.");
    if (width < 0 || height < 0 || values.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw Error("Die Rotwerte passen nicht zur Größe des Bildes.",
                    "The red values do not match the picture's size.");
    square.level = square.pictureLevel;
    square.side = Pow2(square.pictureLevel) + 1;
    square.values.assign(static_cast<std::size_t>(square.side) * static_cast<std::size_t>(square.side), 0.0);
    const int rows = std::min(height, square.side);
    for (int x = 0; x < width; ++x) {
        double* row = square.values.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(square.side);
        for (int y = 0; y < rows; ++y)
            row[y] =
                values[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    return square;
}

}  // namespace

Coefficients ReadPicture(const RedPicture& picture) { return ReadValues(picture.red, picture.width, picture.height); }

Coefficients ReadPlane(const std::vector<double>& values, int width, int height) {
    return ReadValues(values, width, height);
}

void Decompose(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
               Frontend* painter) {
    CheckSquare(square, level);
    if (level > square.level) throw Error("Die Zerlegung geht nur abwärts.", "A decomposition only goes down.");
    SilentFrontend silent;
    Frontend& frontend = painter != nullptr ? *painter : silent;
    const MatrixView view = square.View();
    while (square.level > level) {
        --square.level;
        DecomposeLevel(StepAt(square.level), filters, view, frontend, workspace);
    }
}

void Reconstruct(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
                 Frontend* painter) {
    CheckSquare(square, level);
    if (level < square.level) throw Error("Die Rekonstruktion geht nur aufwärts.", "A reconstruction only goes up.");
    SilentFrontend silent;
    Frontend& frontend = painter != nullptr ? *painter : silent;
    const MatrixView view = square.View();
    while (square.level < level) {
        ReconstructLevel(StepAt(square.level), filters, view, frontend, workspace);
        ++square.level;
    }
}

Coefficients DecomposePicture(const RedPicture& picture, const Filters& filters, int level,
                              TransformWorkspace& workspace, Padding padding) {
    Coefficients square = ReadPicture(picture);
    const int rows = std::min(picture.height, square.side);
    if (padding == Padding::Mirror && picture.width > 0 && rows > 0) MirrorPadding(square, picture.width, rows);
    Decompose(square, filters, level, workspace);
    return square;
}

AnalysedPicture::AnalysedPicture(const RedPicture& red, std::shared_ptr<const std::vector<std::uint8_t>> byColumns)
    : picture(red), columns(std::move(byColumns)) {
    if (!columns || columns->size() != red.red.size())
        columns = std::make_shared<const std::vector<std::uint8_t>>(ByColumns(red));
}

void AnalysedPicture::MeasureScratch(RowResult& result, bool withBytes) {
    result.quality = Measure(scratch.View(), picture, *columns);
    if (withBytes) result.bytes = ToBytes(scratch.View(), picture);
}

PictureAnalysis::PictureAnalysis(const RedPicture& picture, double delta, int level,
                                 std::shared_ptr<const Layout> layout,
                                 std::shared_ptr<const std::vector<std::uint8_t>> columns, Synthesis synthesis,
                                 AnalysisOptions options)
    : state_(picture, std::move(columns)),
      filters_(FiltersOf(delta)),
      layout_(std::move(layout)),
      synthesis_(synthesis),
      options_(options) {
    if (options.basis != Basis::Blac) {
        lifting_ = std::make_shared<LiftingAnalysis>(picture, options.basis, level, state_.columns);
        layout_ = std::shared_ptr<const Layout>(lifting_, &lifting_->LayoutInUse());
        return;
    }
    // Read from the columns: the matrix's order, walked in step.
    Coefficients& square = state_.decomposed;
    square = ReadPicture(RedPicture{picture.width, 0, {}});
    const int rows = std::min(picture.height, square.side);
    for (int x = 0; x < picture.width; ++x) {
        const std::uint8_t* column =
            state_.columns->data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(picture.height);
        double* row = square.values.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(square.side);
        for (int y = 0; y < rows; ++y) row[y] = column[y];
    }
    if (options.padding == Padding::Mirror && picture.width > 0 && rows > 0) MirrorPadding(square, picture.width, rows);
    Decompose(square, filters_, level, workspace_, options.padding == Padding::Zero ? options.painter : nullptr);
    options_.painter = nullptr;
    // A shared layout serves only BLaC's blocks of the same picture and level.
    if (!layout_ || layout_->level != level || layout_->width != picture.width || layout_->height != picture.height ||
        layout_->ownRuns.size() != static_cast<std::size_t>(square.pictureLevel - level))
        layout_ = std::make_shared<const Layout>(LayoutOf(square.pictureLevel, level, picture.width, picture.height));
}

PictureAnalysis::~PictureAnalysis() = default;

const Coefficients& PictureAnalysis::Decomposed() const {
    return lifting_ ? lifting_->Decomposed() : state_.decomposed;
}

const Norms& PictureAnalysis::NormsInUse() {
    if (lifting_) throw Error("Die Normen hier gehören zu BLaC.", "These norms belong to BLaC.");
    if (!norms_) norms_ = NormsOf(filters_, state_.decomposed.pictureLevel, state_.decomposed.level, synthesis_);
    return *norms_;
}

const std::vector<std::uint8_t>& PictureAnalysis::CodedInUse() {
    if (lifting_)
        throw Error("Die codierten Koeffizienten hier gehören zu BLaC.", "These coded coefficients belong to BLaC.");
    if (!coded_) coded_ = CodedMask(*layout_, filters_, synthesis_);
    return *coded_;
}

void PictureAnalysis::ReconstructScratch() {
    if (synthesis_ == Synthesis::Specified) {
        Reconstruct(state_.scratch, filters_, state_.scratch.pictureLevel, workspace_);
        return;
    }
    if (!exact_)
        exact_ = std::make_shared<const ExactLevels>(filters_, state_.decomposed.level, state_.decomposed.pictureLevel);
    ReconstructExact(state_.scratch, *exact_, state_.scratch.pictureLevel, workspace_);
}

const Quality& PictureAnalysis::Floor() {
    if (lifting_) return lifting_->Floor();
    return state_.Floor([this] { ReconstructScratch(); });
}

RowResult PictureAnalysis::Row(const RowRequest& request) {
    if (lifting_) return lifting_->Row(request);
    RowResult result;
    const Norms* norms = request.rule.kind == RuleKind::Norm ? &NormsInUse() : nullptr;
    Rule rule = request.rule;
    if (request.zerosPercent)
        rule.epsilon = EpsilonForZeros(state_.decomposed, *layout_, rule.kind, norms, *request.zerosPercent);
    parts::CheckRuleFits(rule, *layout_, norms);
    // The copy reuses the scratch square's memory from row to row.
    result.rule = parts::CopyWithRule(state_.decomposed, state_.scratch, *layout_, rule, norms);
    result.quantiseStep = request.quantiseStep;
    const std::vector<std::uint8_t>* coded = request.quantiseStep || request.bppTarget ? &CodedInUse() : nullptr;
    // The search's rate is its step's entropy to the bit; the bands' own entropies are
    // needed only when they are shown.
    std::optional<double> searchedRate;
    if (request.bppTarget) {
        const RateOfStep rate(BandRateValues(state_.scratch, *layout_, norms, coded),
                              static_cast<double>(state_.picture.width) * state_.picture.height);
        const StepForRate found = FindStepForRate(rate, *request.bppTarget);
        result.quantiseStep = found.step;
        if (!request.withBands) searchedRate = found.rate;
    }
    // The bands as the rule left them, then the entropy of the quantised values.
    if (request.withBands || (result.quantiseStep && !searchedRate))
        result.bands = MeasureBands(state_.scratch, *layout_);
    if (result.quantiseStep) {
        // What is not coded costs no bits, so the reconstruction must not use it either.
        ZeroUncoded(state_.scratch.View(), *coded);
        const Quantised quantised = Quantise(state_.scratch.View(), *layout_, *result.quantiseStep, norms, coded);
        long long codedCount = 0;
        for (std::size_t b = 0; b < quantised.values.size(); ++b) {
            const std::vector<double>& q = quantised.values[b];
            codedCount += static_cast<long long>(q.size());
            if (searchedRate) continue;
            result.bands[b].codedCount = static_cast<long long>(q.size());
            result.bands[b].entropyBits = static_cast<double>(q.size()) * EntropyBits(q);
        }
        result.codedCount = codedCount;
        result.entropyBpp =
            searchedRate ? *searchedRate : EntropyPerPixel(result.bands, state_.picture.width, state_.picture.height);
    }
    ReconstructScratch();
    state_.MeasureScratch(result, request.withBytes);
    return result;
}

}  // namespace tesora::analysis
