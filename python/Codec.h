#pragma once
// encode() and decode(): a picture into the compressed file's bytes and back.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "tools/Analysis.h"

namespace tesora::python {

namespace py = pybind11;

// The file's bytes for the picture's red values; exactly one of bpp, size (bytes) and
// quantise is given.
py::bytes Encode(const analysis::RedPicture& picture, const py::object& bpp, const py::object& size,
                 const py::object& quantise, const py::object& delta, const py::object& position, int steps,
                 const std::string& rule);

// The picture a file's bytes decode to: uint8, height x width (grey) or height x width x 3.
py::array Decode(const py::bytes& data);

}  // namespace tesora::python
