#pragma once
// The steps of the interleaved tridiagonal solve, for matrix/Tridiagonal.cpp only: each
// clone there instantiates them with its own instructions, so they stay in one unit.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "matrix/Extended.h"
#include "matrix/Simd.h"

#if TESORA_FMA_CLONES
#include <immintrin.h>
#endif

namespace tesora {
namespace {  // one includer: the steps stay internal to it

// One step of the interleaved solve, w = (r - l * p) / d with the product, difference
// and quotient in extended precision, emulated on doubles so that it vectorises: the
// exact product as a double pair (Dekker), its rounding to 64 bits with a magic
// constant, the difference as a double pair (Knuth), then a check that neither final
// rounding lies close to a tie; only there can the 64-bit intermediates matter, and
// those rare elements are redone with Extended.

constexpr std::uint64_t kExponentMask = 0x7FF0000000000000ULL;
constexpr std::uint64_t kFractionMask = 0x000FFFFFFFFFFFFFULL;
constexpr double kTieMargin = 0.5 - 0x1p-10;  // of an ulp; the 64-bit grid is 2^-11

struct Split {
    double hi, lo;
};

inline Split SplitHalves(double x) {
    const double c = 134217729.0 * x;  // 2^27 + 1
    const double hi = c - (c - x);
    return {hi, x - hi};
}

// a * b - product exactly, for product = fl(a * b) in the safe range: one fused
// operation where there is one, Dekker's halves elsewhere (the same exact value).
inline double SplitProductError(Split a, Split b, double product) {
    return ((a.hi * b.hi - product) + a.hi * b.lo + a.lo * b.hi) + a.lo * b.lo;
}
template <bool Fused>
inline double ProductError(double a, Split as, double b, double product) {
    if constexpr (Fused)
        return std::fma(a, b, -product);
    else
        return SplitProductError(as, SplitHalves(b), product);
}

inline double PowerOfTwoBelow(double x) {  // 2^floor(log2 |x|), 0 for 0
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & kExponentMask);
}
inline bool IsPowerOfTwo(double x) { return (std::bit_cast<std::uint64_t>(x) & kFractionMask) == 0; }
// Flags are combined as 0/1 with bitwise operators: no short-circuit branches in the
// vectorised loops. They are as wide as a double, so that a vector of flags matches a
// vector of values.
using Flags = std::uint64_t;
inline Flags Flag(bool b) { return static_cast<Flags>(b); }
// The safe range 2^-400 <= |x| < 2^401: there no intermediate of a step overflows or
// loses bits to underflow. Compared as magnitudes, which is cheaper in vectors than
// taking the exponent field apart; a NaN fails both comparisons.
constexpr double kSafeBottom = 0x1p-400;
constexpr double kSafeTop = 0x1p401;
inline Flags OutsideSafeRange(double x) {  // zeros included
    const double magnitude = std::abs(x);
    return Flag(!(magnitude >= kSafeBottom)) | Flag(!(magnitude < kSafeTop));
}
inline Flags OutOfSafeRange(double x) {  // neither zero nor in the safe range
    return OutsideSafeRange(x) & Flag(x != 0.0);
}
inline bool Finite(double x) { return std::abs(x) <= std::numeric_limits<double>::max(); }
inline bool InSafeRange(double x) { return OutOfSafeRange(x) == 0; }

// The tie margin in the units of the ulp that decides a rounding near x (the smaller
// one where x is a power of two), folded into one constant: exact for x in the safe
// range, and outside it every caller flags x anyway.
constexpr double kUlpMargin = 0x1p-52 * kTieMargin;
constexpr double kSmallUlpMargin = 0x1p-53 * kTieMargin;
inline double TieBound(double x) { return PowerOfTwoBelow(x) * (IsPowerOfTwo(x) ? kSmallUlpMargin : kUlpMargin); }

// Quotient v / d rounded as by Extended, for a v that SubtractProduct gave; `unsure`
// is set where it cannot tell. With fused operations the quotient comes from the
// reciprocal and one correction, which keeps the slow vector divider out of the loop:
// the check below proves the result either way, as it only accepts a w within a tie
// margin of the exact quotient. A zero v gives a zero w of the right sign, which needs
// no check.
template <bool Fused>
inline double QuickQuotientOf(double v, double d, Split ds, double inverse, Flags& unsure) {
    double w, remainder;  // remainder: v - w * d, exact
    if constexpr (Fused) {
        const double q = v * inverse;
        const double corrected = std::fma(std::fma(-q, d, v), inverse, q);
        w = v == 0.0 ? q : corrected;  // keeps the sign of a zero
        remainder = std::fma(-w, d, v);
    } else {
        w = v / d;
        const double h = w * d;
        remainder = (v - h) - SplitProductError(SplitHalves(w), ds, h);
    }
    const double offset = remainder * inverse;  // exact quotient - w
    const double bound = TieBound(w);
    // A zero w from a nonzero v underflowed: the range test sends it to Extended.
    unsure = Flag(v != 0.0) & (Flag(!(std::abs(offset) < bound)) | OutsideSafeRange(v) | OutsideSafeRange(w));
    return w;
}

#if TESORA_FMA_CLONES
// QuickQuotientOf for a row on AVX-512, written out so that the flags stay in mask
// registers: w[m] = v[m] / d for every m, and unsure[m / 8] holds the unsure lanes of
// each eight as a bit mask.
struct QuotientConstants {
    __m512d d, inverse, ulp, smallUlp;
    __m512i exponentMask, fractionMask, magnitude, low, span;
};

TESORA_TARGET_AVX512 inline __attribute__((always_inline)) __mmask8 QuotientLanes(const QuotientConstants& k,
                                                                                  const double* v, double* w,
                                                                                  __mmask8 lanes) {
    const __m512d x = _mm512_maskz_loadu_pd(lanes, v);
    const __m512d q = _mm512_mul_pd(x, k.inverse);
    const __m512d corrected = _mm512_fmadd_pd(_mm512_fnmadd_pd(q, k.d, x), k.inverse, q);
    const __mmask8 nonzero = _mm512_cmp_pd_mask(x, _mm512_setzero_pd(), _CMP_NEQ_UQ);
    const __m512d y = _mm512_mask_blend_pd(nonzero, q, corrected);  // a zero keeps its sign
    const __m512d offset = _mm512_mul_pd(_mm512_fnmadd_pd(y, k.d, x), k.inverse);
    const __m512i yExponent = _mm512_and_si512(_mm512_castpd_si512(y), k.exponentMask);
    const __mmask8 power = _mm512_testn_epi64_mask(_mm512_castpd_si512(y), k.fractionMask);
    const __m512d bound = _mm512_mul_pd(_mm512_castsi512_pd(yExponent), _mm512_mask_blend_pd(power, k.ulp, k.smallUlp));
    const __m512d distance = _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(offset), k.magnitude));
    const __mmask8 far = _mm512_mask_cmp_pd_mask(nonzero, distance, bound, _CMP_NLT_UQ);
    // OutsideSafeRange on the exponent bits in place.
    const __m512i xExponent = _mm512_and_si512(_mm512_castpd_si512(x), k.exponentMask);
    const __mmask8 outsideX = _mm512_mask_cmpgt_epu64_mask(nonzero, _mm512_sub_epi64(xExponent, k.low), k.span);
    const __mmask8 outsideY = _mm512_mask_cmpgt_epu64_mask(nonzero, _mm512_sub_epi64(yExponent, k.low), k.span);
    _mm512_mask_storeu_pd(w, lanes, y);
    return _kand_mask8(_kor_mask8(far, _kor_mask8(outsideX, outsideY)), lanes);
}

// Returns whether any lane is unsure. A function of its own: the compiler inlines a
// function with a target only into one with the same target.
TESORA_TARGET_AVX512 bool QuotientsAvx512(const double* __restrict v, double* __restrict w, std::size_t count, double d,
                                          double inverse, Flags* __restrict unsure) {
    const QuotientConstants k{_mm512_set1_pd(d),
                              _mm512_set1_pd(inverse),
                              _mm512_set1_pd(kUlpMargin),
                              _mm512_set1_pd(kSmallUlpMargin),
                              _mm512_set1_epi64(static_cast<long long>(kExponentMask)),
                              _mm512_set1_epi64(static_cast<long long>(kFractionMask)),
                              _mm512_set1_epi64(0x7FFFFFFFFFFFFFFFLL),
                              _mm512_set1_epi64(static_cast<long long>(std::uint64_t{1023 - 400} << 52)),
                              _mm512_set1_epi64(static_cast<long long>(std::uint64_t{800} << 52))};
    __mmask8 any = 0;
    std::size_t m = 0;
    for (; m + 8 <= count; m += 8) {
        const __mmask8 u = QuotientLanes(k, v + m, w + m, 0xFF);
        unsure[m / 8] = _cvtmask8_u32(u);
        any = _kor_mask8(any, u);
    }
    if (m < count) {
        const __mmask8 u = QuotientLanes(k, v + m, w + m, static_cast<__mmask8>((1u << (count - m)) - 1u));
        unsure[m / 8] = _cvtmask8_u32(u);
        any = _kor_mask8(any, u);
    }
    return _cvtmask8_u32(any) != 0;
}
#endif

// r - l * p as SubtractProduct computes it; l (with its halves) is the row's constant.
// `unsure` is set where the emulation cannot tell.
template <bool Fused>
inline double QuickDifference(double r, double l, Split ls, double p, Flags& unsure) {
    const double product = l * p;
    const double error = ProductError<Fused>(l, ls, p, product);
    // Round the exact product to 64 bits: error to a multiple of 2^-63 of product's power
    // of two. Where product is a power of two the exact product may lie below it, on a
    // grid twice as fine: such rare elements are left to Extended.
    const double grid = PowerOfTwoBelow(product) * 0x1.8p-11;
    const double rounded = (error + grid) - grid;
    // r - product - rounded as a + (ae - rounded), where a + ae = r - product exactly.
    const double a = r - product;
    const double back = a - r;
    const double ae = (r - (a - back)) + (-product - back);
    const double tail = ae - rounded;
    const double general = a + tail;
    const double distance = (a - general) + tail;  // exact difference - general
    // The product and r below 2^400 keep every intermediate below 2^401; the product
    // and general (not zero) above 2^-400 and r zero or above it keep them exact.
    // Written out: built from a shared range helper this loop measured about 5 % slower.
    const double magnitudeR = std::abs(r);
    const double magnitudeP = std::abs(product);
    const Flags outOfRange = Flag(!(magnitudeR < 0.5 * kSafeTop)) | Flag(!(magnitudeP < 0.5 * kSafeTop)) |
                             Flag(!(magnitudeP >= kSafeBottom)) | Flag(!(std::abs(general) >= kSafeBottom)) |
                             (Flag(magnitudeR < kSafeBottom) & Flag(r != 0.0));
    const Flags generalUnsure =
        Flag(!(std::abs(distance) < TieBound(general))) | Flag(IsPowerOfTwo(product)) | outOfRange;
    // A zero product leaves r as it is (zero signs as in extended precision); a zero
    // from underflow is left to Extended.
    const bool zero = product == 0.0;
    unsure = (Flag(zero) & Flag(p != 0.0) & Flag(l != 0.0)) | (Flag(!zero) & generalUnsure);
    return zero ? a : general;
}

struct RowConstants {
    double l, d, inverse;
    Split ls, ds;
    bool safe;  // the quick step may be used for this row
};

inline __attribute__((always_inline)) RowConstants ConstantsFor(double l, double d, double inverse) {
    const bool safe = InSafeRange(l) && InSafeRange(d) && d != 0.0;
    return {l, d, inverse, SplitHalves(l), SplitHalves(d), safe};
}

// How a row's steps are taken: emulated on doubles; hybrid, with the product and
// difference on the 80-bit unit and only the quotient emulated; or all in Extended.
enum class Steps { Emulated, Hybrid, Extended };

// row[m] = (row[m] - l * other[m]) / d for every system m (other may be null: no
// product), exactly as Divide(SubtractProduct(...)). In two loops: the differences into
// `saved`, the unsure ones redone in Extended while row still holds the inputs, then
// the quotients of `saved`. `saved` and `unsure` are scratch of count entries.
template <bool Fused, Steps Mode, bool Masks512>
inline __attribute__((always_inline)) void SolveRowWith(double* __restrict row, const double* __restrict other,
                                                        std::size_t count, const RowConstants& c,
                                                        double* __restrict saved, Flags* __restrict unsure) {
    if (Mode == Steps::Extended || !c.safe) {
        for (std::size_t m = 0; m < count; ++m)
            row[m] = Divide(other ? SubtractProduct(row[m], c.l, other[m]) : row[m], c.d);
        return;
    }
    if (other == nullptr) {
        for (std::size_t m = 0; m < count; ++m) saved[m] = row[m];
    } else if (c.l == 0.0) {
        // A zero factor (a diagonal Gram matrix): r - (+-0) is the same in any precision,
        // zero signs included, as long as the other value is finite.
        Flags any = 0;
        for (std::size_t m = 0; m < count; ++m) {
            saved[m] = row[m] - 0.0 * other[m];
            any |= Flag(!Finite(other[m]));
        }
        if (any != 0)
            for (std::size_t m = 0; m < count; ++m)
                if (!Finite(other[m])) saved[m] = SubtractProduct(row[m], c.l, other[m]);
    } else if constexpr (Mode == Steps::Hybrid) {
        const Extended el(c.l);
#pragma GCC unroll 4
        for (std::size_t m = 0; m < count; ++m)
            saved[m] = static_cast<double>(Extended(row[m]) - el * Extended(other[m]));
    } else {
        Flags any = 0;
        for (std::size_t m = 0; m < count; ++m) {
            Flags u = 0;
            saved[m] = QuickDifference<Fused>(row[m], c.l, c.ls, other[m], u);
            unsure[m] = u;
            any |= u;
        }
        if (any != 0)
            for (std::size_t m = 0; m < count; ++m)
                if (unsure[m] != 0) saved[m] = SubtractProduct(row[m], c.l, other[m]);
    }
#if TESORA_FMA_CLONES
    if constexpr (Masks512) {
        if (!QuotientsAvx512(saved, row, count, c.d, c.inverse, unsure)) return;
        for (std::size_t m = 0; m < count; ++m)
            if ((unsure[m / 8] >> (m % 8)) & 1) row[m] = Divide(saved[m], c.d);
        return;
    }
#endif
    Flags any = 0;
    for (std::size_t m = 0; m < count; ++m) {
        Flags u = 0;
        row[m] = QuickQuotientOf<Fused>(saved[m], c.d, c.ds, c.inverse, u);
        unsure[m] = u;
        any |= u;
    }
    if (any == 0) return;
    for (std::size_t m = 0; m < count; ++m)
        if (unsure[m] != 0) row[m] = Divide(saved[m], c.d);
}

}  // namespace
}  // namespace tesora
