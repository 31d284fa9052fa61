#pragma once
// The embedded bit-plane coder of quantised coefficients. Its input is plain values:
// per plane of the picture (grey, or Y, Cb, Cr) the bands, coarse to fine, each a
// rectangle of whole-number quantisation indices with the mask of the coefficients that
// are coded at all (the others are never written and decode as 0). It knows nothing of
// the transform that made the bands.
//
// Order of the stream (docs/format.md gives every context):
//   1. the top of every band (the number of bits of its largest magnitude), planes in
//      order, bands in order, 5 bits each;
//   2. for each bit-plane p from the highest down to 0, three passes, each through every
//      plane of the picture and every band whose top exceeds p, in raster order (rows
//      top to bottom, left to right):
//        neighbours:  coefficients not yet significant with a significant neighbour
//                     code bit p of their magnitude, and their sign once it is 1;
//        refinement:  coefficients significant before this bit-plane code bit p;
//        cleanup:     the remaining coefficients not yet significant, as in the first,
//                     block by block (16 x 16): a block without a significant
//                     coefficient first says with one decision whether any of it turns
//                     significant now, and is passed over if not; within a block, four
//                     quiet ones in a row (no significant neighbour) with one decision
//                     when none of them turns significant.
// Every decision goes through the adaptive arithmetic coder with a context from the
// significance (and signs) of the eight neighbours in the band. Since the most important
// bits come first, any prefix of the decisions is a coarser picture: a byte budget keeps
// the decisions that fit.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tesora::codec {

// Bands of the same kind share their contexts; kinds are 0 (smoothing values) to 3.
constexpr int kBandKinds = 4;
// Magnitudes stay below 2^30, so a band's top fits its 5 bits.
constexpr std::int32_t kMaxMagnitude = (1 << 30) - 1;

struct BandShape {
    int width = 0;
    int height = 0;
    int kind = 0;
    std::vector<std::uint8_t> coded;  // width * height, row by row, 1 = coded; empty: all
};

struct BandValues {
    BandShape shape;
    std::vector<std::int32_t> q;  // width * height, row by row
};

struct EncodedPlanes {
    std::vector<std::uint8_t> data;
    std::uint64_t decisions = 0;
    bool complete = false;  // every decision fitted
};

// Codes the planes (each a list of bands); with `limit`, the stream keeps the decisions
// whose finished stream fits into `limit` bytes. Throws Error for a band whose sizes do
// not agree or a magnitude above kMaxMagnitude. Indices of coefficients not coded are
// ignored.
EncodedPlanes EncodePlanes(const std::vector<std::vector<BandValues>>& planes, std::size_t limit = SIZE_MAX);

// Decodes `decisions` decisions of a stream for planes of these shapes. Each coefficient
// comes back in units of the quantiser step: 0 when it never became significant, else
// sign * (m + 1/2) * 2^b when its magnitude's bits from the top down to bit b were
// decoded and read m (so sign * (|q| + 1/2) for a coefficient decoded whole). Throws Error
// when the stream ends early, has bytes no decision read, or holds more decisions than
// the shapes can take.
std::vector<std::vector<std::vector<double>>> DecodePlanes(const std::vector<std::vector<BandShape>>& shapes,
                                                           const std::uint8_t* data, std::size_t size,
                                                           std::uint64_t decisions);

// The same decoding, handing only the coefficients that became significant to `take`
// (plane, band, row and column in the band, value in step units), so a caller fills its
// own memory instead of one more buffer of every coefficient. The shapes are borrowed.
using CoefficientSink = std::function<void(std::size_t plane, std::size_t band, int row, int column, double units)>;
void DecodePlanesInto(const std::vector<std::vector<const BandShape*>>& shapes, const std::uint8_t* data,
                      std::size_t size, std::uint64_t decisions, const CoefficientSink& take);

}  // namespace tesora::codec
