// libFuzzer target: a compressed file's bytes through the strict reader and, when it is
// taken, the decoder of its stream. The first byte chooses the road: odd, the rest is
// read as it is; even, the rest gets a valid magic and CRC first, so the field checks
// and the decoder see damaged content the CRC would otherwise stop. A crash, a
// sanitizer report or a wrong result ends the run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/Format.h"
#include "codec/PictureCodec.h"
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
    for (int i = 0; i < 4; ++i)
        bytes[covered + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
}

// The whole decoder, reconstruction and colour conversion included.
void Decode(const std::vector<std::uint8_t>& bytes, const Header& h) {
    if (h.width > kDecodeMaxSide || h.height > kDecodeMaxSide) return;
    DecodedPicture picture;
    try {
        picture = DecodePicture(bytes.data(), bytes.size());
    } catch (const Error&) {
        return;
    }
    Require(picture.planes.size() == static_cast<std::size_t>(h.planes), "planes not the header's");
    const std::size_t pixels = static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height);
    for (const auto& plane : picture.planes) Require(plane.size() == pixels, "plane of the wrong size");
    Require(ToRgbBytes(picture).size() == 3 * pixels, "RGB of the wrong size");
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
    Decode(bytes, file.header);
    return 0;
}
