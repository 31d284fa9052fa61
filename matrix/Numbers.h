#pragma once
// Small numeric helpers shared by every layer. Text conversions follow the "C" locale
// whatever locale the process runs in (Qt sets it from the environment).
#include <algorithm>
#include <string>
#include <string_view>

namespace tesora {

inline double AbsValue(double x) { return x >= 0 ? x : -x; }

// 0 below 0 (and for NaN), 255 above 255, otherwise truncated toward zero. Written as
// min and max, which compile to single instructions, scalar or vectorised, instead of
// branches: std::min keeps a NaN, std::max then gives 0 for it.
inline int ClampToByte(double x) {
    const double high = std::min(x, 255.0);
    return static_cast<int>(std::max(0.0, high));
}

// printf's "%g": six significant digits, trailing zeros dropped, "." as decimal point.
std::string FormatG(double value);
// printf's "%d".
std::string FormatD(long long value);

// strtod in the "C" locale: leading blanks skipped, longest numeric prefix converted,
// 0.0 for a text without a number, +/-infinity beyond the range of a double. *used, when
// asked for, is the length read (0 for a text without a number).
double ParseNumber(std::string_view text, std::size_t* used = nullptr);

}  // namespace tesora
