#include "codec/SquareBands.h"

#include "blac/Bank.h"
#include "matrix/Error.h"

namespace tesora::codec {

std::vector<SquareBand> SquareBandsOf(int pictureLevel, int level) {
    if (level < 2 || level > pictureLevel || pictureLevel > kMaxLevel)
        throw Error("Die Stufen passen nicht zum Level des Bildes.");
    std::vector<SquareBand> bands;
    const int smooth = (1 << level) + 1;
    bands.push_back({0, 0, {smooth, smooth, 0, {}}});
    for (int k = level; k < pictureLevel; ++k) {
        const int n = 1 << k;
        bands.push_back({0, n + 1, {n, n + 1, 1, {}}});  // row: smoothing along i, details along j
        bands.push_back({n + 1, 0, {n + 1, n, 2, {}}});  // column
        bands.push_back({n + 1, n + 1, {n, n, 3, {}}});  // both
    }
    return bands;
}

}  // namespace tesora::codec
