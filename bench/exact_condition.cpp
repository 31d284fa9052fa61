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

using Dense = std::vector<double>;  // size x size, row-major

// Column j of the result is op(e_j), for unit vectors kChunk at a time.
template <typename Op>
Dense DenseOf(std::size_t size, Op op) {
    Dense A(size * size);
    std::vector<double> in(size * kChunk), out(size * kChunk);
    for (std::size_t j0 = 0; j0 < size; j0 += kChunk) {
        const std::size_t count = std::min(kChunk, size - j0);
        std::fill(in.begin(), in.end(), 0.0);
        for (std::size_t m = 0; m < count; ++m) in[(j0 + m) * kChunk + m] = 1.0;
        op(in.data(), out.data(), count);
        for (std::size_t i = 0; i < size; ++i)
            for (std::size_t m = 0; m < count; ++m) A[i * size + j0 + m] = out[i * kChunk + m];
    }
    return A;
}

// Largest eigenvalue of a symmetric tridiagonal matrix, by bisection on Sturm counts.
double LargestEigenvalue(const std::vector<double>& alpha, const std::vector<double>& beta) {
    double hi = 0.0;
    for (std::size_t i = 0; i < alpha.size(); ++i)
        hi = std::max(hi, alpha[i] + (i > 0 ? std::fabs(beta[i - 1]) : 0.0) + (i < beta.size() ? std::fabs(beta[i]) : 0.0));
    double lo = 0.0;
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
    const int all = static_cast<int>(alpha.size());
    for (int step = 0; step < 200 && hi - lo > 1e-15 * hi; ++step) {
        const double mid = (lo + hi) / 2;
        (below(mid) == all ? hi : lo) = mid;
    }
    return hi;
}

// sigma_max(A)^2 = lambda_max(A^T A).
double LargestSquaredSingularValue(const Dense& A, std::size_t size, std::size_t steps) {
    std::mt19937 random(1);
    std::normal_distribution<double> normal;
    std::vector<Dense> basis;
    Dense v(size), y(size), w(size);
    for (double& x : v) x = normal(random);
    std::vector<double> alpha, beta;
    for (std::size_t k = 0; k < std::min(steps, size); ++k) {
        // Reorthogonalise twice against everything so far, then normalise.
        for (int twice = 0; twice < 2; ++twice)
            for (const Dense& b : basis) {
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
        for (std::size_t i = 0; i < size; ++i) {
            double s = 0.0;
            for (std::size_t j = 0; j < size; ++j) s += A[i * size + j] * v[j];
            y[i] = s;
        }
        std::fill(w.begin(), w.end(), 0.0);
        for (std::size_t i = 0; i < size; ++i)
            for (std::size_t j = 0; j < size; ++j) w[j] += A[i * size + j] * y[i];
        double a = 0.0;
        for (std::size_t i = 0; i < size; ++i) a += w[i] * v[i];
        alpha.push_back(a);
        v = w;
    }
    beta.resize(alpha.size() - 1);
    return LargestEigenvalue(alpha, beta);
}

}  // namespace

int main(int argc, char** argv) {
    const int first = argc > 1 ? std::atoi(argv[1]) : 2, last = argc > 2 ? std::atoi(argv[2]) : 10;
    const std::size_t steps = 300;
    std::printf("level,position,cond,swaps\n");
    for (int L = first; L <= last; ++L) {
        const std::size_t size = (std::size_t{2} << L) + 1;
        for (int position = 0; position <= 100; ++position) {
            const Filters filters = analysis::FiltersOf(DeltaFromPosition(position));
            ExactSynthesis exact;
            exact.Prepare(filters, L);
            AnalysisSetup setup;
            PrepareAnalysisSetup(setup, filters, L);
            const Dense S = DenseOf(size, [&](const double* in, double* out, std::size_t count) {
                exact.Chunk(in, kChunk, out, kChunk, count);
            });
            const Dense T = DenseOf(size, [&](const double* in, double* out, std::size_t count) {
                SmoothChunk(setup, in, kChunk, out, kChunk, count);
                DetailChunk(setup, in, kChunk, out, kChunk, count);
            });
            const double cond = std::sqrt(LargestSquaredSingularValue(S, size, steps) *
                                          LargestSquaredSingularValue(T, size, steps));
            std::printf("%d,%d,%.6f,%d\n", L, position, cond, exact.Swaps());
            std::fflush(stdout);
        }
    }
    return 0;
}
