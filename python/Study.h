#pragma once
// One task of tesora.study: a picture at one Delta or with one lifting basis, decomposed
// once, one row per rate.
#include <pybind11/pybind11.h>

namespace tesora::python {

void BindStudy(pybind11::module_& m);

}  // namespace tesora::python
