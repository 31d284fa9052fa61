// Measures the smallest usable Delta: bisection over the bit patterns of the doubles
// between a Delta that fails and one that works, then a dense logarithmic scan above
// and below the result to show that nothing between it and 1 fails and nothing below
// it works.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "blac/Bank.h"
#include "tools/DeltaBound.h"

namespace {

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }
double FromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

}  // namespace

int main() {
    tesora::InitPowerTables();
    tesora::FillLevelMatrixTable();
    // Coarse scan: where does the behaviour change?
    for (int exponent = -1; exponent >= -330; --exponent) {
        const double delta = std::pow(10.0, exponent);
        if (delta == 0) break;
        if (exponent > -25 || exponent % 10 == 0)
            std::printf("1e%d: %s\n", exponent, tesora::DeltaIsUsable(delta) ? "usable" : "refused");
    }
    std::uint64_t low = Bits(std::numeric_limits<double>::denorm_min());
    std::uint64_t high = Bits(0.01);
    if (tesora::DeltaIsUsable(FromBits(low))) {
        std::printf("every positive double is usable\n");
        return 0;
    }
    while (high - low > 1) {
        const std::uint64_t middle = low + (high - low) / 2;
        (tesora::DeltaIsUsable(FromBits(middle)) ? high : low) = middle;
    }
    std::printf("smallest usable Delta: %a (%.17g)\n", FromBits(high), FromBits(high));
    std::printf("largest refused Delta: %a (%.17g)\n", FromBits(low), FromBits(low));
    // Scan above the bound: 100 steps per factor of ten up to 1.
    long refused = 0, checked = 0;
    const double bound = FromBits(high);
    for (double delta = bound; delta <= 1.0; delta *= std::pow(10.0, 1.0 / 100)) {
        ++checked;
        if (!tesora::DeltaIsUsable(delta)) {
            ++refused;
            if (refused < 10) std::printf("refused above the bound: %a\n", delta);
        }
    }
    std::printf("scan above the bound: %ld values, %ld refused\n", checked, refused);
    // And below it, down to the smallest double: no usable island the bisection missed.
    long usable = 0, below = 0;
    for (double delta = FromBits(low), previous = 1; delta > 0 && delta < previous;
         previous = delta, delta /= std::pow(10.0, 1.0 / 100)) {
        ++below;
        if (tesora::DeltaIsUsable(delta)) ++usable;
    }
    // The smallest double itself, where the division above stops.
    ++below;
    if (tesora::DeltaIsUsable(std::numeric_limits<double>::denorm_min())) ++usable;
    std::printf("scan below the bound: %ld values, %ld usable\n", below, usable);
    return refused == 0 && usable == 0 ? 0 : 1;
}
