#include "python/Codec.h"

#include <cmath>
#include <optional>

#include "codec/PictureCodec.h"
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

py::bytes Encode(const analysis::RedPicture& picture, const py::object& bpp, const py::object& size,
                 const py::object& quantise, const py::object& delta, const py::object& position, int steps,
                 const std::string& rule) {
    const std::optional<double> b = Number(bpp, "bpp"), n = Number(size, "size"), q = Number(quantise, "quantise");
    if (int{b.has_value()} + int{n.has_value()} + int{q.has_value()} != 1)
        Refuse("give exactly one of bpp, size and quantise");
    if (rule != "norm" && rule != "flat") Refuse("rule must be \"norm\" or \"flat\"");
    if (steps < 1 || steps > 8) Refuse("steps must be 1 ... 8");
    codec::EncodeRequest request;
    request.delta = ChooseDelta(delta, position).delta;
    request.steps = steps;
    request.rule = rule == "norm" ? codec::RuleCode::Norm : codec::RuleCode::Flat;
    const double pixels = static_cast<double>(picture.width) * picture.height;
    if (b && !(*b > 0.0 && *b <= 64.0)) Refuse("bpp must be above 0 and at most 64");
    if (n && !(*n >= 1.0 && *n <= 1e9 && std::floor(*n) == *n)) Refuse("size must be a whole number of bytes");
    if (q && !(*q > 0.0 && std::isfinite(*q))) Refuse("quantise must be a step above 0");
    if (b) request.bytes = static_cast<std::size_t>(std::floor(*b * pixels / 8.0));
    if (n) request.bytes = static_cast<std::size_t>(*n);
    if (q) request.step = *q;
    std::vector<std::uint8_t> file;
    try {
        py::gil_scoped_release unlocked;
        file = codec::EncodePicture({picture}, request);
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
