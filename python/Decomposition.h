#pragma once
// The coefficients of one picture at one level, by BLaC or a lifting basis, and what has
// been done to them. One lock per decomposition: two threads may share one without
// tearing it.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "mra/LevelChange.h"
#include "python/Arguments.h"
#include "tools/Analysis.h"

namespace tesora::python {

// The transforms' scratch memory, kept per calling thread from call to call: fresh
// buffers of a 1025-wide picture cost more in page faults than the transform itself.
// Threads never share one, so calls stay re-entrant.
TransformWorkspace& ThreadWorkspace();

class Decomposition {
public:
    Decomposition(analysis::RedPicture picture, const DeltaChoice& delta, int level, Basis basis);

    py::array_t<double> Matrix();
    py::array_t<std::int32_t> Bands() const;
    py::list Legend() const;
    py::array_t<bool> Own() const;
    py::dict Reduce(const py::object& epsilon, const py::object& zeros, const std::string& ruleName,
                    const py::object& epsilons);
    py::dict Quantise(const py::object& step, const std::string& ruleName, const std::string& synthesis);
    py::list BandFigures();
    py::array_t<bool> Coded(const std::string& synthesis);
    py::array_t<double> Reconstruct(const std::string& synthesis);
    py::array_t<std::uint8_t> ToBytes(const std::string& synthesis);
    py::dict Quality(const std::string& synthesis);

    int Level() const { return layout_.level; }
    int PictureLevel() const { return layout_.pictureLevel; }
    py::object Delta() const;
    py::object Position() const;
    std::string BasisText() const { return BasisName(basis_); }
    int Width() const { return picture_.width; }
    int Height() const { return picture_.height; }
    py::array_t<std::uint8_t> Picture() const { return BytesArray(picture_.red, picture_.width, picture_.height); }
    std::string Repr() const;

private:
    bool Lifting() const { return basis_ != Basis::Blac; }
    // The synthesis asked for; a lifting basis has only its own.
    Synthesis SynthesisOf(const std::string& synthesis) const;
    const analysis::Norms& NormsLocked();
    const std::vector<double>& WeightsLocked();
    analysis::Coefficients& Rebuilt(Synthesis synthesis);

    analysis::RedPicture picture_;
    DeltaChoice delta_;
    Basis basis_;
    Filters filters_;
    analysis::Coefficients square_;
    analysis::Layout layout_;
    std::optional<analysis::Norms> norms_;
    std::optional<std::vector<double>> weights_;  // a lifting basis's norms per element
    std::mutex mutex_;
};

}  // namespace tesora::python
