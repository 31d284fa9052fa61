// libFuzzer target: a compressed file's bytes through the strict reader and, when it is
// taken, the decoder of its stream. The first byte chooses the road: odd, the rest is
// read as it is; even, the rest gets a valid magic and CRC first, so the field checks
// and the decoder see damaged content the CRC would otherwise stop. A crash, a
// sanitizer report or a wrong result ends the run.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/BitPlaneCoder.h"
#include "codec/Format.h"
#include "codec/SquareBands.h"
#include "matrix/Error.h"

namespace {

using namespace tesora;
using namespace tesora::codec;

// Larger pictures are read but not decoded: a 1025-wide picture takes long under the
// sanitizers, and small ones reach every branch of the decoder.
constexpr long long kDecodeMaxSide = 129;

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "wrong result: %s\n", what);
    std::abort();
}

void Reseal(std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t kMagic[8] = {0x89, 'T', 'S', 'R', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() < kHeaderBytes + kCrcBytes) return;
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    const std::size_t covered = bytes.size() - kCrcBytes;
    const std::uint32_t crc = Crc32(bytes.data(), covered);
    for (int i = 0; i < 4; ++i) bytes[covered + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
}

void Decode(const File& file) {
    const Header& h = file.header;
    if (h.basis != Basis::Blac || h.width > kDecodeMaxSide || h.height > kDecodeMaxSide) return;
    std::vector<std::vector<BandShape>> shapes(static_cast<std::size_t>(h.planes));
    for (auto& plane : shapes)
        for (const SquareBand& band : SquareBandsOf(h.pictureLevel, h.pictureLevel - h.steps)) plane.push_back(band.shape);
    std::vector<std::vector<std::vector<double>>> values;
    try {
        values = DecodePlanes(shapes, file.data.data(), file.data.size(), h.decisions);
    } catch (const Error&) {
        return;
    }
    for (std::size_t c = 0; c < shapes.size(); ++c)
        for (std::size_t b = 0; b < shapes[c].size(); ++b) {
            const auto& band = values[c][b];
            Require(band.size() == static_cast<std::size_t>(shapes[c][b].width) * static_cast<std::size_t>(shapes[c][b].height),
                    "band of the wrong size");
            for (double v : band) Require(std::isfinite(v) && std::fabs(v) < 0x1p32, "value out of range");
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((data[0] & 1) == 0) Reseal(bytes);
    File file;
    try {
        file = ReadFile(bytes.data(), bytes.size());
    } catch (const Error&) {
        return 0;  // refused: what the program must do with a bad file
    }
    Require(file.data.size() + kHeaderBytes + kCrcBytes == bytes.size(), "data length not the file's");
    // What was read is written back to the same bytes.
    Require(WriteFile(file) == bytes, "a file read and written again differs");
    Decode(file);
    return 0;
}
