#pragma once
// Extended precision as the core's numbers need it: a 64-bit mantissa, every operation
// rounded to nearest (ties to even), and the exponent range of the x87 80-bit format.
// Where `long double` is that format it is used directly; elsewhere SoftExtended
// computes the very same bits on 64-bit integers. The build picks one (see
// cmake/Platform.cmake) and defines TESORA_SOFTWARE_EXTENDED to 0 or 1.
#include <cmath>
#include <compare>
#include <cstdint>
#include <limits>

namespace tesora {

#if defined(__SIZEOF_INT128__)
// The software type. Zeros, infinities and NaN follow IEEE rules; a NaN result is some
// NaN (its payload is not part of the contract).
class SoftExtended {
public:
    constexpr SoftExtended() = default;
    explicit SoftExtended(double x);
    explicit SoftExtended(std::int64_t x);
    explicit SoftExtended(int x) : SoftExtended(static_cast<std::int64_t>(x)) {}

    // Rounded to the nearest double (ties to even), with double's overflow and subnormals.
    explicit operator double() const;
    // Truncated toward zero; only for values that fit an int.
    explicit operator int() const;

    friend SoftExtended operator+(SoftExtended a, SoftExtended b);
    friend SoftExtended operator-(SoftExtended a, SoftExtended b);
    friend SoftExtended operator*(SoftExtended a, SoftExtended b);
    friend SoftExtended operator/(SoftExtended a, SoftExtended b);
    friend SoftExtended operator-(SoftExtended a) {
        a.negative_ = !a.negative_;
        return a;
    }
    friend SoftExtended Sqrt(SoftExtended a);
    friend std::partial_ordering operator<=>(SoftExtended a, SoftExtended b);
    friend bool operator==(SoftExtended a, SoftExtended b) { return (a <=> b) == 0; }

    // The 80-bit memory layout: explicit-integer-bit mantissa and sign with biased exponent.
    static SoftExtended FromX87(std::uint64_t mantissa, std::uint16_t signExponent);
    std::uint64_t X87Mantissa() const;
    std::uint16_t X87SignExponent() const;
    bool IsNaN() const { return kind_ == Kind::NaN; }

private:
    enum class Kind : std::uint8_t { Zero, Finite, Infinite, NaN };
    friend struct SoftExtendedAccess;

    // Finite: value = mantissa * 2^(exponent - 63); normal when the top bit is set,
    // subnormal (exponent at its minimum) otherwise.
    std::uint64_t mantissa_ = 0;
    std::int32_t exponent_ = 0;
    bool negative_ = false;
    Kind kind_ = Kind::Zero;
};
#endif

#if !TESORA_SOFTWARE_EXTENDED
// Only the x87 format rounds like the software type: a native type of another format
// would give other coefficients, so such a build must not exist.
static_assert(std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::max_exponent == 16384,
              "the native extended type needs the x87 80-bit long double; build with TESORA_SOFTWARE_EXTENDED=1");

// The native type: the x87 format makes every operation round exactly like SoftExtended.
class NativeExtended {
public:
    constexpr NativeExtended() = default;
    constexpr explicit NativeExtended(double x) : v_(x) {}
    constexpr explicit NativeExtended(std::int64_t x) : v_(static_cast<long double>(x)) {}
    constexpr explicit NativeExtended(int x) : v_(x) {}

    constexpr explicit operator double() const { return static_cast<double>(v_); }
    constexpr explicit operator int() const { return static_cast<int>(v_); }

    friend constexpr NativeExtended operator+(NativeExtended a, NativeExtended b) { return Raw(a.v_ + b.v_); }
    friend constexpr NativeExtended operator-(NativeExtended a, NativeExtended b) { return Raw(a.v_ - b.v_); }
    friend constexpr NativeExtended operator*(NativeExtended a, NativeExtended b) { return Raw(a.v_ * b.v_); }
    friend constexpr NativeExtended operator/(NativeExtended a, NativeExtended b) { return Raw(a.v_ / b.v_); }
    friend constexpr NativeExtended operator-(NativeExtended a) { return Raw(-a.v_); }
    friend NativeExtended Sqrt(NativeExtended a);
    friend constexpr std::partial_ordering operator<=>(NativeExtended a, NativeExtended b) { return a.v_ <=> b.v_; }
    friend constexpr bool operator==(NativeExtended a, NativeExtended b) { return a.v_ == b.v_; }

    constexpr long double Native() const { return v_; }
    static constexpr NativeExtended Raw(long double v) {
        NativeExtended e;
        e.v_ = v;
        return e;
    }

private:
    long double v_ = 0.0L;
};
#endif

#if TESORA_SOFTWARE_EXTENDED
using Extended = SoftExtended;
#else
using Extended = NativeExtended;
#endif

// The exact operation sequences of the core, each ending in the store to a double.
// x - a * b: product and difference in extended precision.
inline double SubtractProduct(double x, double a, double b) {
    // x - (+-0) is x in any precision, and the dense solve of a band matrix is mostly
    // such steps: skipping the extended arithmetic there keeps it fast.
    if (x != 0.0 && ((a == 0.0 && std::isfinite(b)) || (b == 0.0 && std::isfinite(a)))) return x;
    return static_cast<double>(Extended(x) - Extended(a) * Extended(b));
}
// x / d in extended precision, then stored.
inline double Divide(double x, double d) { return static_cast<double>(Extended(x) / Extended(d)); }
// The square root in extended precision, then stored.
double SquareRoot(double x);

}  // namespace tesora
