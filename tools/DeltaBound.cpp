#include "tools/DeltaBound.h"

#include <algorithm>
#include <cmath>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Tridiagonal.h"
#include "mra/LevelOperators.h"

namespace tesora {
namespace {

bool FiltersFinite() {
    const auto finite = [](const double* values, int count) {
        return std::all_of(values, values + count, [](double v) { return std::isfinite(v); });
    };
    return finite(WaveletLeft, 4) && finite(WaveletInner, 5) && finite(WaveletRight, 4) &&
           std::isfinite(OneMinusHalfDelta) && std::isfinite(HalfDelta);
}

bool PositiveDefinite(const Matrix& gram) {
    for (std::int32_t i = 1; i <= gram.Rows(); ++i)
        for (std::int32_t j = std::max(1, i - 1); j <= std::min(gram.Cols(), i + 1); ++j)
            if (!std::isfinite(gram.Get(i, j))) return false;
    try {
        TridiagonalCholesky factor;
        factor.Factor(gram);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// The level steps of the transform: coarse levels 2 ... 9.
bool GramsPositiveDefinite(double delta) {
    const Filters filters = FiltersOf(delta);
    for (int level = 2; level < kMaxLevel; ++level) {
        BuildScalingGram(delta, level);
        BuildWaveletGram(filters, level);
        if (!PositiveDefinite(ScalingGram(level)) || !PositiveDefinite(WaveletGram(level))) return false;
    }
    return true;
}

}  // namespace

bool DeltaIsUsable(double delta) {
    const double saved = Delta;
    Delta = delta;
    RebuildWaveletCoeffs();
    const bool usable = FiltersFinite() && GramsPositiveDefinite(delta);
    // Every level change rebuilds its Gram matrices, so only Delta and the filters return.
    Delta = saved;
    RebuildWaveletCoeffs();
    return usable;
}

}  // namespace tesora
