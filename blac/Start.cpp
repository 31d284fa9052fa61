#include "blac/Start.h"

#include <algorithm>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"

namespace tesora {

void StartProgram() {
    ResetState();
    InitPowerTables();
    FillLevelMatrixTable();
    RebuildWaveletCoeffs();  // reads Delta, just reset to 0
    std::fill_n(CoeffMatrix.Data(), static_cast<std::size_t>(kMaxSide) * kMaxSide, 0.0);
}

}  // namespace tesora
