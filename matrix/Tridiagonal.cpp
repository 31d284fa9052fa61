#include "matrix/Tridiagonal.h"

#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "matrix/Error.h"
#include "matrix/Extended.h"
#include "matrix/Simd.h"
#include "matrix/TridiagonalSteps.h"

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
            throw Error("Fehler in SolveCholesky: Matrix nicht positiv definit (Spalte " + std::to_string(i + 1) + ")!",
                        "A Gram matrix is not positive definite (column " + std::to_string(i + 1) + ").");
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
    for (std::size_t i = 1; i < n; ++i)
        b[i] = Divide(SubtractProduct(b[i], subdiagonal_[i - 1], b[i - 1]), diagonal_[i]);
    b[n - 1] = Divide(b[n - 1], diagonal_[n - 1]);
    for (std::size_t r = n - 1; r-- > 0;) b[r] = Divide(SubtractProduct(b[r], subdiagonal_[r], b[r + 1]), diagonal_[r]);
}

namespace {

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
    SolveRowWith<Fused, Mode, Masks512>(b, nullptr, count, ConstantsFor(0.0, s.diagonal[0], s.inverse[0]), saved,
                                        unsure);
    for (std::size_t i = 1; i < n; ++i)
        SolveRowWith<Fused, Mode, Masks512>(b + i * stride, b + (i - 1) * stride, count,
                                            ConstantsFor(s.subdiagonal[i - 1], s.diagonal[i], s.inverse[i]), saved,
                                            unsure);
    SolveRowWith<Fused, Mode, Masks512>(b + (n - 1) * stride, nullptr, count,
                                        ConstantsFor(0.0, s.diagonal[n - 1], s.inverse[n - 1]), saved, unsure);
    for (std::size_t r = n - 1; r-- > 0;)
        SolveRowWith<Fused, Mode, Masks512>(b + r * stride, b + (r + 1) * stride, count,
                                            ConstantsFor(s.subdiagonal[r], s.diagonal[r], s.inverse[r]), saved, unsure);
}

using SweepFunction = void (*)(const Sweep&, double*, std::size_t, std::size_t, double*, Flags*);

// masks: the quotients of AVX-512 with their flags in mask registers.
#define TESORA_SWEEP(name, attributes, fused, mode, masks)                                                \
    attributes void name(const Sweep& s, double* b, std::size_t stride, std::size_t count, double* saved, \
                         Flags* unsure) {                                                                 \
        SweepWith<fused, Steps::mode, masks>(s, b, stride, count, saved, unsure);                         \
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
#define TESORA_CLONE(function) \
    Clone { function, #function }

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
    sweep(Sweep{diagonal_.data(), subdiagonal_.data(), inverse_.data(), static_cast<std::size_t>(n_)}, b, stride, count,
          scratch.saved.data(), scratch.unsure.data());
}

const char* InterleavedSolveName() { return InterleavedClone().name; }

}  // namespace tesora
