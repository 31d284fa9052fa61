#pragma once
// The transform of one plane as a header describes it, for the encoder and the decoder
// alike: the value road's decomposition (BLaC at any Delta with either synthesis, or a
// lifting basis), its band layout, each element's quantiser weight and the coefficients
// a decoder needs (the coded ones). Both sides build it from the header alone, so they
// walk the same bands with the same masks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/BitPlaneCoder.h"
#include "codec/Format.h"
#include "tools/Analysis.h"

namespace tesora::analysis {
class ExactLevels;
}

namespace tesora::codec {

// A band as the coder sees it: the rectangle of the square that holds it, rows along i,
// columns along j (the square's memory order), with the mask of its coded elements.
struct SquareBand {
    int firstI = 0;
    int firstJ = 0;
    BandShape shape;
};

class PlaneTransform {
public:
    // Throws Error for a header whose basis, synthesis or padding this program does not compute.
    explicit PlaneTransform(const Header& header);
    ~PlaneTransform();

    const std::vector<SquareBand>& Bands() const { return bands_; }
    // The quantiser's weight of element e of the square (1 unless the norm rule weighs).
    double Weight(std::size_t e) const { return weights_.empty() ? 1.0 : weights_[e]; }
    int Side() const { return layout_.side; }

    // A square as ReadPicture or ReadPlane fills it from a plane of the header's size, in place.
    void Decompose(analysis::Coefficients& square, TransformWorkspace& workspace) const;
    // An empty square at the decomposition's level, for the decoder to fill.
    analysis::Coefficients Empty() const;
    void Reconstruct(analysis::Coefficients& square, TransformWorkspace& workspace) const;

private:
    Header header_;
    Filters filters_;
    analysis::Layout layout_;
    std::vector<double> weights_;
    std::vector<SquareBand> bands_;
    std::shared_ptr<const analysis::ExactLevels> exact_;  // exact synthesis only
};

}  // namespace tesora::codec
