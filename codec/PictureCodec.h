#pragma once
// A picture into a compressed file and back, on the value road: the planes are
// decomposed with the transform's kernels, quantised (weighted by their functions' norms
// under the norm rule), coded band by band, and a file decodes by the same steps
// backwards. The command-line tool and the Python module both come here; the picture a
// file decodes to is, by construction, the reconstruction the encoding run reports.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/Format.h"
#include "tools/Analysis.h"

namespace tesora::codec {

struct EncodeRequest {
    Basis basis = Basis::Blac;
    double delta = 0.0;                          // BLaC only
    Synthesis synthesis = Synthesis::Specified;  // BLaC only
    int steps = 5;                               // decomposition steps (fewer when the picture is small)
    RuleCode rule = RuleCode::Norm;
    double step = 0.0;      // the quantiser step Q; 0: kBudgetStep, for a budget
    std::size_t bytes = 0;  // the whole file's size at most; 0: no budget
};

// The step a budget cuts from: fine enough that a budget ends the stream long before
// its last bit-plane (below a tenth of a grey level for the norm rule's weights of 1).
constexpr double kBudgetStep = 1.0 / 16.0;

// Codes one plane (grey: the red channel) or a colour picture's three (R, G, B, coded as
// Y, Cb and Cr), all of the same size:
// every coefficient a decoder needs (those whose functions reach into the picture).
// Throws Error for pictures or requests the format cannot hold (a picture higher than
// its working square, a budget below the smallest file, a step that makes indices too
// large, Delta or a synthesis with another basis than BLaC). A caller that codes many
// pictures passes its workspace along (its buffers and helper threads are kept).
File EncodeFile(const std::vector<analysis::RedPicture>& planes, const EncodeRequest& request,
                TransformWorkspace* workspace = nullptr);
// The same as the file's bytes (WriteFile: header, stream and CRC).
std::vector<std::uint8_t> EncodePicture(const std::vector<analysis::RedPicture>& planes, const EncodeRequest& request,
                                        TransformWorkspace* workspace = nullptr);

struct DecodedPicture {
    Header header;
    std::vector<std::vector<double>> planes;  // width * height each, row by row, unrounded
};

// Decodes a header and stream that ReadFile has read and checked.
DecodedPicture DecodeFile(const File& file, TransformWorkspace* workspace = nullptr);
// Reads and decodes a file; throws Error with one sentence for anything it refuses.
DecodedPicture DecodePicture(const std::uint8_t* bytes, std::size_t size, TransformWorkspace* workspace = nullptr);

// A decoded plane in bytes, each value rounded to the nearest (ToByte).
std::vector<std::uint8_t> PlaneBytes(const std::vector<double>& plane);

// The decoded picture as bytes, row by row: grey rounded to the nearest (red = green =
// blue), colour through the inverse colour matrix; 3 bytes a pixel (RGB).
std::vector<std::uint8_t> ToRgbBytes(const DecodedPicture& picture);

}  // namespace tesora::codec
