#include "tools/RateDistortion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <utility>

#include "matrix/Error.h"
#include "tools/Analysis.h"

namespace tesora::analysis {
namespace {

// A cubic in t = (x - centre) / scale: the fit runs on t in [-1, 1], where the normal
// equations stay well conditioned whatever the units of x.
struct Cubic {
    std::array<double, 4> c{};  // c0 + c1 t + c2 t^2 + c3 t^3
    double centre = 0.0, scale = 1.0;

    // The integral over x from a to b.
    double Integral(double a, double b) const {
        const auto antiderivative = [this](double x) {
            const double t = (x - centre) / scale;
            return scale * t * (c[0] + t * (c[1] / 2 + t * (c[2] / 3 + t * c[3] / 4)));
        };
        return antiderivative(b) - antiderivative(a);
    }
};

Cubic FitCubic(const std::vector<double>& xs, const std::vector<double>& ys) {
    Cubic cubic;
    const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
    cubic.centre = (*lo + *hi) / 2;
    cubic.scale = *hi > *lo ? (*hi - *lo) / 2 : 1.0;
    // Normal equations A^T A c = A^T y, solved by elimination with partial pivoting.
    long double m[4][5] = {};
    for (std::size_t p = 0; p < xs.size(); ++p) {
        const long double t = (xs[p] - cubic.centre) / cubic.scale;
        const long double powers[4] = {1, t, t * t, t * t * t};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) m[r][c] += powers[r] * powers[c];
            m[r][4] += powers[r] * ys[p];
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        if (m[pivot][col] == 0) throw Error("Die Kurve braucht vier verschiedene Punkte für die kubische Anpassung.");
        std::swap(m[col], m[pivot]);
        for (int r = col + 1; r < 4; ++r) {
            const long double f = m[r][col] / m[col][col];
            for (int c = col; c < 5; ++c) m[r][c] -= f * m[col][c];
        }
    }
    for (int r = 3; r >= 0; --r) {
        long double v = m[r][4];
        for (int c = r + 1; c < 4; ++c) v -= m[r][c] * cubic.c[static_cast<std::size_t>(c)];
        cubic.c[static_cast<std::size_t>(r)] = static_cast<double>(v / m[r][r]);
    }
    return cubic;
}

struct Curve {
    std::vector<double> logRate, psnr;
};

Curve Checked(const std::vector<RatePoint>& points) {
    if (points.size() < 4) throw Error("Eine Kurve braucht mindestens vier Punkte.");
    Curve curve;
    for (const RatePoint& p : points) {
        if (!(p.rate > 0) || !std::isfinite(p.rate) || !std::isfinite(p.psnr))
            throw Error("Jeder Punkt braucht eine Rate über 0 und eine endliche PSNR.");
        curve.logRate.push_back(std::log(p.rate));
        curve.psnr.push_back(p.psnr);
    }
    return curve;
}

// The mean difference of the two fits of y over x on the overlap of their x ranges.
double MeanDifference(const std::vector<double>& xRef, const std::vector<double>& yRef, const std::vector<double>& x,
                      const std::vector<double>& y) {
    const double lo = std::max(*std::min_element(xRef.begin(), xRef.end()), *std::min_element(x.begin(), x.end()));
    const double hi = std::min(*std::max_element(xRef.begin(), xRef.end()), *std::max_element(x.begin(), x.end()));
    if (!(hi > lo)) throw Error("Die Kurven überlappen sich nicht.");
    return (FitCubic(x, y).Integral(lo, hi) - FitCubic(xRef, yRef).Integral(lo, hi)) / (hi - lo);
}

// Ascending order of doubles (no NaN) by a radix sort of their bit patterns, mapped so
// that they order as the values do; small lists take std::sort. Every rate search sorts
// a picture's coefficients once, so this is most of its cost.
void SortValues(std::vector<double>& values) {
    if (values.size() < 4096) {
        std::sort(values.begin(), values.end());
        return;
    }
    std::vector<std::uint64_t> keys(values.size()), scratch(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        const auto bits = std::bit_cast<std::uint64_t>(values[k]);
        keys[k] = bits >> 63 ? ~bits : bits | (std::uint64_t{1} << 63);
    }
    constexpr int kDigit = 11;
    constexpr std::uint64_t kMask = (std::uint64_t{1} << kDigit) - 1;
    std::vector<std::size_t> start(kMask + 2);
    for (int shift = 0; shift < 64; shift += kDigit) {
        std::fill(start.begin(), start.end(), 0);
        for (const std::uint64_t key : keys) ++start[((key >> shift) & kMask) + 1];
        if (std::find(start.begin(), start.end(), keys.size()) != start.end()) continue;  // one digit for all
        for (std::size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
        for (const std::uint64_t key : keys) scratch[start[(key >> shift) & kMask]++] = key;
        keys.swap(scratch);
    }
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::uint64_t key = keys[k];
        values[k] = std::bit_cast<double>(key >> 63 ? key & ~(std::uint64_t{1} << 63) : ~key);
    }
}

// The entry of `name` in a list of named entries kept in order of appearance.
template <typename T>
T& Named(std::vector<std::pair<std::string, T>>& entries, const std::string& name) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == name; });
    return found != entries.end() ? found->second : entries.emplace_back(name, T{}).second;
}

}  // namespace

BjontegaardDelta Bjontegaard(const std::vector<RatePoint>& reference, const std::vector<RatePoint>& curve) {
    const Curve ref = Checked(reference), cur = Checked(curve);
    BjontegaardDelta delta;
    delta.psnr = MeanDifference(ref.logRate, ref.psnr, cur.logRate, cur.psnr);
    delta.rate = (std::exp(MeanDifference(ref.psnr, ref.logRate, cur.psnr, cur.logRate)) - 1) * 100;
    return delta;
}

std::vector<CurveComparison> CompareWithReference(const std::vector<TablePoint>& table,
                                                  const std::function<bool(const std::string&)>& isReference) {
    // picture -> its curves in order of appearance, each with its usable points.
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::vector<RatePoint>>>>> pictures;
    for (const TablePoint& row : table) {
        auto& curves = Named(pictures, row.picture);
        auto& curve = Named(curves, row.curve);
        if (row.point.rate > 0 && std::isfinite(row.point.rate) && std::isfinite(row.point.psnr))
            curve.push_back(row.point);
    }
    std::vector<CurveComparison> result;
    for (const auto& [picture, curves] : pictures) {
        const auto reference =
            std::find_if(curves.begin(), curves.end(), [&](const auto& c) { return isReference(c.first); });
        if (reference == curves.end()) throw Error(picture + ": keine Bezugskurve in der Tabelle.");
        for (const auto& [name, points] : curves) {
            if (&name == &reference->first) continue;
            try {
                const BjontegaardDelta delta = Bjontegaard(reference->second, points);
                result.push_back({picture, name, static_cast<int>(points.size()), delta});
            } catch (const Error& e) {
                throw Error(picture + ", " + name + " gegen " + reference->first + ": " + e.what());
            }
        }
    }
    return result;
}

StepForRate FindStepForRate(const std::function<double(double)>& rateOf, double target, int iterations) {
    if (!(target >= 0)) throw Error("Die Zielrate muss mindestens 0 sein.");
    double low = kLowestStep, high = kHighestStep;
    StepForRate best{std::exp2(high), rateOf(std::exp2(high))};
    for (int i = 0; i < iterations; ++i) {
        const double mid = (low + high) / 2;
        const double step = std::exp2(mid);
        const double rate = rateOf(step);
        if (rate <= target) {
            high = mid;
            best = {step, rate};
        } else {
            low = mid;
        }
    }
    // Only when every step tried met the target can the smallest one do (the smallest
    // steps are the dearest to measure: nearly every value is a q of its own).
    if (low == kLowestStep) {
        const double lowest = rateOf(std::exp2(low));
        if (lowest <= target) best = {std::exp2(low), lowest};
    }
    return best;
}

RateOfStep::RateOfStep(std::vector<std::vector<double>> bandValues, double pixels)
    : bands_(std::move(bandValues)), pixels_(pixels) {
    for (std::vector<double>& band : bands_) SortValues(band);
}

double RateOfStep::operator()(double step) const {
    double bits = 0.0;
    for (const std::vector<double>& band : bands_) {
        if (band.empty()) continue;
        const std::size_t n = band.size();
        const auto total = static_cast<double>(n);
        double entropy = 0.0;
        for (std::size_t first = 0; first < n;) {
            // The run of q ends where trunc(v / Q) first exceeds q: galloping, then
            // halving, so a pass costs the log of each run rather than its length.
            const double q = QuantIndex(band[first], 1.0, step);  // values come weighted
            const auto inRun = [&](std::size_t k) { return QuantIndex(band[k], 1.0, step) <= q; };
            std::size_t low = first + 1, width = 1;
            while (low + width <= n && inRun(low + width - 1)) low += width, width *= 2;
            std::size_t high = std::min(n, low + width - 1);  // band[high] is past the run, or high == n
            while (low < high) {
                const std::size_t mid = low + (high - low) / 2;
                if (inRun(mid))
                    low = mid + 1;
                else
                    high = mid;
            }
            const double p = static_cast<double>(low - first) / total;
            entropy -= p * std::log2(p);
            first = low;
        }
        bits += total * entropy;
    }
    return bits / pixels_;
}

Maximum GoldenSectionMaximum(const std::function<double(double)>& f, double a, double b, double tolerance) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    const auto value = [&f](double x) {
        const double v = f(x);
        return std::isnan(v) ? -INFINITY : v;
    };
    double x1 = b - ratio * (b - a), x2 = a + ratio * (b - a);
    double f1 = value(x1), f2 = value(x2);
    Maximum best = f1 >= f2 ? Maximum{x1, f1} : Maximum{x2, f2};
    while (b - a > tolerance) {
        if (f1 >= f2) {
            b = x2, x2 = x1, f2 = f1;
            x1 = b - ratio * (b - a);
            f1 = value(x1);
            if (f1 > best.value) best = {x1, f1};
        } else {
            a = x1, x1 = x2, f1 = f2;
            x2 = a + ratio * (b - a);
            f2 = value(x2);
            if (f2 > best.value) best = {x2, f2};
        }
    }
    return best;
}

}  // namespace tesora::analysis
