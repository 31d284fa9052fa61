#pragma once
// encode() and decode(): a picture into the compressed file's bytes and back.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "tools/Analysis.h"

namespace tesora::python {

namespace py = pybind11;

// The Y, Cb and Cr planes of a height x width x 3 array of whole numbers 0 ... 255 (RGB).
std::vector<analysis::RedPicture> ColourPlanes(const py::handle& picture);

struct EncodeOptions {
    py::object bpp, size, quantise, delta, position;
    int steps = 5;
    std::string rule = "norm";
    std::string basis = "blac";
    std::string synthesis = "specified";
};

// The file's bytes for the planes (the red values, or Y, Cb, Cr); exactly one of bpp,
// size (bytes) and quantise is given.
py::bytes Encode(const std::vector<analysis::RedPicture>& planes, const EncodeOptions& options);

// The picture a file's bytes decode to: uint8, height x width (grey) or height x width x 3.
py::array Decode(const py::bytes& data);

}  // namespace tesora::python
