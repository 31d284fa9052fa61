// Delta = position * 0.01 (0.01 in extended precision), and back: position =
// trunc(Delta * 100) with the product formed exactly, clamped to 0 ... 100.
#include "blac/DeltaControl.h"

#include "blac/Coefficients.h"
#include "blac/State.h"
#include "matrix/Extended.h"
#include "matrix/Numbers.h"

namespace tesora {

double DeltaFromPosition(int position) {
    const Extended kHundredth = Extended(1) / Extended(100);  // 0.01 with a 64-bit mantissa
    return static_cast<double>(Extended(position) * kHundredth);
}

int PositionFromDelta(double delta) {
    // A double times 100 fits the 64-bit mantissa, so the product is exact.
    const Extended hundred(100);
    const Extended scaled = Extended(delta) * hundred;
    if (!(scaled > Extended(0))) return 0;  // also NaN: the scroll bar has no negative positions
    if (scaled >= hundred) return 100;
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
