#pragma once
// SHA-256 of the coder's streams and decoded planes for generated pictures (BLaC with
// the exact synthesis, colour planes, cdf97), in hex.
#include <string>

namespace tesora {
std::string CodecDigestHex();
}
