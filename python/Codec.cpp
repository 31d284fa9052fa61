#include "python/Codec.h"

#include <cmath>
#include <optional>

#include "blac/Bank.h"
#include "codec/Colour.h"
#include "codec/PictureCodec.h"
#include "mra/Lifting.h"
#include "matrix/Error.h"
#include "python/Arguments.h"

namespace tesora::python {

namespace {

std::optional<double> Number(const py::object& value, const char* name) {
    if (value.is_none()) return std::nullopt;
    if (!py::isinstance<py::int_>(value) && !py::isinstance<py::float_>(value))
        throw py::type_error(std::string(name) + " must be a number");
    return value.cast<double>();
}

}  // namespace

std::vector<analysis::RedPicture> ColourPlanes(const py::handle& picture) {
    const py::array given = py::array::ensure(picture);
    if (!given || given.ndim() != 3 || given.shape(2) != 3)
        Refuse("a colour picture must be an array of height x width x 3 (RGB)");
    const py::ssize_t height = given.shape(0), width = given.shape(1);
    if (width < 1 || height < 1 || width > kMaxSide || height > 4096)
        Refuse("a colour picture must be 1 ... " + std::to_string(kMaxSide) + " wide and 1 ... 4096 high");
    const auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(given);
    if (!values) Refuse("a colour picture must hold numbers");
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> rgb(3 * count);
    const double* v = values.data();
    for (std::size_t n = 0; n < rgb.size(); ++n) {
        if (!(v[n] >= 0.0 && v[n] <= 255.0 && std::floor(v[n]) == v[n]))
            Refuse("a colour picture's values must be whole numbers 0 ... 255");
        rgb[n] = static_cast<std::uint8_t>(v[n]);
    }
    std::vector<analysis::RedPicture> planes(
        3, analysis::RedPicture{static_cast<int>(width), static_cast<int>(height), std::vector<std::uint8_t>(count)});
    for (std::size_t n = 0; n < count; ++n)
        for (std::size_t c = 0; c < 3; ++c) planes[c].red[n] = rgb[3 * n + c];
    return planes;  // R, G, B: the codec makes Y, Cb and Cr of them
}

py::bytes Encode(const std::vector<analysis::RedPicture>& planes, const EncodeOptions& options) {
    const std::optional<double> b = Number(options.bpp, "bpp"), n = Number(options.size, "size"),
                                q = Number(options.quantise, "quantise");
    if (int{b.has_value()} + int{n.has_value()} + int{q.has_value()} != 1)
        Refuse("give exactly one of bpp, size and quantise");
    if (options.rule != "norm" && options.rule != "flat") Refuse("rule must be \"norm\" or \"flat\"");
    if (options.steps < 1 || options.steps > 8) Refuse("steps must be 1 ... 8");
    const std::optional<Basis> basis = ParseBasis(options.basis);
    if (!basis) Refuse("basis must be \"blac\", \"haar\", \"cdf53\" or \"cdf97\"");
    codec::EncodeRequest request;
    request.basis = static_cast<codec::Basis>(*basis);  // the format's codes follow the core's order
    request.synthesis = SynthesisArgument(options.synthesis) == Synthesis::Exact ? codec::Synthesis::Exact
                                                                                 : codec::Synthesis::Specified;
    if (*basis != Basis::Blac &&
        (!options.delta.is_none() || !options.position.is_none() || request.synthesis != codec::Synthesis::Specified))
        Refuse("delta, position and synthesis belong to the blac basis");
    request.delta = ChooseDelta(options.delta, options.position).delta;
    request.steps = options.steps;
    request.rule = options.rule == "norm" ? codec::RuleCode::Norm : codec::RuleCode::Flat;
    const double pixels = static_cast<double>(planes.front().width) * planes.front().height;
    if (b && !(*b > 0.0 && *b <= 64.0)) Refuse("bpp must be above 0 and at most 64");
    if (n && !(*n >= 1.0 && *n <= 1e9 && std::floor(*n) == *n)) Refuse("size must be a whole number of bytes");
    if (q && !(*q > 0.0 && std::isfinite(*q))) Refuse("quantise must be a step above 0");
    if (b) request.bytes = static_cast<std::size_t>(std::floor(*b * pixels / 8.0));
    if (n) request.bytes = static_cast<std::size_t>(*n);
    if (q) request.step = *q;
    std::vector<std::uint8_t> file;
    try {
        py::gil_scoped_release unlocked;
        file = codec::EncodePicture(planes, request);
    } catch (const Error& e) {
        Refuse(e.English());
    }
    return py::bytes(reinterpret_cast<const char*>(file.data()), file.size());
}

py::array Decode(const py::bytes& data) {
    const std::string bytes = data;
    codec::DecodedPicture decoded;
    try {
        py::gil_scoped_release unlocked;
        decoded = codec::DecodePicture(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const Error& e) {
        Refuse(e.English());
    }
    const std::vector<std::uint8_t> rgb = codec::ToRgbBytes(decoded);
    const auto height = static_cast<py::ssize_t>(decoded.header.height);
    const auto width = static_cast<py::ssize_t>(decoded.header.width);
    if (decoded.header.planes == 3) {
        py::array_t<std::uint8_t> out({height, width, py::ssize_t{3}});
        std::copy(rgb.begin(), rgb.end(), out.mutable_data());
        return out;
    }
    py::array_t<std::uint8_t> out({height, width});
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) out.mutable_data()[i] = rgb[3 * i];
    return out;
}

}  // namespace tesora::python
