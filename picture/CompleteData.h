#pragma once
// Whether a BMP or GIF file holds all the bytes its headers promise. Qt's readers for
// these formats stop quietly at the end of the data and hand back a picture whose
// missing pixels were never written; these walks find such files before decoding.
#include <cstddef>
#include <cstdint>

namespace tesora {

// The pixel data that the BMP header announces is present: for uncompressed files the
// full rows after the palette, for RLE4/RLE8 a run stream that sets every pixel without
// running off the file (no jumps, no short lines). False for a truncated header.
bool BmpDataComplete(const std::uint8_t* data, std::size_t size);

// The GIF's blocks up to the end of its first image (the one that is decoded) are all
// present, the image's data sub-blocks included.
bool GifDataComplete(const std::uint8_t* data, std::size_t size);

}  // namespace tesora
