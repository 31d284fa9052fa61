// The compressed stream's part of tesora-digest: the coder's bytes and the planes they
// decode to for a generated picture, so that a file made on one platform decodes to the
// same picture on every other. The header and CRC are plain integers over these bytes.
#include "digest/CodecDigest.h"

#include <cstdint>
#include <vector>

#include "codec/Colour.h"
#include "codec/PictureCodec.h"
#include "digest/Sha256.h"

namespace tesora {

namespace {

constexpr int kWidth = 257, kHeight = 193;

// Integer-only pattern with flat areas, ramps and texture, one per channel.
analysis::RedPicture Generated(int channel) {
    analysis::RedPicture p{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const unsigned mixed =
                static_cast<unsigned>(x * (37 + channel) + y * 91) ^ (static_cast<unsigned>(x * y) >> 5);
            const int value = x < 80 ? 128 + 20 * channel : (x < 160 ? (y * 2 + channel * 30) % 256 : mixed % 256);
            p.red.push_back(static_cast<std::uint8_t>(value));
        }
    return p;
}

void HashRun(Sha256& hash, const std::vector<analysis::RedPicture>& planes, const codec::EncodeRequest& request) {
    const codec::File file = codec::EncodeFile(planes, request);
    hash.UpdateWord(static_cast<std::uint32_t>(file.header.decisions));
    hash.Update(file.data.data(), file.data.size());
    for (const std::vector<double>& plane : codec::DecodeFile(file).planes)
        for (double value : plane) hash.UpdateDouble(value);
}

}  // namespace

std::string CodecDigestHex() {
    Sha256 hash;
    const analysis::RedPicture r = Generated(0), g = Generated(1), b = Generated(2);
    codec::EncodeRequest request;
    request.bytes = kWidth * kHeight / 8;  // 1 bit per pixel
    request.delta = 0.61;
    request.synthesis = codec::Synthesis::Exact;
    HashRun(hash, {r}, request);
    request.synthesis = codec::Synthesis::Specified;
    request.rule = codec::RuleCode::Flat;
    HashRun(hash, {r, g, b}, request);
    request = codec::EncodeRequest{};
    request.basis = codec::Basis::Cdf97;
    request.step = 0.5;  // the whole stream
    HashRun(hash, {r}, request);
    return hash.FinishHex();
}

}  // namespace tesora
