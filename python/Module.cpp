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
#include "python/Decomposition.h"
#include "picture/PictureFile.h"
#include "python/Arguments.h"
#include "python/Rates.h"
#include "python/Study.h"
#include "report/DataText.h"
#include "tools/Analysis.h"
#include "tools/Coding.h"
#include "tools/DeltaProposal.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora::python {
namespace {

using namespace pybind11::literals;

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
        [](const py::object& path, bool fit) {
            const analysis::RedPicture picture = ReadPictureFile(PathBytes(path), fit);
            return BytesArray(picture.red, picture.width, picture.height);
        },
        "path"_a, py::kw_only(), "fit"_a = false);

    py::class_<Decomposition>(m, "Decomposition")
        .def(
            py::init([](const py::object& picture, const py::object& level, const py::object& steps,
                        const py::object& delta, const py::object& position, const py::object& basis) {
                const Basis b = BasisArgument(TextArgument(basis, "basis"));
                if (b != Basis::Blac && !(delta.is_none() && position.is_none()))
                    Refuse("delta and position belong to BLaC, not to the basis \"" + std::string(BasisName(b)) + "\"");
                analysis::RedPicture red = PictureArgument(picture);
                const DeltaChoice choice = ChooseDelta(delta, position);
                const int chosen = ChooseLevel(level, steps, analysis::PictureLevelOf(red.width));
                return std::make_unique<Decomposition>(std::move(red), choice, chosen, b);
            }),
            "picture"_a, py::kw_only(), "level"_a = py::none(), "steps"_a = py::none(), "delta"_a = py::none(),
            "position"_a = py::none(), "basis"_a = "blac")
        .def_property_readonly("matrix", &Decomposition::Matrix)
        .def_property_readonly("bands", &Decomposition::Bands)
        .def_property_readonly("legend", &Decomposition::Legend)
        .def_property_readonly("own", &Decomposition::Own)
        .def("coded", &Decomposition::Coded, py::kw_only(), "synthesis"_a = "specified")
        .def_property_readonly("level", &Decomposition::Level)
        .def_property_readonly("picture_level", &Decomposition::PictureLevel)
        .def_property_readonly("delta", &Decomposition::Delta)
        .def_property_readonly("position", &Decomposition::Position)
        .def_property_readonly("basis", &Decomposition::BasisText)
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
    BindStudy(m);
}
