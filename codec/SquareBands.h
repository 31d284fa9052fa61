#pragma once
// The bands of a BLaC working square (side 2^L + 1, element (i, j) at i * side + j)
// decomposed from level L down to `level`, as rectangles for the bit-plane coder: the
// smoothing square first, then per step k from the coarsest the row, column and both
// bands. A rectangle's rows run along i, its columns along j (the square's memory order).
#include <vector>

#include "codec/BitPlaneCoder.h"

namespace tesora::codec {

struct SquareBand {
    int firstI = 0;  // the rectangle's corner in the square
    int firstJ = 0;
    BandShape shape;  // width along j, height along i; every coefficient coded
};

// Throws Error unless 2 <= level <= pictureLevel <= 10.
std::vector<SquareBand> SquareBandsOf(int pictureLevel, int level);

}  // namespace tesora::codec
