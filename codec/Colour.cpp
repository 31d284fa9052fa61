#include "codec/Colour.h"

#include <cmath>

namespace tesora::codec {

Triple YCbCrOf(double r, double g, double b) {
    return {0.299 * r + 0.587 * g + 0.114 * b, -0.168736 * r - 0.331264 * g + 0.5 * b + 128.0,
            0.5 * r - 0.418688 * g - 0.081312 * b + 128.0};
}

Triple RgbOf(double y, double cb, double cr) {
    return {y + 1.402 * (cr - 128.0), y - 0.344136 * (cb - 128.0) - 0.714136 * (cr - 128.0), y + 1.772 * (cb - 128.0)};
}

namespace {

// Three planes through one conversion into three planes of bytes.
template <typename In, typename Convert>
void ConvertPlanes(const In* p, const In* q, const In* r, std::size_t count, std::uint8_t* x, std::uint8_t* y,
                   std::uint8_t* z, Convert convert) {
    for (std::size_t i = 0; i < count; ++i) {
        const Triple t = convert(p[i], q[i], r[i]);
        x[i] = ToByte(t[0]);
        y[i] = ToByte(t[1]);
        z[i] = ToByte(t[2]);
    }
}

}  // namespace

void RgbToYCbCr(const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, std::size_t count, std::uint8_t* y,
                std::uint8_t* cb, std::uint8_t* cr) {
    ConvertPlanes(r, g, b, count, y, cb, cr, [](double u, double v, double w) { return YCbCrOf(u, v, w); });
}

void RgbToYCbCr(const std::uint8_t* r, const std::uint8_t* g, const std::uint8_t* b, std::size_t count, double* y,
                double* cb, double* cr) {
    for (std::size_t i = 0; i < count; ++i) {
        const Triple t = YCbCrOf(r[i], g[i], b[i]);
        y[i] = t[0];
        cb[i] = t[1];
        cr[i] = t[2];
    }
}

void YCbCrToRgb(const double* y, const double* cb, const double* cr, std::size_t count, std::uint8_t* r,
                std::uint8_t* g, std::uint8_t* b) {
    ConvertPlanes(y, cb, cr, count, r, g, b, RgbOf);
}

}  // namespace tesora::codec
