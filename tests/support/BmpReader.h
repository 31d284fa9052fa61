#pragma once
// Just enough of the BMP format for the sample pictures: uncompressed 8-bit (palette)
// and 24-bit, bottom-up or top-down. The core reads no files; the tests need a few.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "blac/Frontend.h"

namespace tesora::testing {

inline MemorySurface ReadBmp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(data.at(at) | data.at(at + 1) << 8); };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') throw std::runtime_error("not a BMP: " + path);
    const std::uint32_t offset = u32(10);
    const std::uint32_t headerSize = u32(14);
    const int width = static_cast<int>(u32(18));
    const int rawHeight = static_cast<int>(u32(22));
    const int bits = static_cast<int>(u16(28));
    if (u32(30) != 0 || (bits != 8 && bits != 24)) throw std::runtime_error("unsupported BMP: " + path);
    const int height = rawHeight < 0 ? -rawHeight : rawHeight;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits / 8 + 3) / 4 * 4;
    const std::size_t palette = 14 + headerSize;

    MemorySurface picture(width, height);
    for (int y = 0; y < height; ++y) {
        const int storedRow = rawHeight < 0 ? y : height - 1 - y;
        const std::size_t row = offset + static_cast<std::size_t>(storedRow) * rowBytes;
        for (int x = 0; x < width; ++x) {
            std::size_t bgr = row + static_cast<std::size_t>(x) * 3;
            if (bits == 8) bgr = palette + 4u * data.at(row + static_cast<std::size_t>(x));
            picture.SetPixel(x, y, data.at(bgr + 2) | data.at(bgr + 1) << 8 | data.at(bgr) << 16);
        }
    }
    return picture;
}

}  // namespace tesora::testing
