#include "python/Decomposition.h"

#include <pybind11/stl.h>

#include "blac/Bank.h"
#include "matrix/Numbers.h"
#include "python/Compress.h"
#include "tools/Bases.h"
#include "tools/Coding.h"
#include "tools/Reduction.h"

namespace tesora::python {
namespace {

using namespace pybind11::literals;

// A reconstruction's square, kept per thread as the workspace: a result is read out of
// it before the thread's next call.
analysis::Coefficients& ThreadSquare() {
    thread_local analysis::Coefficients square;
    return square;
}

py::array_t<bool> Mask(const std::vector<std::uint8_t>& mask, int side) {
    py::array_t<bool> array({side, side});
    bool* out = array.mutable_data();
    for (std::size_t e = 0; e < mask.size(); ++e) out[e] = mask[e] != 0;
    return array;
}

}  // namespace

TransformWorkspace& ThreadWorkspace() {
    thread_local TransformWorkspace workspace;
    return workspace;
}

Decomposition::Decomposition(analysis::RedPicture picture, const DeltaChoice& delta, int level, Basis basis)
    : picture_(std::move(picture)), delta_(delta), basis_(basis) {
    Unlocked([&] {
        filters_ = FiltersOf(delta_.delta);
        if (Lifting()) {
            layout_ = analysis::LiftingLayoutOf(analysis::PictureLevelOf(picture_.width), level, picture_.width,
                                                picture_.height);
            square_ = analysis::LiftPicture(picture_, basis_, layout_);
        } else {
            square_ = analysis::DecomposePicture(picture_, filters_, level, ThreadWorkspace());
            layout_ = analysis::LayoutOf(square_.pictureLevel, level, picture_.width, picture_.height);
        }
        return 0;
    });
}

py::array_t<double> Decomposition::Matrix() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return MatrixArray(square_);
}

py::array_t<std::int32_t> Decomposition::Bands() const {
    py::array_t<std::int32_t> array({layout_.side, layout_.side});
    std::int32_t* out = array.mutable_data();
    for (std::size_t e = 0; e < layout_.band.size(); ++e)
        out[e] = layout_.band[e] == analysis::Layout::kNoBand ? -1 : layout_.band[e];
    return array;
}

py::list Decomposition::Legend() const {
    py::list legend;
    for (const analysis::Band& band : layout_.bands)
        legend.append(py::make_tuple(band.level, analysis::BandKindName(band.kind)));
    return legend;
}

py::array_t<bool> Decomposition::Own() const { return Mask(layout_.own, layout_.side); }

py::dict Decomposition::Reduce(const py::object& epsilon, const py::object& zeros, const std::string& ruleName,
                               const py::object& epsilons) {
    analysis::Rule rule;
    rule.kind = RuleKindOf(ruleName);
    std::optional<double> target;
    analysis::RuleAsked asked{rule.kind, !epsilon.is_none(), !zeros.is_none(), std::nullopt, true};
    if (!epsilons.is_none()) asked.epsilons = 0;  // counted once read
    RefuseBadRule(asked, std::nullopt);
    if (rule.kind == analysis::RuleKind::Levels) {
        rule.epsilons = LevelEpsilons(epsilons, layout_.pictureLevel - layout_.level, asked);
    } else {
        if (!epsilon.is_none()) rule.epsilon = RequireNumber(epsilon, "epsilon", 0.0, true);
        if (!zeros.is_none()) {
            const double z = RequireNumber(zeros, "zeros", 0.0, false);
            if (!(z > 0.0 && z <= 100.0))
                Refuse("zeros is a share in percent, above 0 and at most 100, got " + FormatG(z));
            target = z;
        }
    }
    const bool norm = rule.kind == analysis::RuleKind::Norm;
    const analysis::RuleResult result = Unlocked([&] {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (Lifting()) {
            const std::vector<double>* weights = norm ? &WeightsLocked() : nullptr;
            if (target)
                rule.epsilon =
                    analysis::EpsilonForScores(analysis::OwnDetailScores(square_, layout_, weights), *target);
            return analysis::CopyWithRuleByElement(square_, square_, layout_, rule, weights);
        }
        const analysis::Norms* norms = norm ? &NormsLocked() : nullptr;
        if (target) rule.epsilon = analysis::EpsilonForZeros(square_, layout_, rule.kind, norms, *target);
        return analysis::ApplyRule(square_, layout_, rule, norms);
    });
    return RuleDict(result, layout_.pictureLevel);
}

py::dict Decomposition::Quantise(const py::object& step, const std::string& ruleName, const std::string& synthesis) {
    const double q = RequireNumber(step, "q", 0.0, false);
    if (!(q > 0.0)) Refuse("q must be above 0");
    const analysis::RuleKind kind = RuleKindOf(ruleName);
    if (kind == analysis::RuleKind::Levels) Refuse("quantise takes the rule \"flat\" or \"norm\"");
    const Synthesis s = SynthesisOf(synthesis);
    const bool norm = kind == analysis::RuleKind::Norm;
    const double bpp = Unlocked([&] {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (Lifting()) {
            const analysis::Quantised quantised =
                analysis::QuantiseByElement(square_.View(), layout_, q, norm ? &WeightsLocked() : nullptr);
            std::vector<analysis::BandFigures> bands = analysis::MeasureBandsByElement(square_, layout_);
            analysis::CountCodedByElement(quantised, bands);
            return analysis::EntropyPerPixel(bands, picture_.width, picture_.height);
        }
        std::optional<analysis::Norms> exactNorms;
        if (norm && s == Synthesis::Exact)
            exactNorms = analysis::NormsOf(filters_, layout_.pictureLevel, layout_.level, s);
        const analysis::Norms* norms = !norm ? nullptr : exactNorms ? &*exactNorms : &NormsLocked();
        // As the command-line tool: what is not coded is dropped, the rest counted.
        const std::vector<std::uint8_t> coded = analysis::CodedMask(layout_, filters_, s);
        analysis::ZeroUncoded(square_.View(), coded);
        const analysis::Quantised quantised = analysis::Quantise(square_.View(), layout_, q, norms, &coded);
        return analysis::EntropyPerPixel(analysis::MeasureBands(square_, layout_, &quantised), picture_.width,
                                         picture_.height);
    });
    return py::dict("entropy_bpp"_a = bpp);
}

py::list Decomposition::BandFigures() {
    const std::vector<analysis::BandFigures> figures = Unlocked([&] {
        const std::lock_guard<std::mutex> lock(mutex_);
        return Lifting() ? analysis::MeasureBandsByElement(square_, layout_) : analysis::MeasureBands(square_, layout_);
    });
    py::list list;
    for (const analysis::BandFigures& f : figures)
        list.append(py::dict("level"_a = f.band.level, "kind"_a = analysis::BandKindName(f.band.kind),
                             "own_count"_a = f.ownCount, "zeros"_a = f.zeros, "energy"_a = f.energy,
                             "max_abs"_a = f.maxAbs));
    return list;
}

py::array_t<bool> Decomposition::Coded(const std::string& synthesis) {
    const Synthesis s = SynthesisOf(synthesis);
    // A lifting basis's functions all stay inside the picture: its own coefficients are the coded ones.
    if (Lifting()) return Own();
    return Mask(Unlocked([&] { return analysis::CodedMask(layout_, filters_, s); }), layout_.side);
}

py::array_t<double> Decomposition::Reconstruct(const std::string& synthesis) {
    const Synthesis s = SynthesisOf(synthesis);
    // The array first: making it may run Python code, which may use this thread's square.
    py::array_t<double> array({picture_.height, picture_.width});
    double* out = array.mutable_data();
    const analysis::Coefficients& rebuilt = Rebuilt(s);
    const int rows = analysis::TransformedRows(picture_);
    const auto width = static_cast<std::size_t>(picture_.width);
    for (int y = 0; y < picture_.height; ++y)
        for (int x = 0; x < picture_.width; ++x)
            out[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
                y < rows ? rebuilt.At(x, y) : picture_.At(x, y);
    return array;
}

py::array_t<std::uint8_t> Decomposition::ToBytes(const std::string& synthesis) {
    analysis::Coefficients& rebuilt = Rebuilt(SynthesisOf(synthesis));
    return BytesArray(analysis::ToBytes(rebuilt.View(), picture_), picture_.width, picture_.height);
}

py::dict Decomposition::Quality(const std::string& synthesis) {
    analysis::Coefficients& rebuilt = Rebuilt(SynthesisOf(synthesis));
    return QualityDict(analysis::Measure(rebuilt.View(), picture_));
}

py::object Decomposition::Delta() const { return Lifting() ? py::object(py::none()) : py::float_(delta_.delta); }

py::object Decomposition::Position() const {
    return delta_.position ? py::object(py::int_(*delta_.position)) : py::object(py::none());
}

std::string Decomposition::Repr() const {
    return "tesora.Decomposition(" + std::to_string(picture_.width) + "x" + std::to_string(picture_.height) +
           " pixels, level " + std::to_string(layout_.level) + " of " + std::to_string(layout_.pictureLevel) + ", " +
           (Lifting() ? std::string("basis ") + BasisName(basis_)
                      : "delta " + py::repr(py::float_(delta_.delta)).cast<std::string>()) +
           ")";
}

Synthesis Decomposition::SynthesisOf(const std::string& synthesis) const {
    const Synthesis s = SynthesisArgument(synthesis);
    if (Lifting() && s != Synthesis::Specified)
        Refuse(std::string("synthesis \"") + SynthesisName(s) + "\" belongs to BLaC, not to the basis \"" +
               BasisName(basis_) + "\"");
    return s;
}

const analysis::Norms& Decomposition::NormsLocked() {
    if (!norms_) norms_ = analysis::NormsOf(filters_, layout_.pictureLevel, layout_.level);
    return *norms_;
}

const std::vector<double>& Decomposition::WeightsLocked() {
    if (!weights_) weights_ = analysis::LiftingWeights(basis_, layout_);
    return *weights_;
}

// A copy of the coefficients taken up to the picture's level, in the thread's square.
analysis::Coefficients& Decomposition::Rebuilt(Synthesis synthesis) {
    return *Unlocked([&] {
        const std::lock_guard<std::mutex> lock(mutex_);
        analysis::Coefficients& copy = ThreadSquare();
        copy = square_;
        if (Lifting())
            analysis::LiftBack(copy, basis_, layout_);
        else
            analysis::Reconstruct(copy, filters_, copy.pictureLevel, ThreadWorkspace(), synthesis);
        return &copy;
    });
}

}  // namespace tesora::python
