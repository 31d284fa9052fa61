#pragma once
// Vector clones of the hot loops, picked at load time. One place to change for another
// compiler or target.
//
// TESORA_WIDE_VECTORS: clones for AVX-512 and AVX2 machines. The build forbids
// contraction, so no clone fuses a multiply and an add on its own: every operation
// rounds exactly as in the baseline, only more lanes at a time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(TESORA_NO_WIDE_VECTORS)
#define TESORA_WIDE_VECTORS __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TESORA_WIDE_VECTORS
#endif

// Kernels that call std::fma explicitly get functions of their own per level, chosen by
// BestVectorLevel(): an explicit fused operation rounds once, exactly as written, so it
// stays allowed under -ffp-contract=off. Where the baseline already has fused
// multiply-add (aarch64), TESORA_BASELINE_FMA is 1 and the baseline uses it too.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(TESORA_NO_WIDE_VECTORS)
#define TESORA_FMA_CLONES 1
#define TESORA_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
#define TESORA_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512vl,avx2,fma")))
#else
#define TESORA_FMA_CLONES 0
#endif
#if defined(__aarch64__) || defined(__FMA__)
#define TESORA_BASELINE_FMA 1
#else
#define TESORA_BASELINE_FMA 0
#endif

namespace tesora {

enum class VectorLevel { Baseline = 0, Avx2Fma = 1, Avx512 = 2 };

// The widest level this processor runs (Baseline where there are no clones).
inline VectorLevel BestVectorLevel() {
#if TESORA_FMA_CLONES
    static const VectorLevel best = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512vl"))
            return VectorLevel::Avx512;
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VectorLevel::Avx2Fma;
        return VectorLevel::Baseline;
    }();
    return best;
#else
    return VectorLevel::Baseline;
#endif
}

inline const char* VectorLevelName(VectorLevel level) {
    switch (level) {
        case VectorLevel::Avx2Fma: return "avx2+fma";
        case VectorLevel::Avx512: return "avx512";
        case VectorLevel::Baseline: break;
    }
    return TESORA_BASELINE_FMA ? "baseline+fma" : "baseline";
}

}  // namespace tesora
