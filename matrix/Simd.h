#pragma once

// Hot loops get a clone for AVX2 machines, picked at load time. AVX2 brings no fused
// multiply-add (and the build forbids contraction), so every operation rounds exactly
// as in the baseline clone. One place to change for another compiler or target.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(TESORA_NO_WIDE_VECTORS)
#define TESORA_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define TESORA_WIDE_VECTORS
#endif
