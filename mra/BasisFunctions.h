#pragma once
// The one-dimensional synthesis functions of a decomposition: the coefficient with index
// c of the step to level k (smoothing 0 ... 2^k, details 2^k+1 ... 2^(k+1)), synthesised
// alone up to the picture's level, as values on the finest grid. A coefficient of the
// square is the product of two of them (one along i, one along j), so the norms of the
// threshold rule and the coefficients a decoder needs both come from these.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "mra/Values.h"

namespace tesora {

// specified: the program's reconstruction; exact: the true inverse of its analysis.
enum class Synthesis : std::uint8_t { Specified, Exact };
const char* SynthesisName(Synthesis synthesis);  // "specified", "exact"
std::optional<Synthesis> ParseSynthesis(std::string_view name);

// Calls visit(k, c0, count, values) for every step k = level ... pictureLevel-1 and its
// functions c0 ... c0+count-1: value i of function c0 + m at values[i * stride + m],
// i = 0 ... 2^pictureLevel, stride kChunk. Throws Error outside 2 <= level <= pictureLevel <= 10.
using FunctionVisitor = std::function<void(int k, int c0, std::size_t count, const double* values)>;
void ForEachFunction(const Filters& filters, int pictureLevel, int level, Synthesis synthesis,
                     const FunctionVisitor& visit);

// The L2 norm of every function, norms[k - level][c]: a function is f(x) = sum_i v_i
// phi(x - i) on the finest grid (phi the scaling function of Delta, unit spacing), its
// norm sqrt(v^T G v) with G the Gram matrix of the unit translates: 1 - Delta/3 on the
// diagonal, Delta/6 beside it.
std::vector<std::vector<double>> FunctionNorms(const Filters& filters, int pictureLevel, int level,
                                               Synthesis synthesis);

// For a picture `width` x `height`, per step k (from `level`) and index c: the share of
// each function that reaches into the picture, max over grid points inside |v| / max |v|
// (0 for a function that is zero inside or everywhere), along i (x, width) and j (y, height).
struct Reach {
    int level = 0;
    std::vector<std::vector<double>> x, y;
};
Reach ReachOf(const Filters& filters, int pictureLevel, int level, Synthesis synthesis, int width, int height);

// A coefficient is coded when a decoder needs it: its function reaches into the picture.
// specified: its support meets the picture (both shares above 0); exact, whose
// functions never end: its largest value inside is at least kCodedShare of its largest.
constexpr double kCodedShare = 1e-3;
bool IsCoded(Synthesis synthesis, double shareX, double shareY);
// The same for element (i, j) of a square decomposed to reach.level, whose band is that
// of the step k with i, j <= 2^(k+1).
bool IsCoded(const Reach& reach, Synthesis synthesis, int i, int j);

}  // namespace tesora
