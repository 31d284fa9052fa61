#include "codec/Colour.h"

namespace tesora::codec {

Triple YCbCrOf(double r, double g, double b) {
    return {0.299 * r + 0.587 * g + 0.114 * b, -0.168736 * r - 0.331264 * g + 0.5 * b + 128.0,
            0.5 * r - 0.418688 * g - 0.081312 * b + 128.0};
}

Triple RgbOf(double y, double cb, double cr) {
    return {y + 1.402 * (cr - 128.0), y - 0.344136 * (cb - 128.0) - 0.714136 * (cr - 128.0), y + 1.772 * (cb - 128.0)};
}

void YCbCrToRgb(const double* y, const double* cb, const double* cr, std::size_t count, std::uint8_t* r,
                std::uint8_t* g, std::uint8_t* b) {
    for (std::size_t i = 0; i < count; ++i) {
        const Triple t = RgbOf(y[i], cb[i], cr[i]);
        r[i] = ToByte(t[0]);
        g[i] = ToByte(t[1]);
        b[i] = ToByte(t[2]);
    }
}

}  // namespace tesora::codec
