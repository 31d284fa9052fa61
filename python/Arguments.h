#pragma once
// What the module takes from Python before any work starts: pictures, matrices and
// settings, checked, copied into values the core owns (so the interpreter's lock can be
// given up while the core works on them). Every refusal is a ValueError naming the
// problem; a file that cannot be read is an OSError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include "matrix/Error.h"
#include <string>
#include <vector>

#include "mra/Values.h"
#include "tools/Analysis.h"

namespace tesora::python {

namespace py = pybind11;

// A 2-D array of whole numbers 0 ... 255 (any integer or float dtype, any order or
// strides), height x width, at most 1025 wide.
analysis::RedPicture PictureFrom(const py::handle& picture, const char* name = "picture");

// A path as the system names it: str (surrogate-escaped bytes included), bytes or any
// os.PathLike, turned into bytes by os.fsencode; a NUL is refused.
std::string PathBytes(const py::handle& path, const char* name = "path");
// Whether an argument names a file rather than holding values.
bool IsPath(const py::handle& object);

// The file (its name's bytes) read and checked exactly as the command-line tool opens it;
// `fit`: a picture too large scaled down to fit, as its --fit.
analysis::RedPicture ReadPictureFile(const std::string& path, bool fit = false);

// The Delta of a scroll position (0 ... 100) or a Delta given directly; neither gives
// the program's start, Delta 0 with no position.
struct DeltaChoice {
    double delta = 0.0;
    std::optional<int> position;
};
DeltaChoice ChooseDelta(const py::object& delta, const py::object& position);

// A 2-D numeric array's values as float64 in C order, copied once. Its shape is checked
// on the caller's view first, before any memory is taken: at most `maxColumns` columns
// and `maxElements` elements.
py::array_t<double> Float2D(const py::handle& object, const char* name, py::ssize_t maxColumns, py::ssize_t maxElements,
                            const char* columns = "columns");

// A float64 square of side 2^pictureLevel + 1 copied out of any 2-D float array.
analysis::Coefficients SquareFrom(const py::handle& matrix, int pictureLevel, int level);

// The numpy arrays handed back: fresh copies the caller owns.
py::array_t<double> MatrixArray(const analysis::Coefficients& square);
py::array_t<std::uint8_t> BytesArray(const std::vector<std::uint8_t>& bytes, int width, int height);

// The error type for refused input.
[[noreturn]] void Refuse(const std::string& message);

// A number of at least `low` (NaN never; infinity only when allowed), an int.
double RequireNumber(const py::handle& value, const char* name, double low, bool allowInfinity);
int RequireInt(const py::handle& value, const char* name);
// Every value finite, or a ValueError naming `what` (a computation that overflowed).
void RequireFinite(const std::vector<double>& values, const char* what);
// The level a decomposition goes down to: `level` itself, or `steps` below the
// picture's own; the coarsest, 2, when neither is given.
int ChooseLevel(const py::object& level, const py::object& steps, int pictureLevel);
analysis::RuleKind RuleKindOf(const std::string& rule);
// "specified" or "exact".
Synthesis SynthesisArgument(const std::string& synthesis);
// "blac", "haar", "cdf53" or "cdf97".
Basis BasisArgument(const std::string& basis);
// A str argument, or a TypeError naming it.
std::string TextArgument(const py::handle& value, const char* name);

// A figure for Python as the JSON documents give it: None where JSON has null.
py::object Finite(double value);
py::dict RuleDict(const analysis::RuleResult& result, int pictureLevel);
py::dict QualityDict(const analysis::Quality& quality);

// Runs `work` without the interpreter's lock; the core's errors become ValueError, in
// their English wording.
template <typename Work>
inline auto Unlocked(Work work) {
    try {
        py::gil_scoped_release unlocked;
        return work();
    } catch (const Error& e) {
        throw py::value_error(e.English());
    }
}

}  // namespace tesora::python
