#pragma once
// Puts the core's global state back to a fresh start between tests.
#include <algorithm>
#include <cstddef>

#include "blac/Bank.h"
#include "blac/Start.h"

namespace tesora::testing {

inline void ClearCoeffMatrix(double value = 0.0) {
    std::fill_n(CoeffMatrix.Data(), static_cast<std::size_t>(kMaxSide) * kMaxSide, value);
}

// Tables filled, state and filters as at start-up, working matrix zero.
inline void ResetCore() { StartProgram(); }

}  // namespace tesora::testing
