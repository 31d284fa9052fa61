#pragma once
// The Delta scroll bar: position p means Delta = p * 0.01 with 0.01 held in extended
// precision, so each position gives the double nearest p / 100 (for 61 just below it).
#include "blac/Frontend.h"

namespace tesora {

double DeltaFromPosition(int position);
// Delta * 100 formed exactly, then truncated: the double nearest 0.61 gives 60.
int PositionFromDelta(double delta);

// Writes "Delta: %g" and "Level: %d".
void ShowLevelAndDelta(Frontend& frontend);

// The work of the scroll bar's change handler for a new position.
void DeltaPositionChanged(Frontend& frontend, int position);

}  // namespace tesora
