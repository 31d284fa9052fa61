// Every benchmark report names the interleaved-solve clone this processor runs, so that
// figures from different machines and builds can be told apart.
#include <benchmark/benchmark.h>

#include "matrix/Tridiagonal.h"

namespace {
[[maybe_unused]] const bool kNamed =
    (benchmark::AddCustomContext("interleaved solve", tesora::InterleavedSolveName()), true);
}  // namespace
