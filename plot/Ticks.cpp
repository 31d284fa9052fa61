#include "plot/Ticks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "matrix/Numbers.h"

namespace tesora::plot {
namespace {

constexpr double kLargest = std::numeric_limits<double>::max();
// The decades a log axis may reach: normal doubles only.
const double kLowestDecade = std::log10(std::numeric_limits<double>::min());
const double kHighestDecade = std::log10(kLargest);

std::vector<double> LinearTicks(double low, double high, double step) {
    std::vector<double> ticks;
    // The tolerance never lifts the end past the largest double.
    const double end = std::isfinite(high + step * 1e-9) ? high + step * 1e-9 : high;
    for (double k = std::ceil(low / step - 1e-9); k * step <= end && ticks.size() < 1000; ++k)
        ticks.push_back(k * step);
    return ticks;
}

}  // namespace

QString PlotNumber(double v) { return QString::fromStdString(FormatG(std::abs(v) < 1e-12 ? 0.0 : v)); }

std::vector<double> RoundSteps(double smallest) {
    std::vector<double> steps;
    double magnitude = std::pow(10.0, std::floor(std::log10(smallest)));
    while (steps.size() < 40) {
        for (double factor : {1.0, 2.0, 2.5, 5.0})
            if (factor * magnitude >= smallest * (1 - 1e-9) && std::isfinite(factor * magnitude))
                steps.push_back(factor * magnitude);
        if (!std::isfinite(magnitude * 10)) break;
        magnitude *= 10;
    }
    return steps;
}

double TickStep(double span) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    return RoundSteps(span / 5).front();
}

double PlotScale::Fraction(double v) const {
    if (log) return (std::log10(v) - std::log10(low)) / (std::log10(high) - std::log10(low));
    if (!std::isfinite(high - low)) return (v / 2 - low / 2) / (high / 2 - low / 2);  // spans beyond the doubles
    return (v - low) / (high - low);
}

namespace {

// Decades, then 1-2-5, then every digit: the sparsest that has three ticks and fits;
// over too many decades for one tick each, every k-th decade, k itself round. Empty
// when none fits.
std::vector<double> LogTicks(const PlotScale& scale, const std::function<bool(const std::vector<double>&)>& fits) {
    const double firstDecade = std::floor(std::log10(scale.low)), lastDecade = std::ceil(std::log10(scale.high));
    if (!std::isfinite(firstDecade) || !std::isfinite(lastDecade)) return {};
    std::vector<double> best;
    for (const std::vector<double>& mantissas :
         {std::vector<double>{1}, std::vector<double>{1, 2, 5}, std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
        std::vector<double> ticks;
        for (double e = firstDecade; e <= lastDecade; ++e)
            for (double m : mantissas) {
                const double v = m * std::pow(10.0, e);
                if (std::isfinite(v) && v >= scale.low * (1 - 1e-12) && v <= scale.high * (1 + 1e-12))
                    ticks.push_back(v);
            }
        if (!fits(ticks)) break;
        best = ticks;
        if (best.size() >= 3) return best;
    }
    if (best.size() >= 2) return best;
    if (best.empty())
        for (double k : RoundSteps(2)) {
            if (k != std::floor(k)) continue;  // whole decades only
            std::vector<double> ticks;
            for (double e = std::ceil(std::log10(scale.low) / k) * k; e <= std::log10(scale.high); e += k)
                ticks.push_back(std::pow(10.0, e));
            if (ticks.size() < 2) break;
            if (fits(ticks)) return ticks;
        }
    return {};
}

}  // namespace

std::vector<double> ChooseTicks(const PlotScale& scale, double length, const std::function<double(double)>& room) {
    const auto fits = [&](const std::vector<double>& ticks) {
        for (std::size_t i = 1; i < ticks.size(); ++i) {
            const double distance = (scale.Fraction(ticks[i]) - scale.Fraction(ticks[i - 1])) * length;
            if (distance < (room(ticks[i]) + room(ticks[i - 1])) / 2) return false;
        }
        return true;
    };
    if (scale.log) {
        std::vector<double> ticks = LogTicks(scale, fits);
        if (!ticks.empty()) return ticks;
    }
    // A span beyond the largest double is taken in halves, so that steps stay finite.
    const double span = scale.high - scale.low;
    const double smallest = std::isfinite(span) ? span / 50 : (scale.high / 2 - scale.low / 2) / 25;
    for (double step : RoundSteps(smallest)) {
        std::vector<double> ticks = LinearTicks(scale.low, scale.high, step);
        if (scale.log) std::erase_if(ticks, [](double v) { return v <= 0; });
        if (fits(ticks)) return ticks;
    }
    return {scale.low};
}

PlotScale FitScale(std::vector<double> values, const PlotAxisOptions& options) {
    PlotScale scale;
    scale.log = options.log;
    if (options.range) {
        scale.low = options.range->first, scale.high = options.range->second;
        return scale;
    }
    std::erase_if(values, [&](double v) { return !std::isfinite(v) || (options.log && v <= 0); });
    if (values.empty()) values = options.log ? std::vector<double>{1, 10} : std::vector<double>{0, 1};
    double low = *std::min_element(values.begin(), values.end()),
           high = *std::max_element(values.begin(), values.end());
    if (options.log) {
        double a = std::log10(low), b = std::log10(high);
        if (!(b > a)) a -= 0.5, b += 0.5;
        const double margin = 0.05 * (b - a);
        // The margin never leaves the doubles: beyond them the axis would have no end.
        scale.low = std::max(std::pow(10.0, std::max(a - margin, kLowestDecade)), std::numeric_limits<double>::min());
        scale.high = std::min(std::pow(10.0, std::min(b + margin, kHighestDecade)), kLargest);
        return scale;
    }
    if (!(high > low)) {
        const double half = low != 0 ? std::abs(low) * 0.05 : 0.5;
        low -= half, high += half;
    }
    const double span = high - low, margin = 0.05 * span;
    scale.low = low - margin, scale.high = high + margin;
    if (!std::isfinite(span) || !std::isfinite(scale.low) || !std::isfinite(scale.high)) {
        // Values near the largest doubles: margins taken without overflowing.
        const double half = high / 2 - low / 2;
        scale.low = std::max(low - 0.1 * half, -kLargest), scale.high = std::min(high + 0.1 * half, kLargest);
        return scale;
    }
    if (low >= 0 && low <= 0.15 * span) scale.low = 0;
    if (high <= 0 && -high <= 0.15 * span) scale.high = 0;
    return scale;
}

}  // namespace tesora::plot
