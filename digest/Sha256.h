#pragma once
// A small SHA-256 (FIPS 180-4) for the result digests; no library needed on any target.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tesora {

class Sha256 {
public:
    Sha256();
    void Update(const void* data, std::size_t size);
    // Appends a double's bit pattern, least significant byte first on every host.
    void UpdateDouble(double value);
    void UpdateWord(std::uint32_t value);
    // Finishes the hash; the object must not be used afterwards.
    std::array<std::uint8_t, 32> Finish();
    std::string FinishHex();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // in bytes
};

}  // namespace tesora
