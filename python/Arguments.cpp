#include "python/Arguments.h"

#include <QImage>
#include <QString>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "blac/DeltaControl.h"
#include "picture/PictureFile.h"
#include "matrix/Numbers.h"
#include "report/Figures.h"
#include "report/NativeNames.h"
#include "report/Opening.h"
#include "tools/DeltaBound.h"
#include "tools/Reduction.h"

namespace tesora::python {

using namespace pybind11::literals;

void Refuse(const std::string& message) { throw py::value_error(message); }

namespace {

std::string Shape(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t d = 0; d < array.ndim(); ++d) text += (d ? ", " : "") + std::to_string(array.shape(d));
    return text + (array.ndim() == 1 ? ",)" : ")");
}

// Python's int as long long: beyond 64 bits a ValueError, never pybind11's RuntimeError.
long long IntValue(const py::handle& value, const char* name) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0) Refuse(std::string(name) + " is out of range (beyond 64 bits)");
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

// A float or int as double: an int beyond the doubles' range is a ValueError.
double NumberValue(const py::handle& value, const char* name) {
    const double v = PyFloat_AsDouble(value.ptr());
    if (v == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        Refuse(std::string(name) + " is out of range (too large for a float)");
    }
    return v;
}

}  // namespace

// Any numeric 2-D array; booleans, complex numbers, strings and objects are refused rather
// than silently converted.
py::array_t<double> Float2D(const py::handle& object, const char* name, py::ssize_t maxColumns, py::ssize_t maxElements,
                            const char* unit) {
    py::array array = py::array::ensure(object);
    if (!array) Refuse(std::string(name) + " must be a 2-D numpy array or nested sequence of numbers");
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u' && kind != 'f')
        Refuse(std::string(name) + " must hold integers or floats, not dtype " +
               py::str(array.dtype()).cast<std::string>());
    if (array.ndim() != 2) Refuse(std::string(name) + " must be 2-D, got shape " + Shape(array));
    // A broadcast view costs nothing until it is copied: its shape decides first.
    const py::ssize_t rows = array.shape(0), columns = array.shape(1);
    if (columns > maxColumns)
        Refuse(std::string(name) + " is " + std::to_string(columns) + " " + unit + " wide; at most " +
               std::to_string(maxColumns) + " are possible");
    if (columns > 0 && rows > maxElements / columns)
        Refuse(std::string(name) + " has shape " + Shape(array) + "; at most " + std::to_string(maxElements) +
               " elements are possible");
    auto values = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!values) {
        PyErr_Clear();
        Refuse(std::string(name) + " cannot be converted to float64 (shape " + Shape(array) + ")");
    }
    return values;
}

std::string PathBytes(const py::handle& path, const char* name) {
    const py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    std::string bytes = encoded;
    if (bytes.find('\0') != std::string::npos) Refuse(std::string(name) + " contains a NUL character");
    if (bytes.empty()) Refuse(std::string(name) + " is empty");
    return bytes;
}

bool IsPath(const py::handle& object) {
    return py::isinstance<py::str>(object) || py::isinstance<py::bytes>(object) || py::hasattr(object, "__fspath__");
}

void RequireFinite(const std::vector<double>& values, const char* what) {
    for (const double v : values)
        if (!std::isfinite(v)) Refuse(std::string(what) + " overflowed: it holds values that are not finite");
}

analysis::RedPicture PictureFrom(const py::handle& object, const char* name) {
    const py::array_t<double> values = Float2D(object, name, kMaxSide, kMaxPicturePixels, "pixels");
    const py::ssize_t height = values.shape(0), width = values.shape(1);
    if (height == 0 || width == 0) Refuse(std::string(name) + " is empty: shape " + Shape(values));
    analysis::RedPicture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.red.resize(static_cast<std::size_t>(width * height));
    const double* v = values.data();
    for (std::size_t e = 0; e < picture.red.size(); ++e) {
        const double value = v[e];
        const auto where = [&] {
            return " at row " + std::to_string(e / static_cast<std::size_t>(width)) + ", column " +
                   std::to_string(e % static_cast<std::size_t>(width));
        };
        if (std::isnan(value)) Refuse(std::string(name) + " holds NaN" + where());
        if (!(value >= 0.0 && value <= 255.0))
            Refuse(std::string(name) + " holds " + py::repr(py::float_(value)).cast<std::string>() + where() +
                   "; values must lie in 0 ... 255");
        if (value != std::trunc(value))
            Refuse(std::string(name) + " holds " + py::repr(py::float_(value)).cast<std::string>() + where() +
                   "; values must be whole numbers (red bytes)");
        picture.red[e] = static_cast<std::uint8_t>(value);
    }
    return picture;
}

analysis::RedPicture ReadPictureFile(const std::string& path, bool fit) {
    // "-" names standard input on the command line; here it is a file like any other.
    const QString name = report::DecodeName(QByteArray::fromStdString(path == "-" ? "./-" : path));
    QImage image;
    {
        py::gil_scoped_release unlocked;
        try {
            image = report::LoadUsable(name, fit);
        } catch (const Error& e) {
            // A file that is not there or may not be read is the system's refusal, the
            // rest (damaged, too large, no picture) the content's.
            const QByteArray native = report::NativeName(name);
            struct stat status;
            const bool missing = stat(native.constData(), &status) != 0;
            const bool unreadable = !missing && S_ISREG(status.st_mode) && access(native.constData(), R_OK) != 0;
            py::gil_scoped_acquire locked;
            if (missing || unreadable) {
                PyErr_SetObject(PyExc_OSError,
                                py::make_tuple(missing ? ENOENT : EACCES, e.English(),
                                               py::module_::import("os").attr("fsdecode")(py::bytes(path)))
                                    .ptr());
                throw py::error_already_set();
            }
            throw py::value_error(e.English());
        }
    }
    return report::RedBytes(image);
}

DeltaChoice ChooseDelta(const py::object& delta, const py::object& position) {
    DeltaChoice choice;
    if (!delta.is_none() && !position.is_none()) Refuse("give delta or position, not both");
    if (!position.is_none()) {
        if (py::isinstance<py::bool_>(position) || !py::isinstance<py::int_>(position))
            Refuse("position must be an int 0 ... 100, not " + py::repr(position).cast<std::string>());
        const long long p = IntValue(position, "position");
        if (p < 0 || p > 100) Refuse("position must lie in 0 ... 100, got " + std::to_string(p));
        choice.position = static_cast<int>(p);
        choice.delta = DeltaFromPosition(*choice.position);
        return choice;
    }
    if (delta.is_none()) return choice;  // the program's start: Delta 0, scroll bar untouched
    if (py::isinstance<py::bool_>(delta) || !(py::isinstance<py::float_>(delta) || py::isinstance<py::int_>(delta)))
        Refuse("delta must be a number 0 ... 1, not " + py::repr(delta).cast<std::string>());
    const double d = NumberValue(delta, "delta");
    if (std::isnan(d) || d < 0.0 || d > 1.0)
        Refuse("delta must lie in 0 ... 1, got " + py::repr(delta).cast<std::string>());
    // Smaller values leave no usable filters.
    if (d > 0.0 && d < kSmallestUsableDelta)
        Refuse("delta must be 0 or at least " + py::repr(py::float_(kSmallestUsableDelta)).cast<std::string>() +
               "; below it the wavelet filters and Gram matrices are unusable");
    choice.delta = d;
    return choice;
}

analysis::Coefficients SquareFrom(const py::handle& object, int pictureLevel, int level) {
    if (pictureLevel < 2 || pictureLevel > kMaxLevel)
        Refuse("picture_level must lie in 2 ... " + std::to_string(kMaxLevel) + ", got " +
               std::to_string(pictureLevel));
    if (level < 2 || level > pictureLevel)
        Refuse("level must lie in 2 ... picture_level = " + std::to_string(pictureLevel) + ", got " +
               std::to_string(level));
    const int side = (1 << pictureLevel) + 1;
    const py::array_t<double> values = Float2D(object, "matrix", side, py::ssize_t{side} * side);
    if (values.shape(0) != side || values.shape(1) != side)
        Refuse("matrix must have shape (" + std::to_string(side) + ", " + std::to_string(side) +
               ") for picture_level " + std::to_string(pictureLevel) + ", got " + Shape(values));
    analysis::Coefficients square;
    square.pictureLevel = pictureLevel;
    square.level = level;
    square.side = side;
    square.values.assign(values.data(),
                         values.data() + static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    for (std::size_t e = 0; e < square.values.size(); ++e)
        if (!std::isfinite(square.values[e]))
            Refuse("matrix holds " + py::repr(py::float_(square.values[e])).cast<std::string>() + " at [" +
                   std::to_string(e / static_cast<std::size_t>(side)) + ", " +
                   std::to_string(e % static_cast<std::size_t>(side)) + "]; coefficients must be finite");
    return square;
}

py::array_t<double> MatrixArray(const analysis::Coefficients& square) {
    py::array_t<double> array({square.side, square.side});
    std::copy(square.values.begin(), square.values.end(), array.mutable_data());
    return array;
}

py::array_t<std::uint8_t> BytesArray(const std::vector<std::uint8_t>& bytes, int width, int height) {
    py::array_t<std::uint8_t> array({height, width});
    std::copy(bytes.begin(), bytes.end(), array.mutable_data());
    return array;
}

double RequireNumber(const py::handle& value, const char* name, double low, bool allowInfinity) {
    if (py::isinstance<py::bool_>(value) || !(py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value)))
        Refuse(std::string(name) + " must be a number, not " + py::repr(value).cast<std::string>());
    const double v = NumberValue(value, name);
    if (std::isnan(v) || v < low || (!allowInfinity && std::isinf(v)))
        Refuse(std::string(name) + " must be a " + (allowInfinity ? "" : "finite ") + "number of at least " +
               FormatG(low) + ", got " + py::repr(value).cast<std::string>());
    return v;
}

int RequireInt(const py::handle& value, const char* name) {
    if (py::isinstance<py::bool_>(value) || !py::isinstance<py::int_>(value))
        Refuse(std::string(name) + " must be an int, not " + py::repr(value).cast<std::string>());
    const long long v = IntValue(value, name);
    // Far beyond any level, step count or side; each caller checks its own range.
    if (v < -1'000'000 || v > 1'000'000) Refuse(std::string(name) + " is out of range: " + std::to_string(v));
    return static_cast<int>(v);
}

// The level a decomposition goes down to: `level` itself, or `steps` below the
// picture's own; the coarsest, 2, when neither is given.
int ChooseLevel(const py::object& level, const py::object& steps, int pictureLevel) {
    if (pictureLevel < 2)
        Refuse("a picture at most 3 pixels wide has level " + std::to_string(pictureLevel) +
               " and nothing to decompose");
    if (!level.is_none() && !steps.is_none()) Refuse("give level or steps, not both");
    int chosen = 2;
    if (!level.is_none()) {
        chosen = RequireInt(level, "level");
    } else if (!steps.is_none()) {
        const int n = RequireInt(steps, "steps");
        if (n < 0 || pictureLevel - n < 2)
            Refuse("steps must lie in 0 ... " + std::to_string(pictureLevel - 2) + " for a picture of level " +
                   std::to_string(pictureLevel) + ", got " + std::to_string(n));
        chosen = pictureLevel - n;
    }
    if (chosen < 2 || chosen > pictureLevel)
        Refuse("level must lie in 2 ... " + std::to_string(pictureLevel) + " (the picture's level), got " +
               std::to_string(chosen));
    return chosen;
}

py::dict RuleDict(const analysis::RuleResult& r, int pictureLevel) {
    const double ownShare = report::OwnZeros{r.ownZeros, r.ownDetails}.Share();
    return py::dict(
        "epsilon"_a = std::isnan(r.epsilon) ? py::object(py::none()) : py::object(py::float_(r.epsilon)),
        "zero_count"_a = r.zeroCount, "zero_share"_a = ReductionShare(r.zeroCount, pictureLevel),
        "own_zero_count"_a = r.ownZeros, "own_detail_count"_a = r.ownDetails,
        "own_zero_share"_a = std::isnan(ownShare) ? py::object(py::none()) : py::object(py::float_(ownShare)));
}

py::object Finite(double value) {
    return std::isfinite(value) ? py::object(py::float_(value)) : py::object(py::none());
}

py::dict QualityDict(const analysis::Quality& q) {
    return py::dict("mean_error"_a = Finite(q.meanError), "psnr"_a = Finite(q.psnr),
                    "psnr_exact"_a = Finite(q.psnrExact), "energy_kept"_a = Finite(q.energyKept));
}

analysis::RuleKind RuleKindOf(const std::string& rule) {
    if (rule == "flat") return analysis::RuleKind::Flat;
    if (rule == "norm") return analysis::RuleKind::Norm;
    if (rule == "levels") return analysis::RuleKind::Levels;
    Refuse("rule must be \"flat\", \"norm\" or \"levels\", not \"" + rule + "\"");
}

Synthesis SynthesisArgument(const std::string& synthesis) {
    const std::optional<Synthesis> s = ParseSynthesis(synthesis);
    if (!s) Refuse("synthesis must be \"specified\" or \"exact\", not \"" + synthesis + "\"");
    return *s;
}

Basis BasisArgument(const std::string& basis) {
    const std::optional<Basis> b = ParseBasis(basis);
    if (!b) Refuse("basis must be \"blac\", \"haar\", \"cdf53\" or \"cdf97\", not \"" + basis + "\"");
    return *b;
}

std::string TextArgument(const py::handle& value, const char* name) {
    if (!py::isinstance<py::str>(value))
        throw py::type_error(std::string(name) + " must be a str, not " + py::repr(value).cast<std::string>());
    return value.cast<std::string>();
}

}  // namespace tesora::python
