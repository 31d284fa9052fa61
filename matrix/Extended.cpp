#include "matrix/Extended.h"

#include <bit>
#include <cmath>

namespace tesora {

#if !TESORA_SOFTWARE_EXTENDED
NativeExtended Sqrt(NativeExtended a) { return NativeExtended::Raw(std::sqrt(a.v_)); }
#endif

double SquareRoot(double x) { return static_cast<double>(Sqrt(Extended(x))); }

#if defined(__SIZEOF_INT128__)

namespace {
using U128 = unsigned __int128;

constexpr std::int32_t kMinExponent = -16382;  // of the smallest normal number
constexpr std::int32_t kMaxExponent = 16383;

// Shifts right, folding every bit shifted out into the lowest bit (it only ever
// decides between "exactly half" and "more than half" when rounding).
U128 ShiftRightJam(U128 x, int n) {
    if (n <= 0) return x;
    if (n >= 128) return x != 0 ? 1 : 0;
    const U128 lost = x & ((U128(1) << n) - 1);
    return (x >> n) | (lost != 0 ? 1 : 0);
}

int LeadingZeros(U128 x) {
    const auto high = static_cast<std::uint64_t>(x >> 64);
    return high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(x));
}
}  // namespace

struct SoftExtendedAccess {
    static SoftExtended Make(bool negative, SoftExtended::Kind kind) {
        SoftExtended r;
        r.negative_ = negative;
        r.kind_ = kind;
        return r;
    }
    static SoftExtended NaN() { return Make(true, SoftExtended::Kind::NaN); }

    // Rounds significand * 2^scale (significand nonzero; its lowest bit may be a sticky
    // bit) to 64 bits, ties to even, within the exponent range.
    static SoftExtended Round(bool negative, U128 significand, std::int32_t scale) {
        const int zeros = LeadingZeros(significand);
        significand <<= zeros;
        std::int32_t exponent = scale + 127 - zeros;  // of the leading bit
        if (exponent < kMinExponent) {
            significand = ShiftRightJam(significand, kMinExponent - exponent);
            exponent = kMinExponent;
        }
        auto mantissa = static_cast<std::uint64_t>(significand >> 64);
        const auto rest = static_cast<std::uint64_t>(significand);
        constexpr std::uint64_t kHalf = 1ULL << 63;
        if (rest > kHalf || (rest == kHalf && (mantissa & 1) != 0)) {
            if (++mantissa == 0) {
                mantissa = kHalf;
                ++exponent;
            }
        }
        if (exponent > kMaxExponent) return Make(negative, SoftExtended::Kind::Infinite);
        if (mantissa == 0) return Make(negative, SoftExtended::Kind::Zero);
        SoftExtended r = Make(negative, SoftExtended::Kind::Finite);
        r.mantissa_ = mantissa;
        r.exponent_ = exponent;
        return r;
    }

    // The mantissa with its leading bit at 63 and the matching exponent (for subnormals
    // the exponent drops below the format's minimum).
    static void Normalised(const SoftExtended& a, std::uint64_t& mantissa, std::int32_t& exponent) {
        const int zeros = std::countl_zero(a.mantissa_);
        mantissa = a.mantissa_ << zeros;
        exponent = a.exponent_ - zeros;
    }

    static SoftExtended Add(SoftExtended a, SoftExtended b) {
        using K = SoftExtended::Kind;
        if (a.kind_ == K::NaN || b.kind_ == K::NaN) return NaN();
        if (a.kind_ == K::Infinite) return (b.kind_ == K::Infinite && a.negative_ != b.negative_) ? NaN() : a;
        if (b.kind_ == K::Infinite) return b;
        if (a.kind_ == K::Zero) return b.kind_ == K::Zero ? Make(a.negative_ && b.negative_, K::Zero) : b;
        if (b.kind_ == K::Zero) return a;
        // Both finite: the larger magnitude first, 62 guard bits below the mantissa.
        if (b.exponent_ > a.exponent_ || (b.exponent_ == a.exponent_ && b.mantissa_ > a.mantissa_)) std::swap(a, b);
        const U128 big = U128(a.mantissa_) << 62;
        const U128 small = ShiftRightJam(U128(b.mantissa_) << 62, a.exponent_ - b.exponent_);
        const std::int32_t scale = a.exponent_ - 63 - 62;
        if (a.negative_ == b.negative_) return Round(a.negative_, big + small, scale);
        const U128 difference = big - small;
        if (difference == 0) return Make(false, K::Zero);  // x - x is +0 when rounding to nearest
        return Round(a.negative_, difference, scale);
    }

    static SoftExtended Multiply(SoftExtended a, SoftExtended b) {
        using K = SoftExtended::Kind;
        const bool negative = a.negative_ != b.negative_;
        if (a.kind_ == K::NaN || b.kind_ == K::NaN) return NaN();
        if (a.kind_ == K::Infinite || b.kind_ == K::Infinite)
            return (a.kind_ == K::Zero || b.kind_ == K::Zero) ? NaN() : Make(negative, K::Infinite);
        if (a.kind_ == K::Zero || b.kind_ == K::Zero) return Make(negative, K::Zero);
        return Round(negative, U128(a.mantissa_) * b.mantissa_, a.exponent_ + b.exponent_ - 126);
    }

    static SoftExtended Divide(SoftExtended a, SoftExtended b) {
        using K = SoftExtended::Kind;
        const bool negative = a.negative_ != b.negative_;
        if (a.kind_ == K::NaN || b.kind_ == K::NaN) return NaN();
        if (a.kind_ == K::Infinite) return b.kind_ == K::Infinite ? NaN() : Make(negative, K::Infinite);
        if (b.kind_ == K::Infinite) return Make(negative, K::Zero);
        if (b.kind_ == K::Zero) return a.kind_ == K::Zero ? NaN() : Make(negative, K::Infinite);
        if (a.kind_ == K::Zero) return Make(negative, K::Zero);
        std::uint64_t ma, mb;
        std::int32_t ea, eb;
        Normalised(a, ma, ea);
        Normalised(b, mb, eb);
        // 128 quotient bits in two long divisions; the first holds 64 of them.
        const int shift = ma >= mb ? 63 : 64;
        const U128 numerator = U128(ma) << shift;
        const auto high = static_cast<std::uint64_t>(numerator / mb);
        const auto rest = static_cast<std::uint64_t>(numerator % mb);
        const U128 second = U128(rest) << 64;
        const auto low = static_cast<std::uint64_t>(second / mb);
        const bool sticky = second % mb != 0;
        const U128 quotient = (U128(high) << 64) | low | (sticky ? 1 : 0);
        return Round(negative, quotient, ea - eb - shift - 64);
    }

    static SoftExtended Sqrt(SoftExtended a) {
        using K = SoftExtended::Kind;
        if (a.kind_ == K::NaN) return NaN();
        if (a.kind_ == K::Zero) return a;
        if (a.negative_) return NaN();
        if (a.kind_ == K::Infinite) return a;
        std::uint64_t m;
        std::int32_t e;
        Normalised(a, m, e);
        // a = m * 2^(e - 63) = N * 2^(e - 63 - shift) with an even power and N in [2^126, 2^128).
        const int shift = ((e - 63 - 64) % 2 == 0) ? 64 : 63;
        const U128 n = U128(m) << shift;
        // Integer square root: a double estimate, then exact corrections.
        auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(n)));
        if (r == 0) r = 1ULL << 63;
        for (int i = 0; i < 2; ++i) {
            const U128 next = (U128(r) + n / r) / 2;
            r = next > ~0ULL ? ~0ULL : static_cast<std::uint64_t>(next);
        }
        while (U128(r) * r > n) --r;
        while (r != ~0ULL && U128(r + 1) * (r + 1) <= n) ++r;
        // The root is never exactly halfway: above r + 1/2 exactly when n - r^2 > r.
        const U128 remainder = n - U128(r) * r;
        const std::uint64_t fraction = remainder > r    ? 0xC000000000000000ULL
                                       : remainder != 0 ? 0x4000000000000000ULL
                                                        : 0;
        return Round(false, (U128(r) << 64) | fraction, (e - 63 - shift) / 2 - 64);
    }
};

SoftExtended::SoftExtended(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    negative_ = (bits >> 63) != 0;
    const auto field = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((1ULL << 52) - 1);
    if (field == 0x7FF) {
        kind_ = fraction != 0 ? Kind::NaN : Kind::Infinite;
        return;
    }
    if (field == 0 && fraction == 0) return;  // a signed zero
    kind_ = Kind::Finite;
    const std::uint64_t significand = field == 0 ? fraction : (fraction | (1ULL << 52));
    const int zeros = std::countl_zero(significand);
    mantissa_ = significand << zeros;
    exponent_ = (field == 0 ? -1022 : field - 1023) + 11 - zeros;
}

SoftExtended::SoftExtended(std::int64_t x) {
    if (x == 0) return;
    negative_ = x < 0;
    kind_ = Kind::Finite;
    const std::uint64_t magnitude = negative_ ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
    const int zeros = std::countl_zero(magnitude);
    mantissa_ = magnitude << zeros;
    exponent_ = 63 - zeros;
}

SoftExtended::operator double() const {
    const std::uint64_t sign = negative_ ? 1ULL << 63 : 0;
    switch (kind_) {
        case Kind::NaN: return std::bit_cast<double>(0xFFF8000000000000ULL);
        case Kind::Infinite: return std::bit_cast<double>(sign | 0x7FF0000000000000ULL);
        case Kind::Zero: return std::bit_cast<double>(sign);
        case Kind::Finite: break;
    }
    std::uint64_t m;
    std::int32_t e;
    SoftExtendedAccess::Normalised(*this, m, e);
    // Keep 53 bits (fewer below double's normal range), round the rest half to even.
    int drop = 11;
    std::int64_t biased = e + 1023;
    if (biased >= 0x7FF) return std::bit_cast<double>(sign | 0x7FF0000000000000ULL);
    if (biased < 1) {
        drop += static_cast<int>(1 - biased);
        biased = 1;
    }
    std::uint64_t kept;
    if (drop >= 65) {
        kept = 0;
    } else if (drop == 64) {
        kept = (m > (1ULL << 63)) ? 1 : 0;  // exactly half rounds to the even zero
    } else {
        kept = m >> drop;
        const std::uint64_t rest = m & ((1ULL << drop) - 1);
        const std::uint64_t half = 1ULL << (drop - 1);
        if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
    }
    // The hidden bit (bit 52) adds one to the exponent field; a carry adds another.
    const std::uint64_t magnitude = (static_cast<std::uint64_t>(biased - 1) << 52) + kept;
    if (magnitude >= 0x7FF0000000000000ULL) return std::bit_cast<double>(sign | 0x7FF0000000000000ULL);
    return std::bit_cast<double>(sign | magnitude);
}

SoftExtended::operator int() const {
    if (kind_ != Kind::Finite || exponent_ < 0 || exponent_ > 62) return 0;
    const auto magnitude = static_cast<std::int64_t>(mantissa_ >> (63 - exponent_));
    return static_cast<int>(negative_ ? -magnitude : magnitude);
}

SoftExtended operator+(SoftExtended a, SoftExtended b) { return SoftExtendedAccess::Add(a, b); }
SoftExtended operator-(SoftExtended a, SoftExtended b) { return SoftExtendedAccess::Add(a, -b); }
SoftExtended operator*(SoftExtended a, SoftExtended b) { return SoftExtendedAccess::Multiply(a, b); }
SoftExtended operator/(SoftExtended a, SoftExtended b) { return SoftExtendedAccess::Divide(a, b); }
SoftExtended Sqrt(SoftExtended a) { return SoftExtendedAccess::Sqrt(a); }

std::partial_ordering operator<=>(SoftExtended a, SoftExtended b) {
    using K = SoftExtended::Kind;
    if (a.kind_ == K::NaN || b.kind_ == K::NaN) return std::partial_ordering::unordered;
    if (a.kind_ == K::Infinite && b.kind_ == K::Infinite && a.negative_ == b.negative_)
        return std::partial_ordering::equivalent;
    // Distinct values never have a zero difference (subnormals keep it exact).
    const SoftExtended d = a - b;
    if (d.kind_ == K::Zero) return std::partial_ordering::equivalent;
    return d.negative_ ? std::partial_ordering::less : std::partial_ordering::greater;
}

SoftExtended SoftExtended::FromX87(std::uint64_t mantissa, std::uint16_t signExponent) {
    SoftExtended r;
    r.negative_ = (signExponent & 0x8000) != 0;
    const int field = signExponent & 0x7FFF;
    if (field == 0x7FFF) {
        r.kind_ = (mantissa << 1) != 0 ? Kind::NaN : Kind::Infinite;
    } else if (mantissa != 0) {
        r.kind_ = Kind::Finite;
        r.mantissa_ = mantissa;
        r.exponent_ = field == 0 ? kMinExponent : field - 16383;
    }
    return r;
}

std::uint64_t SoftExtended::X87Mantissa() const {
    switch (kind_) {
        case Kind::Finite: return mantissa_;
        case Kind::Infinite: return 1ULL << 63;
        case Kind::NaN: return 0xC000000000000000ULL;
        case Kind::Zero: break;
    }
    return 0;
}

std::uint16_t SoftExtended::X87SignExponent() const {
    int field = 0;
    if (kind_ == Kind::Infinite || kind_ == Kind::NaN)
        field = 0x7FFF;
    else if (kind_ == Kind::Finite && (mantissa_ >> 63) != 0)
        field = exponent_ + 16383;
    return static_cast<std::uint16_t>((negative_ ? 0x8000 : 0) | field);
}

#endif

}  // namespace tesora
