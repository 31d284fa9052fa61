#pragma once
// The module's rate-distortion calls: the best Delta of a picture at a rate.
#include <pybind11/pybind11.h>

namespace tesora::python {

void BindRates(pybind11::module_& m);

}  // namespace tesora::python
