#pragma once
// The transform done the slow, literal way: one line at a time, Gram matrices rebuilt in
// the bank and solved densely, Get/Set, one pixel at a time. The transform never runs
// it; it is the yardstick the fast path is held to, bit for bit, and tesora-cli's
// filter plot draws single basis functions with SynthesiseLine.
#include "blac/Frontend.h"

namespace tesora {

// One line: reads LineCoeffs[0 ... 2^(L+1)], rebuilds both Gram matrices, solves with
// SolveCholesky and writes the smoothing values c[0 ... n] and the details d[0 ... n-1]
// (n = 2^L). Writes the two step texts to the status line.
void AnalyseLine(Frontend& frontend, int L, double* c, double* d);
// v[0 ... 2n] = sum of c[k] * p_k + sum of d[m] * q_m with the current filters.
void SynthesiseLine(int L, const double* c, const double* d, double* v);

// One level step of CoeffMatrix, every row, then every column (down) or the other way
// round (up), painting into `bild` as the level change does.
void ReferenceDecompose(PictureSurface& bild, int L);
void ReferenceReconstruct(PictureSurface& bild, int L);
// The reduced picture per pixel through EvaluateApproximation.
void ReferenceRender(PictureSurface& reduced);

}  // namespace tesora
