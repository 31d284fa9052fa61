#pragma once
// The full-range Y, Cb, Cr of the still-picture standards: all three on 0 ... 255, Cb and
// Cr centred on 128,
//   Y  =  0.299 R    + 0.587 G    + 0.114 B
//   Cb = -0.168736 R - 0.331264 G + 0.5 B      + 128
//   Cr =  0.5 R      - 0.418688 G - 0.081312 B + 128
// and back
//   R = Y + 1.402 (Cr - 128),  G = Y - 0.344136 (Cb - 128) - 0.714136 (Cr - 128),
//   B = Y + 1.772 (Cb - 128).
#include <array>
#include <cstddef>
#include <cstdint>

namespace tesora::codec {

// One pixel's three values, in the order the function names them.
using Triple = std::array<double, 3>;

Triple YCbCrOf(double r, double g, double b);
Triple RgbOf(double y, double cb, double cr);

// A value on 0 ... 255 as a byte: rounded to the nearest, halves upwards, clamped. Inline:
// a decoder calls it once a pixel. NaN fails both comparisons and ends as 0 rather than as
// an undefined conversion; above 0, cutting value + 1/2 toward zero is its floor.
inline std::uint8_t ToByte(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 255.0) return 255;
    return static_cast<std::uint8_t>(static_cast<int>(value + 0.5));
}

// From the decoded (unrounded) planes, so that only the final bytes are rounded (ToByte).
void YCbCrToRgb(const double* y, const double* cb, const double* cr, std::size_t count, std::uint8_t* r,
                std::uint8_t* g, std::uint8_t* b);

}  // namespace tesora::codec
