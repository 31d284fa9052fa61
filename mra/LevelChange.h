#pragma once
// The level change: decomposition of CoeffMatrix one level at a time (rows, then
// columns) and reconstruction (columns, then rows), painting every transformed line into
// the main picture as it goes, and the track bar's whole change handler.
#include "blac/Frontend.h"

namespace tesora {

// One line, the straightforward way: reads LineCoeffs[0 ... 2^(L+1)], rebuilds both Gram
// matrices, solves with SolveCholesky and writes the smoothing values c[0 ... n] and the
// details d[0 ... n-1] (n = 2^L). Writes the two step texts to the status line.
void AnalyseLine(Frontend& frontend, int L, double* c, double* d);
// v[0 ... 2n] = sum of c[k] * p_k + sum of d[m] * q_m with the current filters.
void SynthesiseLine(int L, const double* c, const double* d, double* v);

// From level L + 1 to level L (CurrentLevel is already L), in place in CoeffMatrix.
void DecomposeLevel(Frontend& frontend, int L);
// From level L to level L + 1 (the caller raises CurrentLevel afterwards).
void ReconstructLevel(Frontend& frontend, int L);

// The work of the level track bar's change handler for the new position. The position
// is kept within [2, PictureLevel]; a picture of level 1 is never transformed.
void LevelChange(Frontend& frontend, int position);

}  // namespace tesora
