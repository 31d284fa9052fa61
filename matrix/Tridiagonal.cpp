#include "matrix/Tridiagonal.h"

#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "matrix/Error.h"
#include "matrix/Extended.h"
#include "matrix/Simd.h"

#if TESORA_FMA_CLONES
#include <immintrin.h>
#endif

namespace tesora {

namespace {
constexpr std::uint64_t kNegativeZero = 0x8000000000000000ULL;

inline bool IsNegativeZero(double x) { return std::bit_cast<std::uint64_t>(x) == kNegativeZero; }
bool SignBit(double x) { return (std::bit_cast<std::uint64_t>(x) & kNegativeZero) != 0; }
}  // namespace

void TridiagonalCholesky::Factor(const Matrix& A) {
    const std::int32_t n = A.Rows();
    std::vector<double> d(static_cast<std::size_t>(n)), s(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) {
        d[static_cast<std::size_t>(i - 1)] = A.Get(i, i);
        s[static_cast<std::size_t>(i - 1)] = i < n ? A.Get(i + 1, i) : 0.0;
    }
    Factor(d.data(), s.data(), n);
}

void TridiagonalCholesky::Factor(const double* diagonal, const double* subdiagonal, std::int32_t n) {
    n_ = n;
    diagonal_.assign(static_cast<std::size_t>(n), 0.0);
    subdiagonal_.assign(static_cast<std::size_t>(n), 0.0);
    inverse_.assign(static_cast<std::size_t>(n), 0.0);
    for (std::int32_t i = 0; i < n; ++i) {
        const auto u = static_cast<std::size_t>(i);
        double s = diagonal[u];
        if (i > 0) s = SubtractProduct(s, subdiagonal_[u - 1], subdiagonal_[u - 1]);
        if (!(s > 0.0))
            throw Error("Fehler in SolveCholesky: Matrix nicht positiv definit (Spalte " +
                        std::to_string(i + 1) + ")!");
        diagonal_[u] = SquareRoot(s);
        inverse_[u] = 1.0 / diagonal_[u];
        if (i + 1 < n) {
            double t = subdiagonal[u];
            // The dense factor subtracts L(i, i-1) * L(i+1, i-1) = L(i, i-1) * (+0).
            if (i > 0) t = SubtractProduct(t, subdiagonal_[u - 1], 0.0);
            subdiagonal_[u] = Divide(t, diagonal_[u]);
        }
    }
}

void TridiagonalCholesky::SolveExact(double* b, std::size_t step) const {
    const auto n = static_cast<std::size_t>(n_);
    // Forward: the out-of-band terms subtract (+0) * y[k], a zero with y[k]'s sign.
    bool negativeSeen = false;
    for (std::size_t i = 0; i < n; ++i) {
        double v = b[i * step];
        if (i >= 2) {
            negativeSeen = negativeSeen || SignBit(b[(i - 2) * step]);
            v = v - (negativeSeen ? -0.0 : 0.0);
        }
        if (i >= 1) v = SubtractProduct(v, subdiagonal_[i - 1], b[(i - 1) * step]);
        b[i * step] = Divide(v, diagonal_[i]);
    }
    negativeSeen = false;
    for (std::size_t r = n; r-- > 0;) {
        double v = b[r * step];
        if (r + 2 < n) {
            negativeSeen = negativeSeen || SignBit(b[(r + 2) * step]);
            v = v - (negativeSeen ? -0.0 : 0.0);
        }
        if (r + 1 < n) v = SubtractProduct(v, subdiagonal_[r], b[(r + 1) * step]);
        b[r * step] = Divide(v, diagonal_[r]);
    }
}

void TridiagonalCholesky::Solve(double* b) const {
    const auto n = static_cast<std::size_t>(n_);
    if (n == 0) return;
    for (std::size_t i = 0; i < n; ++i)
        if (IsNegativeZero(b[i])) return SolveExact(b, 1);
    // Without a -0.0 on the right the out-of-band zeros change nothing (see header).
    b[0] = Divide(b[0], diagonal_[0]);
    for (std::size_t i = 1; i < n; ++i) b[i] = Divide(SubtractProduct(b[i], subdiagonal_[i - 1], b[i - 1]), diagonal_[i]);
    b[n - 1] = Divide(b[n - 1], diagonal_[n - 1]);
    for (std::size_t r = n - 1; r-- > 0;) b[r] = Divide(SubtractProduct(b[r], subdiagonal_[r], b[r + 1]), diagonal_[r]);
}

namespace {

// One step of the interleaved solve, w = (r - l * p) / d with the product, difference
// and quotient in extended precision, emulated on doubles so that it vectorises: the
// exact product as a double pair (Dekker), its rounding to 64 bits with a magic
// constant, the difference as a double pair (Knuth), then a check that neither final
// rounding lies close to a tie; only there can the 64-bit intermediates matter, and
// those rare elements are redone with Extended.

constexpr std::uint64_t kExponentMask = 0x7FF0000000000000ULL;
constexpr std::uint64_t kFractionMask = 0x000FFFFFFFFFFFFFULL;
constexpr double kTieMargin = 0.5 - 0x1p-10;                 // of an ulp; the 64-bit grid is 2^-11

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
    if constexpr (Fused) return std::fma(a, b, -product);
    else return SplitProductError(as, SplitHalves(b), product);
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
    unsure = Flag(v != 0.0) &
             (Flag(!(std::abs(offset) < bound)) | OutsideSafeRange(v) | OutsideSafeRange(w));
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
TESORA_TARGET_AVX512 bool QuotientsAvx512(const double* __restrict v, double* __restrict w, std::size_t count,
                                          double d, double inverse, Flags* __restrict unsure) {
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

// Forward and back substitution of the whole system in one function per clone, so
// that every row's step is inlined with the clone's instructions.
struct Sweep {
    const double* diagonal;
    const double* subdiagonal;
    const double* inverse;  // 1 / diagonal
    std::size_t n;
};

template <bool Fused, Steps Mode, bool Masks512>
inline __attribute__((always_inline)) void SweepWith(const Sweep& s, double* b, std::size_t stride, std::size_t count,
                                                     double* saved, Flags* unsure) {
    // No lambda here: it would not carry the clone's target and would hold the steps.
    const std::size_t n = s.n;
    SolveRowWith<Fused, Mode, Masks512>(b, nullptr, count, ConstantsFor(0.0, s.diagonal[0], s.inverse[0]), saved, unsure);
    for (std::size_t i = 1; i < n; ++i)
        SolveRowWith<Fused, Mode, Masks512>(b + i * stride, b + (i - 1) * stride, count,
                                    ConstantsFor(s.subdiagonal[i - 1], s.diagonal[i], s.inverse[i]), saved, unsure);
    SolveRowWith<Fused, Mode, Masks512>(b + (n - 1) * stride, nullptr, count,
                                ConstantsFor(0.0, s.diagonal[n - 1], s.inverse[n - 1]), saved, unsure);
    for (std::size_t r = n - 1; r-- > 0;)
        SolveRowWith<Fused, Mode, Masks512>(b + r * stride, b + (r + 1) * stride, count,
                                    ConstantsFor(s.subdiagonal[r], s.diagonal[r], s.inverse[r]), saved, unsure);
}

using SweepFunction = void (*)(const Sweep&, double*, std::size_t, std::size_t, double*, Flags*);

// masks: the quotients of AVX-512 with their flags in mask registers.
#define TESORA_SWEEP(name, attributes, fused, mode, masks)                                                  \
    attributes void name(const Sweep& s, double* b, std::size_t stride, std::size_t count, double* saved, \
                         Flags* unsure) {                                                                  \
        SweepWith<fused, Steps::mode, masks>(s, b, stride, count, saved, unsure);                          \
    }

TESORA_SWEEP(SweepBaseline, TESORA_WIDE_VECTORS, TESORA_BASELINE_FMA != 0, Emulated, false)
#if TESORA_FMA_CLONES
TESORA_SWEEP(SweepAvx2Fma, TESORA_TARGET_AVX2_FMA, true, Emulated, false)
TESORA_SWEEP(SweepAvx512, TESORA_TARGET_AVX512, true, Emulated, true)
#endif
#if !TESORA_SOFTWARE_EXTENDED
TESORA_SWEEP(SweepExtended, , false, Extended, false)
#if TESORA_FMA_CLONES
TESORA_SWEEP(HybridAvx2Fma, TESORA_TARGET_AVX2_FMA, true, Hybrid, false)
TESORA_SWEEP(HybridAvx512, TESORA_TARGET_AVX512, true, Hybrid, true)
#endif
#endif
#undef TESORA_SWEEP

// A sweep and its name: the dispatch below names what it picks, for benchmark reports.
struct Clone {
    SweepFunction sweep;
    const char* name;
};
#define TESORA_CLONE(function) Clone{function, #function}

Clone CloneFor(VectorLevel level) {
#if TESORA_FMA_CLONES
    if (level > BestVectorLevel()) level = BestVectorLevel();
    if (level == VectorLevel::Avx512) return TESORA_CLONE(SweepAvx512);
    if (level == VectorLevel::Avx2Fma) return TESORA_CLONE(SweepAvx2Fma);
#else
    (void)level;
#endif
    return TESORA_CLONE(SweepBaseline);
}

// The clone SolveInterleaved runs. With the native type: where vectors have fused
// multiply-add, the product and difference stay on the 80-bit unit (a few cycles a step)
// and the quotients, its slowest operation, go to the vector emulation with its near-tie
// check (the whole step emulated is slower here); without them the 80-bit unit does the
// whole step.
Clone InterleavedClone() {
#if TESORA_SOFTWARE_EXTENDED
    return CloneFor(BestVectorLevel());
#else
#if TESORA_FMA_CLONES
    if (BestVectorLevel() == VectorLevel::Avx512) return TESORA_CLONE(HybridAvx512);
    if (BestVectorLevel() == VectorLevel::Avx2Fma) return TESORA_CLONE(HybridAvx2Fma);
#endif
    return TESORA_CLONE(SweepExtended);
#endif
}
#undef TESORA_CLONE

// Scratch of the quick steps, kept per thread: a solve is called for every chunk.
struct Scratch {
    std::vector<double> saved;
    std::vector<Flags> unsure;
    void Reserve(std::size_t count) {
        if (saved.size() < count) {
            saved.resize(count);
            unsure.resize(count);
        }
    }
};
Scratch& ThreadScratch() {
    thread_local Scratch scratch;
    return scratch;
}

}  // namespace

namespace {
// Whether any of `count` values is -0.0: no early exit, so that it vectorises.
TESORA_WIDE_VECTORS
bool AnyNegativeZero(const double* __restrict values, std::size_t count) {
    std::uint64_t any = 0;
    for (std::size_t m = 0; m < count; ++m) any |= static_cast<std::uint64_t>(IsNegativeZero(values[m]));
    return any != 0;
}
}  // namespace

bool TridiagonalCholesky::NeedsExactPath(const double* b, std::size_t stride, std::size_t count) const {
    const auto n = static_cast<std::size_t>(n_);
    for (std::size_t i = 0; i < n; ++i)
        if (AnyNegativeZero(b + i * stride, count)) return true;
    return false;
}

void TridiagonalCholesky::SolveInterleaved(double* b, std::size_t stride, std::size_t count) const {
    RunSweep(InterleavedClone().sweep, b, stride, count);
}

void TridiagonalCholesky::SolveInterleavedOnDoubles(double* b, std::size_t stride, std::size_t count,
                                                    VectorLevel level) const {
    RunSweep(CloneFor(level).sweep, b, stride, count);
}

template <typename SweepFn>
void TridiagonalCholesky::RunSweep(SweepFn sweep, double* b, std::size_t stride, std::size_t count) const {
    if (n_ == 0 || count == 0) return;
    if (NeedsExactPath(b, stride, count)) {
        for (std::size_t m = 0; m < count; ++m) SolveExact(b + m, stride);
        return;
    }
    Scratch& scratch = ThreadScratch();
    scratch.Reserve(count);
    sweep(Sweep{diagonal_.data(), subdiagonal_.data(), inverse_.data(), static_cast<std::size_t>(n_)}, b, stride,
          count, scratch.saved.data(), scratch.unsure.data());
}

const char* InterleavedSolveName() { return InterleavedClone().name; }

}  // namespace tesora
