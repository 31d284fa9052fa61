#pragma once
// The wavelet filters of one Delta as values: what the kernels take, and what the Delta
// scroll bar's handler copies into the program's globals.

namespace tesora {

struct Filters {
    double delta = 0.0;
    double halfDelta = 0.0;          // Delta / 2
    double oneMinusHalfDelta = 1.0;  // 1 - Delta / 2
    double left[4] = {};             // the left boundary wavelet
    double inner[5] = {};            // every interior wavelet
    double right[4] = {};            // the right boundary wavelet
};

// Solves the three block systems of `delta` (fixed filters for 0). Touches no state, so
// any thread may call it. Throws Error when a block has no solution.
Filters FiltersOf(double delta);

}  // namespace tesora
