#include "picture/CompleteData.h"

#include <algorithm>
#include <cstdlib>

namespace tesora {
namespace {

std::uint32_t U16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Compression values of the BMP header.
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

// Walks the run-length stream from `pos`; true when it sets every pixel of the picture
// within the file. The reader leaves pixels that a stream skips (a jump, a line or the
// bitmap ended early) unwritten, so such a stream counts as incomplete too.
bool RleStreamComplete(const std::uint8_t* data, std::size_t size, std::size_t pos, bool fourBit,
                       std::uint64_t width, std::uint64_t rows) {
    std::uint64_t row = 0, column = 0;
    while (row < rows) {
        if (size - pos < 2) return false;
        const std::uint8_t count = data[pos];
        const std::uint8_t code = data[pos + 1];
        pos += 2;
        if (count > 0) {  // a run of one value
            column += count;
        } else if (code == 0) {  // end of line
            if (column < width) return false;
            ++row;
            column = 0;
        } else if (code == 1) {  // end of bitmap
            return row + 1 == rows && column >= width;
        } else if (code == 2) {  // a jump over pixels
            return false;
        } else {  // `code` literal pixels, padded to a 16-bit boundary
            std::size_t bytes = fourBit ? (code + 1u) / 2u : code;
            bytes += bytes & 1u;
            if (size - pos < bytes) return false;
            pos += bytes;
            column += code;
        }
    }
    return true;
}

}  // namespace

bool BmpDataComplete(const std::uint8_t* data, std::size_t size) {
    if (size < 18) return false;
    const std::uint64_t dataOffset = U32(data + 10);
    const std::uint32_t headerSize = U32(data + 14);
    std::uint64_t width = 0, rows = 0, bits = 0, colours = 0, entry = 4, extra = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) {  // the old core header: 16-bit sizes, three-byte palette entries
        if (size < 26) return false;
        width = U16(data + 18);
        rows = U16(data + 20);
        bits = U16(data + 24);
        colours = bits <= 8 ? (1u << bits) : 0;
        entry = 3;
    } else if (headerSize >= 40) {
        if (size < 14 + 40) return false;
        const auto signedWidth = static_cast<std::int32_t>(U32(data + 18));
        const auto signedHeight = static_cast<std::int32_t>(U32(data + 22));
        width = static_cast<std::uint64_t>(std::max<std::int64_t>(signedWidth, 0));
        rows = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(signedHeight)));
        bits = U16(data + 28);
        compression = U32(data + 30);
        const std::uint32_t used = U32(data + 46);
        colours = bits <= 8 ? (used != 0 ? used : (1u << bits)) : 0;
        if (headerSize == 40 && compression == kBitFields) extra = 12;  // the three masks
    } else {
        return false;
    }
    // The reader jumps to the data offset, unless the palette already runs past it.
    const std::uint64_t paletteEnd = 14 + std::uint64_t{headerSize} + extra + colours * entry;
    const std::uint64_t start = std::max(dataOffset, paletteEnd);
    if (start > size) return false;
    if (compression == kRle8 || compression == kRle4)
        return RleStreamComplete(data, size, static_cast<std::size_t>(start), compression == kRle4, width,
                                 rows);
    const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
    return rows == 0 || rowBytes <= (size - start) / rows;  // no overflow for huge headers
}

bool GifDataComplete(const std::uint8_t* data, std::size_t size) {
    if (size < 13) return false;
    std::size_t pos = 13;
    if (data[10] & 0x80) pos += 3u << ((data[10] & 7) + 1);  // global colour table
    // Skips a chain of data sub-blocks up to and including its empty terminator.
    const auto skipSubBlocks = [&]() {
        for (;;) {
            if (pos >= size) return false;
            const std::size_t length = data[pos++];
            if (length == 0) return true;
            if (size - pos < length) return false;
            pos += length;
        }
    };
    for (;;) {
        if (pos >= size) return false;
        const std::uint8_t block = data[pos++];
        if (block == 0x21) {  // extension: label, then sub-blocks
            if (pos >= size) return false;
            ++pos;
            if (!skipSubBlocks()) return false;
        } else if (block == 0x2C) {  // image descriptor, local colour table, LZW code size
            if (size - pos < 9) return false;
            const std::uint8_t flags = data[pos + 8];
            pos += 9;
            if (flags & 0x80) pos += 3u << ((flags & 7) + 1);
            if (pos >= size) return false;
            ++pos;
            return skipSubBlocks();
        } else {
            return false;  // the trailer before any image, or no block at all
        }
    }
}

}  // namespace tesora
