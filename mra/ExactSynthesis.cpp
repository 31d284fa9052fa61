// F = M^-1 R with R = (G_s c)_k at row 2k and (G_w d)_m at row 2m + 1. M is factored
// P M = L U with partial pivoting; every line then takes two sweeps: forward, where each
// row's right-hand side is formed straight from c or d (so the permutation costs
// nothing), and back. Both run across the lines of a chunk, like the other kernels.
#include "mra/ExactSynthesis.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <string>
#include <utility>

#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "mra/HelperCrew.h"

namespace tesora {

void PrepareAnalysisSetup(AnalysisSetup& setup, const Filters& filters, int L) {
    const int n = 1 << L;
    std::vector<double> diagonal(static_cast<std::size_t>(n) + 1), subdiagonal(static_cast<std::size_t>(n));
    ScalingGramBand(filters.delta, L, diagonal.data(), subdiagonal.data());
    setup.scalingSolver.Factor(diagonal.data(), subdiagonal.data(), n + 1);
    WaveletGramBand(filters, L, diagonal.data(), subdiagonal.data());
    subdiagonal[static_cast<std::size_t>(n - 1)] = 0.0;
    setup.waveletSolver.Factor(diagonal.data(), subdiagonal.data(), n);
    setup.n = n;
    setup.scaling = ComputeScalingFactors(filters.delta);
    setup.wavelet = ComputeWaveletFactors(filters);
}

namespace {

// One row of the matrix being factored: values over columns first ... first+size-1, and
// the multipliers that eliminated its entries left of the diagonal (they travel with the
// row through later swaps, so L comes out in the permuted order).
struct SparseRow {
    int first = 0;
    std::vector<double> values;
    std::vector<std::pair<int, double>> multipliers;
    int origin = 0;  // the row of M it started as

    int End() const { return first + static_cast<int>(values.size()); }
    double At(int j) const { return j >= first && j < End() ? values[static_cast<std::size_t>(j - first)] : 0.0; }
};

// The analysis's inner-product rows, interleaved.
std::vector<SparseRow> AnalysisRows(const Filters& filters, int n) {
    const ScalingFactors s = ComputeScalingFactors(filters.delta);
    const WaveletFactors w = ComputeWaveletFactors(filters);
    std::vector<SparseRow> rows(2 * static_cast<std::size_t>(n) + 1);
    auto set = [&](int row, int first, const double* factors, int count) {
        SparseRow& r = rows[static_cast<std::size_t>(row)];
        r.first = first;
        r.values.assign(factors, factors + count);
        r.origin = row;
    };
    set(0, 0, s.left, 3);
    for (int k = 1; k <= n - 1; ++k) set(2 * k, 2 * k - 2, s.inner, 5);
    set(2 * n, 2 * n - 2, s.right, 3);
    set(1, 0, w.left, 5);
    for (int m = 1; m <= n - 2; ++m) set(2 * m + 1, 2 * m - 2, w.inner, 7);
    set(2 * n - 1, 2 * n - 4, w.right, 5);
    return rows;
}

// row -= factor * pivot over the pivot's columns from `column` on, growing row as needed.
void Eliminate(SparseRow& row, const SparseRow& pivot, int column, double factor) {
    const int end = std::max(row.End(), pivot.End());
    if (end > row.End()) row.values.resize(static_cast<std::size_t>(end - row.first), 0.0);
    for (int j = column; j < pivot.End(); ++j)
        row.values[static_cast<std::size_t>(j - row.first)] -=
            factor * pivot.values[static_cast<std::size_t>(j - pivot.first)];
    row.values[static_cast<std::size_t>(column - row.first)] = 0.0;
}

// Gaussian elimination of the rows in place, keeping each row's multipliers; gives the
// number of row swaps. Rows below the diagonal reach at most three columns left of their
// own index, so the pivot is sought among the next three rows.
int EliminateRows(std::vector<SparseRow>& rows, const Filters& filters) {
    constexpr int kReach = 3;
    const int size = static_cast<int>(rows.size());
    int swaps = 0;
    for (int i = 0; i < size; ++i) {
        const int last = std::min(size - 1, i + kReach);
        int best = i;
        for (int r = i + 1; r <= last; ++r)
            if (std::fabs(rows[static_cast<std::size_t>(r)].At(i)) >
                std::fabs(rows[static_cast<std::size_t>(best)].At(i)))
                best = r;
        if (best != i) {
            std::swap(rows[static_cast<std::size_t>(i)], rows[static_cast<std::size_t>(best)]);
            ++swaps;
        }
        const SparseRow& pivot = rows[static_cast<std::size_t>(i)];
        const double p = pivot.At(i);
        if (p == 0 || !std::isfinite(p))
            throw Error("Die Zerlegung für Delta " + FormatG(filters.delta) + " ist nicht umkehrbar.",
                        "The decomposition for Delta " + FormatG(filters.delta) + " cannot be inverted.");
        for (int r = i + 1; r <= last; ++r) {
            SparseRow& row = rows[static_cast<std::size_t>(r)];
            const double a = row.At(i);
            if (a == 0) continue;
            row.multipliers.emplace_back(i, a / p);
            Eliminate(row, pivot, i, a / p);
        }
    }
    return swaps;
}

}  // namespace

void ExactSynthesis::Prepare(const Filters& filters, int L) {
    if (L < 2 || L > 20)
        throw Error("Level " + std::to_string(L) + " liegt außerhalb von 2 bis 20.",
                    "Level " + std::to_string(L) + " lies outside 2 ... 20.");
    const int n = 1 << L, size = 2 * n + 1;
    std::vector<SparseRow> rows = AnalysisRows(filters, n);
    swaps_ = EliminateRows(rows, filters);

    lowerWidth_ = 0;
    upperWidth_ = 0;
    for (int i = 0; i < size; ++i) {
        const SparseRow& row = rows[static_cast<std::size_t>(i)];
        for (const auto& [j, factor] : row.multipliers) lowerWidth_ = std::max(lowerWidth_, i - j);
        for (int j = i + 1; j < row.End(); ++j)
            if (row.At(j) != 0) upperWidth_ = std::max(upperWidth_, j - i);
    }
    if (lowerWidth_ > kMaxWidth || upperWidth_ > kMaxWidth)
        throw Error("Die Zerlegung für Delta " + FormatG(filters.delta) + " ist nicht umkehrbar.",
                    "The decomposition for Delta " + FormatG(filters.delta) + " cannot be inverted.");
    level_ = L;
    n_ = n;
    const auto sz = static_cast<std::size_t>(size);
    lower_.assign(sz * static_cast<std::size_t>(lowerWidth_), 0.0);
    upper_.assign(sz * static_cast<std::size_t>(upperWidth_), 0.0);
    inverse_.assign(sz, 0.0);
    rhs_.assign(sz, RightHandSide{});
    source_.assign(sz, 0);

    // The Gram rows that make each right-hand side.
    std::vector<double> sDiagonal(static_cast<std::size_t>(n) + 1), sBeside(static_cast<std::size_t>(n));
    std::vector<double> wDiagonal(static_cast<std::size_t>(n)), wBeside(static_cast<std::size_t>(n));
    ScalingGramBand(filters.delta, L, sDiagonal.data(), sBeside.data());
    WaveletGramBand(filters, L, wDiagonal.data(), wBeside.data());
    auto gramRow = [](const std::vector<double>& diagonal, const std::vector<double>& beside, int k, int size1,
                      int offset) {
        RightHandSide r;
        const auto at = [](const std::vector<double>& v, int i) { return v[static_cast<std::size_t>(i)]; };
        if (k > 0) r.factors[r.count++] = at(beside, k - 1);
        r.factors[r.count++] = at(diagonal, k);
        if (k < size1 - 1) r.factors[r.count++] = at(beside, k);
        r.first = static_cast<std::uint32_t>(offset + std::max(k - 1, 0));
        return r;
    };

    for (int i = 0; i < size; ++i) {
        const SparseRow& row = rows[static_cast<std::size_t>(i)];
        const auto si = static_cast<std::size_t>(i);
        for (const auto& [j, factor] : row.multipliers)
            lower_[si * static_cast<std::size_t>(lowerWidth_) + static_cast<std::size_t>(i - j - 1)] = factor;
        for (int t = 1; t <= upperWidth_ && i + t < size; ++t)
            upper_[si * static_cast<std::size_t>(upperWidth_) + static_cast<std::size_t>(t - 1)] = row.At(i + t);
        inverse_[si] = 1.0 / row.At(i);
        source_[si] = static_cast<std::uint32_t>(row.origin % 2 == 0 ? row.origin / 2 : n + 1 + row.origin / 2);
        rhs_[si] = row.origin % 2 == 0 ? gramRow(sDiagonal, sBeside, row.origin / 2, n + 1, 0)
                                       : gramRow(wDiagonal, wBeside, row.origin / 2, n, n + 1);
    }
}

namespace {

// One forward row: the right-hand side's Terms input rows, minus Lower earlier results,
// summed in registers.
template <int Terms, int Lower>
inline __attribute__((always_inline)) void ForwardRow(double* __restrict y, const double* const* rhs, const double* f,
                                                      const double* const* prev, const double* l, std::size_t count) {
    for (std::size_t m = 0; m < count; ++m) {
        double s = rhs[0][m] * f[0] + rhs[1][m] * f[1];
        if constexpr (Terms > 2) s = s + rhs[2][m] * f[2];
        if constexpr (Lower > 0) s = s - prev[0][m] * l[0];
        if constexpr (Lower > 1) s = s - prev[1][m] * l[1];
        if constexpr (Lower > 2) s = s - prev[2][m] * l[2];
        if constexpr (Lower > 3) s = s - prev[3][m] * l[3];
        y[m] = s;
    }
}

template <int Terms>
inline __attribute__((always_inline)) void ForwardRow(double* y, const double* const* rhs, const double* f,
                                                      const double* const* prev, const double* l, int lower,
                                                      std::size_t count) {
    switch (std::min(lower, 4)) {
        case 0: ForwardRow<Terms, 0>(y, rhs, f, prev, l, count); break;
        case 1: ForwardRow<Terms, 1>(y, rhs, f, prev, l, count); break;
        case 2: ForwardRow<Terms, 2>(y, rhs, f, prev, l, count); break;
        case 3: ForwardRow<Terms, 3>(y, rhs, f, prev, l, count); break;
        default: ForwardRow<Terms, 4>(y, rhs, f, prev, l, count); break;
    }
    for (int t = 4; t < lower; ++t)  // wider than any matrix met so far
        for (std::size_t m = 0; m < count; ++m) y[m] = y[m] - prev[t][m] * l[t];
}

// One back row: minus Upper later results, then times the inverse pivot.
template <int Upper>
inline __attribute__((always_inline)) void BackRow(double* __restrict x, const double* const* next, const double* u,
                                                   double inverse, std::size_t count) {
    for (std::size_t m = 0; m < count; ++m) {
        double s = x[m];
        if constexpr (Upper > 0) s = s - next[0][m] * u[0];
        if constexpr (Upper > 1) s = s - next[1][m] * u[1];
        if constexpr (Upper > 2) s = s - next[2][m] * u[2];
        x[m] = s * inverse;
    }
}

}  // namespace

// Forward: y_i = R_origin(i) - sum_t L(i, i-t) y_(i-t); back: x_i = (y_i - sum_t
// U(i, i+t) x_(i+t)) / U(i, i). Each row is finished in one loop across the lines.
TESORA_WIDE_VECTORS
void ExactSynthesis::Chunk(const double* in, std::size_t is, double* out, std::size_t os, std::size_t count) const {
    const int size = 2 * n_ + 1;
    const auto lw = static_cast<std::size_t>(lowerWidth_), uw = static_cast<std::size_t>(upperWidth_);
    const double* rows[kMaxWidth];
    for (int i = 0; i < size; ++i) {
        const auto si = static_cast<std::size_t>(i);
        const RightHandSide& r = rhs_[si];
        const double* rhs[3] = {in + r.first * is, in + (r.first + 1) * is,
                                r.count > 2 ? in + (r.first + 2) * is : nullptr};
        const int lower = static_cast<int>(std::min(lw, si));
        for (int t = 0; t < lower; ++t)
            rows[static_cast<std::size_t>(t)] = out + (si - static_cast<std::size_t>(t) - 1) * os;
        const double* l = lower_.data() + si * lw;
        if (r.count > 2)
            ForwardRow<3>(out + si * os, rhs, r.factors, rows, l, lower, count);
        else
            ForwardRow<2>(out + si * os, rhs, r.factors, rows, l, lower, count);
    }
    for (int i = size - 1; i >= 0; --i) {
        const auto si = static_cast<std::size_t>(i);
        const int upper = static_cast<int>(std::min(uw, static_cast<std::size_t>(size - 1 - i)));
        for (int t = 0; t < upper; ++t)
            rows[static_cast<std::size_t>(t)] = out + (si + static_cast<std::size_t>(t) + 1) * os;
        double* x = out + si * os;
        const double* u = upper_.data() + si * uw;
        switch (std::min(upper, 3)) {
            case 0: BackRow<0>(x, rows, u, inverse_[si], count); break;
            case 1: BackRow<1>(x, rows, u, inverse_[si], count); break;
            case 2: BackRow<2>(x, rows, u, inverse_[si], count); break;
            default:
                for (int t = 3; t < upper; ++t)  // wider than any matrix met so far
                    for (std::size_t m = 0; m < count; ++m) x[m] = x[m] - rows[static_cast<std::size_t>(t)][m] * u[t];
                BackRow<3>(x, rows, u, inverse_[si], count);
                break;
        }
    }
}

// S = M^-1 G with M = P^T L U, so S^T y = G (P^T L^-T U^-T y); G is symmetric, and
// rhs_[i] holds the row of G that belongs to the row source_[i].
void ExactSynthesis::TransposedLine(const double* y, double* x) const {
    const auto size = 2 * static_cast<std::size_t>(n_) + 1;
    const auto lw = static_cast<std::size_t>(lowerWidth_), uw = static_cast<std::size_t>(upperWidth_);
    std::vector<double> z(y, y + size), u(size);
    for (std::size_t i = 0; i < size; ++i) {
        double s = z[i];
        for (std::size_t t = 1; t <= std::min(uw, i); ++t) s -= upper_[(i - t) * uw + t - 1] * z[i - t];
        z[i] = s * inverse_[i];
    }
    for (std::size_t i = size; i-- > 0;) {
        double s = z[i];
        for (std::size_t t = 1; t <= lw && i + t < size; ++t) s -= lower_[(i + t) * lw + t - 1] * z[i + t];
        z[i] = s;
    }
    for (std::size_t i = 0; i < size; ++i) u[source_[i]] = z[i];
    for (std::size_t i = 0; i < size; ++i) {
        const RightHandSide& r = rhs_[i];
        double s = 0.0;
        for (std::uint32_t j = 0; j < r.count; ++j) s += r.factors[j] * u[r.first + j];
        x[source_[i]] = s;
    }
}

namespace {

// Lines r0 ... r0+count-1 of M through the chunk transposed, in blocks that keep the
// touched cache lines of the chunk in L1 while every line passes through.
constexpr std::size_t kBlock = 64;

void RowsThrough(const ExactSynthesis& exact, const MatrixView& M, std::size_t r0, std::size_t count, std::size_t lines,
                 double* in, double* out) {
    for (std::size_t i0 = 0; i0 < lines; i0 += kBlock)
        for (std::size_t m = 0; m < count; ++m) {
            const double* src = M.Row(r0 + m);
            for (std::size_t i = i0; i < std::min(lines, i0 + kBlock); ++i) in[i * kChunk + m] = src[i];
        }
    exact.Chunk(in, kChunk, out, kChunk, count);
    for (std::size_t i0 = 0; i0 < lines; i0 += kBlock)
        for (std::size_t m = 0; m < count; ++m) {
            double* dst = M.Row(r0 + m);
            for (std::size_t i = i0; i < std::min(lines, i0 + kBlock); ++i) dst[i] = out[i * kChunk + m];
        }
}

// Chunks k = 0 ... chunks-1 of one pass, claimed one at a time by the calling thread and
// the workspace's helpers; each chunk touches only its own lines, so nothing is ordered.
template <typename Compute>
void ParallelChunks(std::size_t chunks, std::size_t lines, TransformWorkspace& workspace, Compute compute) {
    const std::size_t threads = std::min(static_cast<std::size_t>(TransformThreads()), chunks / 2);
    workspace.Reserve(lines);
    if (threads <= 1) {
        for (std::size_t k = 0; k < chunks; ++k) compute(k, workspace.in.data(), workspace.out.data());
        return;
    }
    const std::size_t slot = lines * kChunk;
    if (workspace.helperIn.size() < threads - 1) workspace.helperIn.resize(threads - 1);
    if (workspace.helperOut.size() < threads - 1) workspace.helperOut.resize(threads - 1);
    for (std::size_t h = 0; h + 1 < threads; ++h) {
        if (workspace.helperIn[h].size() < slot) workspace.helperIn[h].resize(slot);
        if (workspace.helperOut[h].size() < slot) workspace.helperOut[h].resize(slot);
    }
    std::atomic<std::size_t> next{0};
    const auto work = [&](double* in, double* out) {
        for (std::size_t k; (k = next.fetch_add(1)) < chunks;) compute(k, in, out);
    };
    HelperCrew& crew = workspace.Crew(threads - 1);
    crew.Start(threads - 1, [&](std::size_t h) { work(workspace.helperIn[h].data(), workspace.helperOut[h].data()); });
    try {
        work(workspace.in.data(), workspace.out.data());
    } catch (...) {
        next.store(chunks);
        crew.Wait();
        throw;
    }
    crew.Wait();
}

}  // namespace

void ReconstructLevelExact(const ExactSynthesis& exact, const MatrixView& M, TransformWorkspace& workspace) {
    const auto lines = 2 * static_cast<std::size_t>(exact.Intervals()) + 1;
    const std::size_t chunks = (lines + kChunk - 1) / kChunk;
    const auto countOf = [&](std::size_t k) { return std::min(kChunk, lines - k * kChunk); };
    ParallelChunks(chunks, lines, workspace, [&](std::size_t k, double*, double* out) {
        exact.Chunk(M.data + k * kChunk, M.stride, out, kChunk, countOf(k));
        CopyColumns(out, k * kChunk, countOf(k), lines, M);
    });
    ParallelChunks(chunks, lines, workspace, [&](std::size_t k, double* in, double* out) {
        RowsThrough(exact, M, k * kChunk, countOf(k), lines, in, out);
    });
}

}  // namespace tesora
