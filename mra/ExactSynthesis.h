#pragma once
// The true inverse of one analysis step. The analysis finds c and d from a fine line F
// by G_s c = A_s F and G_w d = A_w F (the inner products with the level's scaling
// functions and wavelets, then the Gram solves). The rows of A_s and A_w, interleaved
// (a_k as row 2k, d_m as row 2m + 1), form a square matrix M of side N + 1 with three
// diagonals on either side, so F = M^-1 (G_s c, G_w d interleaved) is O(N) per line once
// M is factored. The specified synthesis is a different map and does not undo the
// analysis for Delta > 0; this one does, to rounding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mra/ChunkKernels.h"
#include "mra/LevelChange.h"
#include "mra/Values.h"

namespace tesora {

// The Gram matrices of level L, factored, and the inner-product factors: what an analysis
// step needs, for any L >= 2 (lines longer than the working matrix too).
void PrepareAnalysisSetup(AnalysisSetup& setup, const Filters& filters, int L);

class ExactSynthesis {
public:
    // Factors M for the filters of one Delta at coarse level L >= 2 (LU with partial
    // pivoting). Throws Error when M is singular.
    void Prepare(const Filters& filters, int L);

    int Level() const { return level_; }
    int Intervals() const { return n_; }  // n = 2^L; lines have 2n + 1 values

    // Like SynthesiseChunk: c in rows 0 ... n and d in rows n+1 ... 2n of `in`, the fine
    // lines into rows 0 ... 2n of `out` (not overlapping `in`); element i of line m at
    // [i * stride + m]. A single line is count 1 with strides 1.
    void Chunk(const double* in, std::size_t is, double* out, std::size_t os, std::size_t count) const;

    // The transpose of the synthesis on one line, x = S^T y (y over the fine positions,
    // x in the layout of c and d), for measuring its condition number in O(N) per product.
    void TransposedLine(const double* y, double* x) const;

    // Row swaps the factorisation made (the matrices met so far need none).
    int Swaps() const { return swaps_; }

private:
    // Row i of P M: its right-hand side is row `source` of G (c or d interleaved), the sum
    // of up to three neighbouring input rows starting at `first`.
    struct RightHandSide {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        double factors[3] = {};
    };

    static constexpr int kMaxWidth = 8;  // pivoting among three rows keeps L and U narrower
    int level_ = 0;
    int n_ = 0;
    int lowerWidth_ = 0;  // subdiagonals of L
    int upperWidth_ = 0;  // superdiagonals of U
    int swaps_ = 0;
    std::vector<RightHandSide> rhs_;
    std::vector<std::uint32_t> source_;  // row i of P M is row source_[i] of c, d (c first)
    std::vector<double> lower_;          // L(i, i - t) at i * lowerWidth_ + t - 1
    std::vector<double> upper_;          // U(i, i + t) at i * upperWidth_ + t - 1
    std::vector<double> inverse_;        // 1 / U(i, i)
};

// From level L to level L + 1 of a square, in place, columns then rows (the order of the
// reconstruction), with a prepared exact synthesis of that L, on up to TransformThreads()
// threads with the workspace's scratch and helpers (the result does not depend on them).
void ReconstructLevelExact(const ExactSynthesis& exact, const MatrixView& M, TransformWorkspace& workspace);

}  // namespace tesora
