#pragma once
// The three homogeneous systems whose solutions are the wavelets for a given Delta,
// and the scaling of a solved wavelet to the norm the system assigns to it.
#include "matrix/Matrix.h"

namespace tesora {

// Values derived from Delta, shared with the level operators so both round alike.
// 1/6 and 1/3 are extended-precision constants; each product is rounded to double.
struct BlacValues {
    double A;  // 1 - D/2  (s of the level operators)
    double S;  // D * (1/6) (e of the level operators)
    double B;  // 1 - A
    double T;  // D * (1/3) (t of the level operators)
};
BlacValues ComputeBlacValues(double D);

Matrix LeftBlock(double D);   // 3 x 4
Matrix InnerBlock(double D);  // 4 x 5
Matrix RightBlock(double D);  // 3 x 4

// x: n solved coefficients (n = 3 or 4); writes n + 1 normalised values into result,
// the last one being the scale itself. D must not be 0.
double* NormaliseWavelet(const double* x, double* result, double D, int n);

}  // namespace tesora
