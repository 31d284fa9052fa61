#pragma once
// The smallest Delta the transform can work with. Below it the BLaC block systems lose
// so much to rounding that the wavelet filters turn infinite or NaN or the Gram
// matrices stop being positive definite ("Matrix nicht positiv definit" at the first
// level change). The scroll bar never gets there: its smallest Delta besides 0 is 0.01.
namespace tesora {

// Measured with DeltaIsUsable by bisection over the doubles (bench/delta_bound.cpp);
// a logarithmic scan (100 steps per factor of ten) found every Delta from here to 1
// usable and none below it.
constexpr double kSmallestUsableDelta = 0x1.0020000000001p-53;  // 1.1107651257113995e-16

// Whether `delta` gives finite filters and positive-definite scaling and wavelet Gram
// matrices on every level a change of the track bar uses. Leaves Delta, the filters
// and the Gram matrices as they were.
bool DeltaIsUsable(double delta);

}  // namespace tesora
