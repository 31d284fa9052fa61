// BMP files of the variants in use: core (OS/2 1.x) and OS/2 2.x headers, the Windows
// headers up to V5; 1, 4 and 8 bits with a palette, 16, 24 and 32 bits direct; RLE4,
// RLE8 and channel masks of any width. The rules are strict on purpose: a pixel that the
// file does not set, a run that leaves its line or an index past the palette is damage.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "picture/Decoding.h"

namespace tesora::decoding {
namespace {

std::uint32_t U16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// One colour channel of a direct-colour pixel, scaled from its width to 0..255 with
// rounding: five bits of 31 give 255, ten bits of 1023 too.
class Channel {
public:
    Channel() = default;
    Channel(std::uint32_t mask, unsigned pixelBits, const Target& target) {
        if (mask == 0) return;  // the channel is absent: always 0
        if (pixelBits < 32 && (mask >> pixelBits) != 0) target.Damaged();
        shift_ = static_cast<unsigned>(std::countr_zero(mask));
        const auto width = static_cast<unsigned>(std::popcount(mask));
        if ((std::uint64_t{mask} >> shift_) != (std::uint64_t{1} << width) - 1) target.Unreadable();  // gaps
        mask_ = mask;
        max_ = (std::uint64_t{1} << width) - 1;
    }
    std::uint32_t Of(std::uint32_t pixel) const {
        if (max_ == 0) return 0;
        const std::uint64_t value = (pixel & mask_) >> shift_;
        return static_cast<std::uint32_t>((value * 255 + max_ / 2) / max_);
    }
    std::uint32_t Mask() const { return mask_; }

private:
    std::uint32_t mask_ = 0;
    unsigned shift_ = 0;
    std::uint64_t max_ = 0;
};

struct Layout {
    std::int64_t width = 0, rows = 0;
    bool topDown = false;
    unsigned bits = 0;
    std::uint32_t compression = kRgb;
    std::vector<std::uint32_t> palette;
    Channel red, green, blue;
    std::size_t pixels = 0;  // offset of the pixel data
};

// The palette index at `index`, or damage when the palette has no such entry.
std::uint32_t Colour(const Layout& layout, std::uint32_t index, const Target& target) {
    if (index >= layout.palette.size()) target.Damaged();
    return layout.palette[index];
}

// The dimensions, depth and compression from either header kind; returns the number of
// palette entries the header claims (0: as many as the depth allows).
std::uint64_t ReadHeader(const std::array<std::uint8_t, 64>& header, bool core, Layout& layout) {
    if (core) {
        layout.width = U16(&header[4]);
        layout.rows = U16(&header[6]);
        layout.bits = U16(&header[10]);
        return 0;
    }
    layout.width = static_cast<std::int32_t>(U32(&header[4]));
    const std::int64_t height = static_cast<std::int32_t>(U32(&header[8]));
    layout.topDown = height < 0;
    layout.rows = height < 0 ? -height : height;
    layout.bits = U16(&header[14]);
    layout.compression = U32(&header[16]);
    return U32(&header[32]);
}

// The channel masks of a bit-field picture; returns where the masks end in the file.
std::uint64_t ReadMasks(const std::uint8_t* data, std::size_t size, const std::array<std::uint8_t, 64>& header,
                        std::uint32_t headerSize, Layout& layout, const Target& target) {
    const unsigned bits = layout.bits;
    std::uint64_t masksEnd = 14 + std::uint64_t{headerSize};
    if (bits != 16 && bits != 32) target.Unreadable();
    // Headers of 52 bytes and more hold the masks; after shorter ones they follow.
    const std::uint8_t* masks = &header[40];
    if (headerSize < 52) {
        masksEnd += layout.compression == kAlphaBitFields ? 16 : 12;
        if (masksEnd > size) target.Damaged();
        masks = data + 14 + headerSize;
    }
    layout.red = Channel(U32(masks), bits, target);
    layout.green = Channel(U32(masks + 4), bits, target);
    layout.blue = Channel(U32(masks + 8), bits, target);
    if ((layout.red.Mask() & layout.green.Mask()) || (layout.red.Mask() & layout.blue.Mask()) ||
        (layout.green.Mask() & layout.blue.Mask()))
        target.Unreadable();
    return masksEnd;
}

// Checks the depth against the compression and sets the channels; returns where the
// headers (and any masks) end in the file.
std::uint64_t ReadCompression(const std::uint8_t* data, std::size_t size, const std::array<std::uint8_t, 64>& header,
                              std::uint32_t headerSize, Layout& layout, const Target& target) {
    const unsigned bits = layout.bits;
    switch (layout.compression) {
        case kRgb:
            if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) target.Unreadable();
            if (bits == 16) {
                layout.red = Channel(0x7C00, 16, target);
                layout.green = Channel(0x03E0, 16, target);
                layout.blue = Channel(0x001F, 16, target);
            } else if (bits == 32) {
                layout.red = Channel(0xFF0000, 32, target);
                layout.green = Channel(0xFF00, 32, target);
                layout.blue = Channel(0xFF, 32, target);
            }
            break;
        case kRle8:
        case kRle4:
            if (bits != (layout.compression == kRle8 ? 8u : 4u)) target.Unreadable();
            // Run-length pictures are stored bottom-up only.
            if (layout.topDown) target.Damaged();
            break;
        case kBitFields:
        case kAlphaBitFields: return ReadMasks(data, size, header, headerSize, layout, target);
        default:  // JPEG, PNG, OS/2 Huffman or RLE24 inside a BMP
            target.Unreadable();
    }
    return 14 + std::uint64_t{headerSize};
}

// The palette of `colours` entries of `entry` bytes at `start`, which must end before the
// pixels at `offset`.
void ReadPalette(const std::uint8_t* data, std::size_t size, std::uint64_t start, std::uint64_t colours,
                 std::size_t entry, std::uint64_t offset, Layout& layout, const Target& target) {
    const std::uint64_t most = std::uint64_t{1} << layout.bits;
    // Entries past 2^bits are never used; the file still holds them.
    if (colours > 256) target.Damaged();
    const std::uint64_t end = start + colours * entry;
    if (end > size || offset < end) target.Damaged();
    const std::uint8_t* p = data + start;
    for (std::uint64_t i = 0; i < std::min(colours, most); ++i, p += entry)
        layout.palette.push_back(Rgb(p[2], p[1], p[0]));
}

Layout ReadLayout(const std::uint8_t* data, std::size_t size, const Target& target) {
    if (size < 18) target.Damaged();
    const std::uint64_t offset = U32(data + 10);
    const std::uint32_t headerSize = U32(data + 14);
    const bool core = headerSize == 12;
    // 12: core; 16 to 64: Windows 3 and its extensions (52, 56) or OS/2 2.x (a prefix of
    // 64 bytes, absent fields 0); 108: V4; 124: V5.
    if (!core && (headerSize < 16 || headerSize > 64) && headerSize != 108 && headerSize != 124) target.Unreadable();
    if (size - 14 < headerSize) target.Damaged();
    std::array<std::uint8_t, 64> header{};
    std::memcpy(header.data(), data + 14, std::min<std::size_t>(headerSize, header.size()));

    Layout layout;
    std::uint64_t colours = ReadHeader(header, core, layout);
    if (layout.width < 0) target.Damaged();
    const std::uint64_t masksEnd = ReadCompression(data, size, header, headerSize, layout, target);
    // The size decides before anything else is read.
    target.CheckSize(layout.width, layout.rows);

    if (layout.bits <= 8) {
        if (core || colours == 0) colours = std::uint64_t{1} << layout.bits;
        ReadPalette(data, size, masksEnd, colours, core ? 3 : 4, offset, layout, target);
    } else if (offset < masksEnd) {
        target.Damaged();
    }
    if (offset > size) target.Damaged();
    layout.pixels = static_cast<std::size_t>(offset);
    return layout;
}

void ReadRows(const std::uint8_t* data, std::size_t size, const Layout& layout, QImage& image, const Target& target) {
    const auto width = static_cast<std::uint64_t>(layout.width);
    const std::uint64_t stride = (width * layout.bits + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(layout.rows);
    if ((size - layout.pixels) / stride < rows) target.Damaged();
    for (std::uint64_t r = 0; r < rows; ++r) {
        const std::uint8_t* in = data + layout.pixels + r * stride;
        const int y = static_cast<int>(layout.topDown ? r : rows - 1 - r);
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (std::uint64_t x = 0; x < width; ++x) {
            switch (layout.bits) {
                case 1: out[x] = Colour(layout, (in[x / 8] >> (7 - x % 8)) & 1u, target); break;
                case 4: out[x] = Colour(layout, (in[x / 2] >> (x % 2 ? 0 : 4)) & 15u, target); break;
                case 8: out[x] = Colour(layout, in[x], target); break;
                case 24: out[x] = Rgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]); break;
                default: {
                    const std::uint32_t pixel = layout.bits == 16 ? U16(in + 2 * x) : U32(in + 4 * x);
                    out[x] = Rgb(layout.red.Of(pixel), layout.green.Of(pixel), layout.blue.Of(pixel));
                }
            }
        }
    }
}

// Every line must be filled exactly, from its first pixel to its last: a jump, an early
// end of line or of the bitmap, and a run past the line's end are damage.
void ReadRuns(const std::uint8_t* data, std::size_t size, const Layout& layout, QImage& image, const Target& target) {
    const bool fourBit = layout.compression == kRle4;
    const std::int64_t width = layout.width;
    std::size_t pos = layout.pixels;
    std::int64_t row = 0, column = 0;
    std::uint32_t* out = reinterpret_cast<std::uint32_t*>(image.scanLine(static_cast<int>(layout.rows - 1)));
    while (row < layout.rows) {
        if (size - pos < 2) {
            // The stream may end right after the last pixel, without its end markers.
            if (row == layout.rows - 1 && column == width) return;
            target.Damaged();
        }
        const std::uint32_t count = data[pos], code = data[pos + 1];
        pos += 2;
        if (count > 0) {  // `count` pixels of one byte: two alternating indices in RLE4
            if (column + count > width) target.Damaged();
            const std::uint32_t first = Colour(layout, fourBit ? code >> 4 : code, target);
            const std::uint32_t second = fourBit ? Colour(layout, code & 15u, target) : first;
            for (std::uint32_t i = 0; i < count; ++i) out[column++] = i % 2 ? second : first;
        } else if (code == 0) {  // end of line
            if (column != width) target.Damaged();
            column = 0;
            if (++row < layout.rows)
                out = reinterpret_cast<std::uint32_t*>(image.scanLine(static_cast<int>(layout.rows - 1 - row)));
        } else if (code == 1) {  // end of bitmap
            if (row != layout.rows - 1 || column != width) target.Damaged();
            return;
        } else if (code == 2) {  // a jump: the pixels it skips are never set
            target.Damaged();
        } else {  // `code` literal indices, padded to a 16-bit boundary
            if (column + code > width) target.Damaged();
            std::size_t bytes = fourBit ? (code + 1u) / 2u : code;
            bytes += bytes & 1u;
            if (size - pos < bytes) target.Damaged();
            for (std::uint32_t i = 0; i < code; ++i) {
                const std::uint32_t index = fourBit ? (data[pos + i / 2] >> (i % 2 ? 0 : 4)) & 15u : data[pos + i];
                out[column++] = Colour(layout, index, target);
            }
            pos += bytes;
        }
    }
}

}  // namespace

QImage DecodeBmp(const std::uint8_t* data, std::size_t size, const Target& target) {
    const Layout layout = ReadLayout(data, size, target);
    if (layout.compression != kRle8 && layout.compression != kRle4) {
        // All rows present before the memory for them is made.
        const std::uint64_t stride = (static_cast<std::uint64_t>(layout.width) * layout.bits + 31) / 32 * 4;
        if ((size - layout.pixels) / stride < static_cast<std::uint64_t>(layout.rows)) target.Damaged();
    }
    QImage image = target.Allocate(layout.width, layout.rows);
    if (layout.compression == kRle8 || layout.compression == kRle4)
        ReadRuns(data, size, layout, image, target);
    else
        ReadRows(data, size, layout, image, target);
    return image;
}

}  // namespace tesora::decoding
