// Not a benchmark: the 2-norm condition number of the exact synthesis (equally of the
// analysis it inverts) at every scroll position and coarse levels 2 ... 10. cond =
// sigma_max(S) * sigma_max(T) with S the synthesis and T the analysis as dense matrices,
// each largest singular value from Lanczos on S^T S and T^T T with full
// reorthogonalisation (exact where the Krylov space fills the whole dimension).
//
//   exact_condition [first level] [last level]   -> one CSV line per level and position
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "blac/DeltaControl.h"
#include "mra/ExactSynthesis.h"
#include "tools/Analysis.h"

using namespace tesora;

namespace {

// The extreme eigenvalues of a symmetric tridiagonal matrix, by bisection on Sturm counts.
struct Extremes {
    double low, high;
};
Extremes ExtremeEigenvalues(const std::vector<double>& alpha, const std::vector<double>& beta) {
    double bound = 0.0;
    for (std::size_t i = 0; i < alpha.size(); ++i)
        bound = std::max(bound, std::fabs(alpha[i]) + (i > 0 ? std::fabs(beta[i - 1]) : 0.0) +
                                    (i < beta.size() ? std::fabs(beta[i]) : 0.0));
    const auto below = [&](double x) {
        int count = 0;
        double d = 1.0;
        for (std::size_t i = 0; i < alpha.size(); ++i) {
            d = alpha[i] - x - (i > 0 ? beta[i - 1] * beta[i - 1] / d : 0.0);
            if (d == 0) d = -1e-300;
            if (d < 0) ++count;
        }
        return count;
    };
    const auto bisect = [&](int wanted) {  // the smallest x with below(x) >= wanted
        double lo = -bound, hi = bound;
        for (int step = 0; step < 200 && hi - lo > 1e-15 * bound; ++step) {
            const double mid = (lo + hi) / 2;
            (below(mid) >= wanted ? hi : lo) = mid;
        }
        return hi;
    };
    return {bisect(1), bisect(static_cast<int>(alpha.size()))};
}

// cond(S) = sqrt(lambda_max / lambda_min) of S^T S, both ends from one Lanczos run with
// full reorthogonalisation.
double Condition(const ExactSynthesis& exact, std::size_t steps) {
    const std::size_t size = 2 * static_cast<std::size_t>(exact.Intervals()) + 1;
    std::mt19937 random(1);
    std::normal_distribution<double> normal;
    std::vector<std::vector<double>> basis;
    std::vector<double> v(size), y(size), w(size), alpha, beta;
    for (double& x : v) x = normal(random);
    for (std::size_t k = 0; k < std::min(steps, size); ++k) {
        for (int twice = 0; twice < 2; ++twice)
            for (const std::vector<double>& b : basis) {
                double dot = 0.0;
                for (std::size_t i = 0; i < size; ++i) dot += b[i] * v[i];
                for (std::size_t i = 0; i < size; ++i) v[i] -= dot * b[i];
            }
        double norm = 0.0;
        for (double x : v) norm += x * x;
        norm = std::sqrt(norm);
        if (k > 0) {
            if (norm < 1e-12) break;
            beta.push_back(norm);
        }
        for (double& x : v) x /= norm;
        basis.push_back(v);
        exact.Chunk(v.data(), 1, y.data(), 1, 1);
        exact.TransposedLine(y.data(), w.data());
        double a = 0.0;
        for (std::size_t i = 0; i < size; ++i) a += w[i] * v[i];
        alpha.push_back(a);
        v = w;
    }
    beta.resize(alpha.size() - 1);
    const Extremes e = ExtremeEigenvalues(alpha, beta);
    return std::sqrt(e.high / e.low);
}

}  // namespace

int main(int argc, char** argv) {
    const int first = argc > 1 ? std::atoi(argv[1]) : 2, last = argc > 2 ? std::atoi(argv[2]) : 10;
    const std::size_t steps = argc > 3 ? static_cast<std::size_t>(std::atoi(argv[3])) : 400;
    std::printf("level,position,cond,swaps\n");
    for (int L = first; L <= last; ++L) {
        for (int position = 0; position <= 100; ++position) {
            ExactSynthesis exact;
            exact.Prepare(FiltersOf(DeltaFromPosition(position)), L);
            std::printf("%d,%d,%.6f,%d\n", L, position, Condition(exact, steps), exact.Swaps());
            std::fflush(stdout);
        }
    }
    return 0;
}
