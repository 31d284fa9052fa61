// The extension _tesora: the core's value road for Python. Everything a call needs is
// copied out of Python objects first; the transforms then run with the interpreter's
// lock released, on values and workspaces of their own, never on the program's state.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TesoraVersion.h"
#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "python/Codec.h"
#include "python/Compress.h"
#include "picture/PictureFile.h"
#include "python/Arguments.h"
#include "python/Rates.h"
#include "report/DataText.h"
#include "tools/Analysis.h"
#include "tools/Coding.h"
#include "tools/DeltaProposal.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora::python {
namespace {

// The transforms' scratch memory, kept per calling thread from call to call: fresh
// buffers of a 1025-wide picture cost more in page faults than the transform itself.
// Threads never share one, so calls stay re-entrant.
TransformWorkspace& ThreadWorkspace() {
    thread_local TransformWorkspace workspace;
    return workspace;
}
// A reconstruction's square, kept the same way: a result is read out of it before the
// thread's next call.
analysis::Coefficients& ThreadSquare() {
    thread_local analysis::Coefficients square;
    return square;
}

using namespace pybind11::literals;

// The coefficients of one picture at one level, and what has been done to them. One
// lock per decomposition: two threads may share one without tearing it.
class Decomposition {
public:
    Decomposition(analysis::RedPicture picture, const DeltaChoice& delta, int level)
        : picture_(std::move(picture)), delta_(delta) {
        Unlocked([&] {
            filters_ = FiltersOf(delta_.delta);
            square_ = analysis::DecomposePicture(picture_, filters_, level, ThreadWorkspace());
            layout_ = analysis::LayoutOf(square_.pictureLevel, level, picture_.width, picture_.height);
            return 0;
        });
    }

    py::array_t<double> Matrix() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return MatrixArray(square_);
    }

    py::array_t<std::int32_t> Bands() const {
        py::array_t<std::int32_t> array({layout_.side, layout_.side});
        std::int32_t* out = array.mutable_data();
        for (std::size_t e = 0; e < layout_.band.size(); ++e)
            out[e] = layout_.band[e] == analysis::Layout::kNoBand ? -1 : layout_.band[e];
        return array;
    }

    py::list Legend() const {
        py::list legend;
        for (const analysis::Band& band : layout_.bands)
            legend.append(py::make_tuple(band.level, analysis::BandKindName(band.kind)));
        return legend;
    }

    py::array_t<bool> Own() const {
        py::array_t<bool> array({layout_.side, layout_.side});
        bool* out = array.mutable_data();
        for (std::size_t e = 0; e < layout_.own.size(); ++e) out[e] = layout_.own[e] != 0;
        return array;
    }

    py::dict Reduce(const py::object& epsilon, const py::object& zeros, const std::string& ruleName,
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
        const analysis::RuleResult result = Unlocked([&] {
            const std::lock_guard<std::mutex> lock(mutex_);
            const analysis::Norms* norms = rule.kind == analysis::RuleKind::Norm ? &NormsLocked() : nullptr;
            if (target) rule.epsilon = analysis::EpsilonForZeros(square_, layout_, rule.kind, norms, *target);
            return analysis::ApplyRule(square_, layout_, rule, norms);
        });
        return RuleDict(result, layout_.pictureLevel);
    }

    py::dict Quantise(const py::object& step, const std::string& ruleName, const std::string& synthesis) {
        const double q = RequireNumber(step, "q", 0.0, false);
        if (!(q > 0.0)) Refuse("q must be above 0");
        const analysis::RuleKind kind = RuleKindOf(ruleName);
        if (kind == analysis::RuleKind::Levels) Refuse("quantise takes the rule \"flat\" or \"norm\"");
        const Synthesis s = SynthesisArgument(synthesis);
        const double bpp = Unlocked([&] {
            const std::lock_guard<std::mutex> lock(mutex_);
            std::optional<analysis::Norms> exactNorms;
            if (kind == analysis::RuleKind::Norm && s == Synthesis::Exact)
                exactNorms = analysis::NormsOf(filters_, layout_.pictureLevel, layout_.level, s);
            const analysis::Norms* norms = kind != analysis::RuleKind::Norm ? nullptr
                                           : exactNorms                     ? &*exactNorms
                                                                            : &NormsLocked();
            // As the command-line tool: what is not coded is dropped, the rest counted.
            const std::vector<std::uint8_t> coded = analysis::CodedMask(layout_, filters_, s);
            analysis::ZeroUncoded(square_.View(), coded);
            const analysis::Quantised quantised = analysis::Quantise(square_.View(), layout_, q, norms, &coded);
            return analysis::EntropyPerPixel(analysis::MeasureBands(square_, layout_, &quantised), picture_.width,
                                             picture_.height);
        });
        return py::dict("entropy_bpp"_a = bpp);
    }

    py::list BandFigures() {
        const std::vector<analysis::BandFigures> figures = Unlocked([&] {
            const std::lock_guard<std::mutex> lock(mutex_);
            return analysis::MeasureBands(square_, layout_);
        });
        py::list list;
        for (const analysis::BandFigures& f : figures)
            list.append(py::dict("level"_a = f.band.level, "kind"_a = analysis::BandKindName(f.band.kind),
                                 "own_count"_a = f.ownCount, "zeros"_a = f.zeros, "energy"_a = f.energy,
                                 "max_abs"_a = f.maxAbs));
        return list;
    }

    py::array_t<bool> Coded(const std::string& synthesis) {
        const Synthesis s = SynthesisArgument(synthesis);
        const std::vector<std::uint8_t> coded = Unlocked([&] { return analysis::CodedMask(layout_, filters_, s); });
        py::array_t<bool> array({layout_.side, layout_.side});
        bool* out = array.mutable_data();
        for (std::size_t e = 0; e < coded.size(); ++e) out[e] = coded[e] != 0;
        return array;
    }

    py::array_t<double> Reconstruct(const std::string& synthesis) {
        const Synthesis s = SynthesisArgument(synthesis);
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

    py::array_t<std::uint8_t> ToBytes(const std::string& synthesis) {
        analysis::Coefficients& rebuilt = Rebuilt(SynthesisArgument(synthesis));
        return BytesArray(analysis::ToBytes(rebuilt.View(), picture_), picture_.width, picture_.height);
    }

    py::dict Quality(const std::string& synthesis) {
        analysis::Coefficients& rebuilt = Rebuilt(SynthesisArgument(synthesis));
        return QualityDict(analysis::Measure(rebuilt.View(), picture_));
    }

    int Level() const { return layout_.level; }
    int PictureLevel() const { return layout_.pictureLevel; }
    double Delta() const { return delta_.delta; }
    py::object Position() const {
        return delta_.position ? py::object(py::int_(*delta_.position)) : py::object(py::none());
    }
    int Width() const { return picture_.width; }
    int Height() const { return picture_.height; }
    py::array_t<std::uint8_t> Picture() const { return BytesArray(picture_.red, picture_.width, picture_.height); }

    std::string Repr() const {
        return "tesora.Decomposition(" + std::to_string(picture_.width) + "x" + std::to_string(picture_.height) +
               " pixels, level " + std::to_string(layout_.level) + " of " + std::to_string(layout_.pictureLevel) +
               ", delta " + cli_shortest(delta_.delta) + ")";
    }

private:
    static std::string cli_shortest(double v) { return py::repr(py::float_(v)).cast<std::string>(); }

    const analysis::Norms& NormsLocked() {
        if (!norms_) norms_ = analysis::NormsOf(filters_, layout_.pictureLevel, layout_.level);
        return *norms_;
    }

    // A copy of the coefficients taken up to the picture's level, in the thread's square.
    analysis::Coefficients& Rebuilt(Synthesis synthesis) {
        return *Unlocked([&] {
            const std::lock_guard<std::mutex> lock(mutex_);
            analysis::Coefficients& copy = ThreadSquare();
            copy = square_;
            analysis::Reconstruct(copy, filters_, copy.pictureLevel, ThreadWorkspace(), synthesis);
            return &copy;
        });
    }

    analysis::RedPicture picture_;
    DeltaChoice delta_;
    Filters filters_;
    analysis::Coefficients square_;
    analysis::Layout layout_;
    std::optional<analysis::Norms> norms_;
    std::mutex mutex_;
};

// A picture argument: an array, or a path to open as the command-line tool does.
analysis::RedPicture PictureArgument(const py::object& picture) {
    if (IsPath(picture)) return ReadPictureFile(PathBytes(picture, "picture path"));
    return PictureFrom(picture);
}

py::dict FiltersDict(const py::object& delta, const py::object& position) {
    const DeltaChoice choice = ChooseDelta(delta, position);
    const tesora::Filters f = Unlocked([&] { return FiltersOf(choice.delta); });
    auto array = [](const double* values, py::ssize_t count) {
        py::array_t<double> a(count);
        std::copy(values, values + count, a.mutable_data());
        return a;
    };
    return py::dict("position"_a = choice.position ? py::object(py::int_(*choice.position)) : py::object(py::none()),
                    "delta"_a = f.delta, "wavelet_left"_a = array(f.left, 4), "wavelet_inner"_a = array(f.inner, 5),
                    "wavelet_right"_a = array(f.right, 4), "one_minus_half_delta"_a = f.oneMinusHalfDelta,
                    "half_delta"_a = f.halfDelta);
}

py::array_t<double> Synthesise(const py::object& matrix, const py::object& level, const py::object& pictureLevel,
                               const py::object& delta, const py::object& position, const py::object& width,
                               const py::object& height, const std::string& synthesis) {
    const Synthesis s = SynthesisArgument(synthesis);
    const int P = RequireInt(pictureLevel, "picture_level");
    analysis::Coefficients square = SquareFrom(matrix, P, RequireInt(level, "level"));
    const DeltaChoice choice = ChooseDelta(delta, position);
    const int w = width.is_none() ? square.side : RequireInt(width, "width");
    const int h = height.is_none() ? square.side : RequireInt(height, "height");
    if (w < 1 || w > square.side || h < 1 || h > square.side)
        Refuse("width and height must lie in 1 ... " + std::to_string(square.side) + ", got " + std::to_string(w) +
               " x " + std::to_string(h));
    Unlocked([&] {
        analysis::Reconstruct(square, FiltersOf(choice.delta), P, ThreadWorkspace(), s);
        return 0;
    });
    RequireFinite(square.values, "the reconstruction");
    py::array_t<double> array({h, w});
    double* out = array.mutable_data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                square.At(x, y);
    return array;
}

py::array_t<std::uint8_t> ToBytes(const py::object& values) {
    // Values of a reconstruction: no more than the largest picture holds.
    const auto v = Float2D(values, "values", kMaxSide, kMaxPicturePixels);
    py::array_t<std::uint8_t> bytes({v.shape(0), v.shape(1)});
    std::uint8_t* out = bytes.mutable_data();
    for (py::ssize_t e = 0; e < v.size(); ++e) out[e] = static_cast<std::uint8_t>(ClampToByte(v.data()[e]));
    return bytes;
}

py::dict ProposalDict(const py::object& picture, const py::object& schranke, const py::object& position) {
    const double bound = RequireNumber(schranke, "schranke", -INFINITY, true);
    const DeltaChoice start = ChooseDelta(py::none(), position);
    py::object name = py::none();
    if (IsPath(picture)) name = py::module_::import("os").attr("fspath")(picture);
    const analysis::RedPicture red = PictureArgument(picture);
    const Proposal proposal = Unlocked([&] { return Propose(red, bound, start.position.value_or(0)); });
    return py::dict("format"_a = report::kDataFormat, "picture"_a = name, "schranke"_a = Finite(bound),
                    "difference_sum_below"_a = Finite(proposal.sums.below),
                    "difference_sum_total"_a = Finite(proposal.sums.total), "position"_a = proposal.position,
                    "delta"_a = proposal.delta,
                    "labels"_a = py::dict("lab_delta_vorgeschlagen"_a = proposal.label,
                                          "lab_delta"_a = "Delta: " + FormatG(proposal.shownDelta)));
}

}  // namespace
}  // namespace tesora::python

using namespace tesora;
using namespace tesora::python;
using namespace pybind11::literals;

PYBIND11_MODULE(_tesora, m) {
    m.doc() = "BLaC wavelets: the coefficients of Tesora's multi-resolution analysis as numpy arrays.";
    m.attr("__version__") = TESORA_VERSION;
    m.attr("MAX_WIDTH") = kMaxSide;

    m.def("filters", &FiltersDict, "delta"_a = py::none(), py::kw_only(), "position"_a = py::none());
    m.def(
        "read_picture",
        [](const py::object& path) {
            const analysis::RedPicture picture = ReadPictureFile(PathBytes(path));
            return BytesArray(picture.red, picture.width, picture.height);
        },
        "path"_a);

    py::class_<Decomposition>(m, "Decomposition")
        .def(py::init([](const py::object& picture, const py::object& level, const py::object& steps,
                         const py::object& delta, const py::object& position) {
                 analysis::RedPicture red = PictureArgument(picture);
                 const DeltaChoice choice = ChooseDelta(delta, position);
                 const int chosen = ChooseLevel(level, steps, analysis::PictureLevelOf(red.width));
                 return std::make_unique<Decomposition>(std::move(red), choice, chosen);
             }),
             "picture"_a, py::kw_only(), "level"_a = py::none(), "steps"_a = py::none(), "delta"_a = py::none(),
             "position"_a = py::none())
        .def_property_readonly("matrix", &Decomposition::Matrix)
        .def_property_readonly("bands", &Decomposition::Bands)
        .def_property_readonly("legend", &Decomposition::Legend)
        .def_property_readonly("own", &Decomposition::Own)
        .def("coded", &Decomposition::Coded, py::kw_only(), "synthesis"_a = "specified")
        .def_property_readonly("level", &Decomposition::Level)
        .def_property_readonly("picture_level", &Decomposition::PictureLevel)
        .def_property_readonly("delta", &Decomposition::Delta)
        .def_property_readonly("position", &Decomposition::Position)
        .def_property_readonly("width", &Decomposition::Width)
        .def_property_readonly("height", &Decomposition::Height)
        .def_property_readonly("picture", &Decomposition::Picture)
        .def("reduce", &Decomposition::Reduce, "epsilon"_a = py::none(), py::kw_only(), "zeros"_a = py::none(),
             "rule"_a = "flat", "epsilons"_a = py::none())
        .def("quantise", &Decomposition::Quantise, "q"_a, py::kw_only(), "rule"_a = "flat", "synthesis"_a = "specified")
        .def("band_figures", &Decomposition::BandFigures)
        .def("reconstruct", &Decomposition::Reconstruct, py::kw_only(), "synthesis"_a = "specified")
        .def("to_bytes", &Decomposition::ToBytes, py::kw_only(), "synthesis"_a = "specified")
        .def("quality", &Decomposition::Quality, py::kw_only(), "synthesis"_a = "specified")
        .def("__repr__", &Decomposition::Repr);

    m.def("synthesise", &Synthesise, "matrix"_a, py::kw_only(), "level"_a, "picture_level"_a, "delta"_a = py::none(),
          "position"_a = py::none(), "width"_a = py::none(), "height"_a = py::none(), "synthesis"_a = "specified");
    m.def("to_bytes", &ToBytes, "values"_a);
    m.def(
        "compress",
        [](const py::object& picture, const py::kwargs& settings) {
            py::object name = py::none();
            if (IsPath(picture)) name = py::module_::import("os").attr("fspath")(picture);
            return Compress(PictureArgument(picture), name, settings);
        },
        "picture"_a);
    m.def("propose_delta", &ProposalDict, "picture"_a, py::kw_only(), "schranke"_a = 50.0, "position"_a = py::none());
    m.def(
        "encode",
        [](const py::object& picture, const py::object& bpp, const py::object& size, const py::object& quantise,
           const py::object& delta, const py::object& position, int steps, const std::string& rule, bool colour,
           const std::string& basis, const std::string& synthesis) {
            const EncodeOptions options{bpp, size, quantise, delta, position, steps, rule, basis, synthesis};
            if (colour) return Encode(ColourPlanes(picture), options);
            return Encode({PictureArgument(picture)}, options);
        },
        "picture"_a, py::kw_only(), "bpp"_a = py::none(), "size"_a = py::none(), "quantise"_a = py::none(),
        "delta"_a = py::none(), "position"_a = py::none(), "steps"_a = 5, "rule"_a = "norm", "colour"_a = false,
        "basis"_a = "blac", "synthesis"_a = "specified");
    m.def("decode", &Decode, "data"_a);
    BindRates(m);
}
