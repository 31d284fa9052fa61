#pragma once
// Comparing rate-distortion curves and the searches behind rate targets and the best
// Delta. Nothing here knows a picture: the callers hand in the curves or the function
// to search, so every face shares one definition of each figure.
#include <functional>
#include <string>
#include <vector>

namespace tesora::analysis {

struct RatePoint {
    double rate = 0.0;  // bits per pixel, > 0
    double psnr = 0.0;  // dB, finite
};

// Bjøntegaard deltas of `curve` against `reference`, each at least four points:
// - psnr (dB): a cubic least-squares fit of PSNR over ln(rate) for each curve, integrated
//   over the overlap of the two curves' ln(rate) ranges; the mean difference
//   curve - reference.
// - rate (%): a cubic fit of ln(rate) over PSNR, integrated over the overlap of the PSNR
//   ranges; (exp(mean difference) - 1) * 100, negative when the curve needs fewer bits.
// Throws Error for fewer than four points, a rate not above 0, a figure not finite, or
// curves whose ranges do not overlap.
struct BjontegaardDelta {
    double psnr = 0.0;
    double rate = 0.0;
};
BjontegaardDelta Bjontegaard(const std::vector<RatePoint>& reference, const std::vector<RatePoint>& curve);

// The rows of a table as curves: each picture's rows grouped by `curve` (a Delta or a
// basis as the table writes it). Every curve of a picture is compared with that
// picture's reference curve (`isReference` picks it); pictures and curves in the order
// they first appear. Points without a finite PSNR or a rate above 0 (a reconstruction
// without error, no bits) are left out. Throws Error naming the picture and curve when
// a picture has no reference or a curve too few points.
struct TablePoint {
    std::string picture;
    std::string curve;
    RatePoint point;
};
struct CurveComparison {
    std::string picture;
    std::string curve;
    int points = 0;  // the curve's points used
    BjontegaardDelta delta;
};
std::vector<CurveComparison> CompareWithReference(const std::vector<TablePoint>& table,
                                                  const std::function<bool(const std::string&)>& isReference);

// The quantiser step Q whose rate is at most `target` and as close to it as a bisection
// on log2(Q) between 2^kLowestStep and 2^kHighestStep gets in `iterations` halvings
// (2^kLowestStep itself when every step tried met the target).
// rateOf(Q) must fall (not necessarily strictly) as Q rises; the result is the smallest
// step tried whose rate kept to the target. Throws Error for a negative target.
constexpr int kLowestStep = -20;
constexpr int kHighestStep = 30;
struct StepForRate {
    double step = 0.0;
    double rate = 0.0;
};
StepForRate FindStepForRate(const std::function<double(double)>& rateOf, double target, int iterations = 40);

// The rate of quantising with step Q, for many Q: per band the values quantisation
// divides by Q (c, or c * w under the norm rule) of the coefficients counted for the rate,
// sorted once, so each step costs one pass (trunc(v / Q) does not fall as v rises, so
// equal q values stand together, in rising order). Gives the same bits as summing each
// band's count * EntropyBits of its q values and dividing by `pixels`.
class RateOfStep {
public:
    RateOfStep(std::vector<std::vector<double>> bandValues, double pixels);
    double operator()(double step) const;

private:
    std::vector<std::vector<double>> bands_;
    double pixels_;
};

// The largest value of f found by a golden-section search on [a, b] until the bracket is
// narrower than `tolerance`. f need not be unimodal: the best of the points evaluated is
// returned (the ends are not evaluated; NaN counts as lowest).
struct Maximum {
    double x = 0.0;
    double value = 0.0;
};
Maximum GoldenSectionMaximum(const std::function<double(double)>& f, double a, double b, double tolerance);

}  // namespace tesora::analysis
