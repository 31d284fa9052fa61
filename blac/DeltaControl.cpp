// Delta = position * 0.01 (0.01 in extended precision), and back: position =
// trunc(Delta * 100) with the product formed exactly, clamped to 0 ... 100.
#include "blac/DeltaControl.h"

#include "blac/Coefficients.h"
#include "blac/State.h"
#include "matrix/Numbers.h"

namespace tesora {

double DeltaFromPosition(int position) {
    constexpr long double kHundredth = 0.01L;
    return static_cast<double>(static_cast<long double>(position) * kHundredth);
}

int PositionFromDelta(double delta) {
    // A double times 100 fits the 64-bit mantissa, so the product is exact.
    const long double scaled = static_cast<long double>(delta) * 100.0L;
    if (!(scaled > 0.0L)) return 0;  // also NaN: the scroll bar has no negative positions
    if (scaled >= 100.0L) return 100;
    return static_cast<int>(scaled);
}

void ShowLevelAndDelta(Frontend& frontend) {
    frontend.SetLabel(Label::Delta, "Delta: " + FormatG(Delta));
    frontend.SetLabel(Label::Level, "Level: " + FormatD(CurrentLevel));
}

void DeltaPositionChanged(Frontend& frontend, int position) {
    Delta = DeltaFromPosition(position);
    ShowLevelAndDelta(frontend);
    frontend.SetStatus("Berechne Matrizen neu...");
    RebuildWaveletCoeffs();
    frontend.SetStatus("Fertig!");
}

}  // namespace tesora
