// The level step, for n = 2^L:
//
//   down (analysis):  c = G_phi^-1 <F, phi_k>,  d = G_psi^-1 <F, psi_m>
//                     for every row of the (2n+1)-square, then for every column
//   up (synthesis):   v[2k] = c[k],  v[2k+1] = c[k] Delta/2 + c[k+1] (1 - Delta/2),
//                     then v += d[m] q_m with the left, interior and right filters
//                     for every column, then for every row
//
// Lines go through ChunkKernels in chunks; the results are painted as they come.
#include "mra/LevelChange.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "mra/Rendering.h"

namespace tesora {

namespace {

const std::string kSmoothingText = "Berechne Glättekoeffs...";
const std::string kDetailsText = "Berechne Details...";
const std::string kPaintingText = "Trage Daten ins Bild ein...";
const std::string kDoneText = "Fertig!";

// Lines r0 ... r0+count-1 of M (contiguous rows) into interleaved form and back. Blocks
// of kTransposeBlock elements keep the touched cache lines of the interleaved side in L1
// while every line of the chunk passes through.
constexpr std::size_t kTransposeBlock = 64;

void GatherRows(const MatrixView& M, std::size_t r0, std::size_t count, std::size_t length, double* in) {
    for (std::size_t i0 = 0; i0 < length; i0 += kTransposeBlock) {
        const std::size_t i1 = std::min(length, i0 + kTransposeBlock);
        for (std::size_t m = 0; m < count; ++m) {
            const double* __restrict src = M.Row(r0 + m);
            double* __restrict dst = in + m;
            for (std::size_t i = i0; i < i1; ++i) dst[i * kChunk] = src[i];
        }
    }
}

void ScatterRows(const double* out, std::size_t r0, std::size_t count, std::size_t length, const MatrixView& M) {
    for (std::size_t i0 = 0; i0 < length; i0 += kTransposeBlock) {
        const std::size_t i1 = std::min(length, i0 + kTransposeBlock);
        for (std::size_t m = 0; m < count; ++m) {
            double* __restrict dst = M.Row(r0 + m);
            const double* __restrict src = out + m;
            for (std::size_t i = i0; i < i1; ++i) dst[i] = src[i * kChunk];
        }
    }
}

// The Gram matrices of the level, factored, and the inner-product factors.
void PrepareAnalysis(AnalysisSetup& setup, const LevelStep& step, const Filters& filters) {
    const int n = step.n;
    std::vector<double> diagonal(static_cast<std::size_t>(n) + 1), subdiagonal(static_cast<std::size_t>(n));
    ScalingGramBand(filters.delta, step.level, diagonal.data(), subdiagonal.data());
    setup.scalingSolver.Factor(diagonal.data(), subdiagonal.data(), n + 1);
    WaveletGramBand(filters, step.level, diagonal.data(), subdiagonal.data());
    subdiagonal[static_cast<std::size_t>(n - 1)] = 0.0;
    setup.waveletSolver.Factor(diagonal.data(), subdiagonal.data(), n);
    setup.n = n;
    setup.scaling = ComputeScalingFactors(filters.delta);
    setup.wavelet = ComputeWaveletFactors(filters);
}

}  // namespace

void TransformWorkspace::Reserve(std::size_t lines) {
    const std::size_t size = lines * kChunk;
    if (in.size() < size) in.resize(size);
    if (out.size() < size) out.resize(size);
    if (words.size() < size) words.resize(size);
}

void DecomposeLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                    TransformWorkspace& workspace) {
    PrepareAnalysis(workspace.analysis, step, filters);
    workspace.Reserve(step.lines);
    const AnalysisSetup& setup = workspace.analysis;
    const std::size_t lines = step.lines;
    const std::size_t smooth = static_cast<std::size_t>(step.n) + 1;
    double* const in = workspace.in.data();
    double* const out = workspace.out.data();
    PictureSurface& picture = frontend.Bild();

    // Rows of the matrix are the vertical pixel lines x = r - 1.
    for (std::size_t r0 = 0; r0 < lines; r0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - r0);
        GatherRows(M, r0, count, lines, in);
        frontend.SetStatus(kSmoothingText);
        SmoothChunk(setup, in, kChunk, out, kChunk, count);
        frontend.SetStatus(kDetailsText);
        DetailChunk(setup, in, kChunk, out, kChunk, count);
        frontend.SetStatus(kPaintingText);
        PaintRowChunk(picture, out, r0, count, lines, smooth);
        ScatterRows(out, r0, count, lines, M);
        picture.Refresh();
    }
    // Columns of the matrix are the horizontal pixel lines y = col - 1; element i of
    // every column in a chunk is contiguous in matrix row i.
    for (std::size_t c0 = 0; c0 < lines; c0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - c0);
        frontend.SetStatus(kSmoothingText);
        SmoothChunk(setup, M.data + c0, M.stride, out, kChunk, count);
        frontend.SetStatus(kDetailsText);
        DetailChunk(setup, M.data + c0, M.stride, out, kChunk, count);
        frontend.SetStatus(kPaintingText);
        PaintColumnChunk(picture, out, workspace.words.data(), c0, count, lines, smooth, smooth);
        CopyColumns(out, c0, count, lines, M);
        picture.Refresh();
        frontend.SetStatus(kDoneText);
    }
}

void ReconstructLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                      TransformWorkspace& workspace) {
    workspace.Reserve(step.lines);
    const std::size_t lines = step.lines;
    double* const in = workspace.in.data();
    double* const out = workspace.out.data();
    PictureSurface& picture = frontend.Bild();

    for (std::size_t c0 = 0; c0 < lines; c0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - c0);
        SynthesiseChunk(filters, step.n, M.data + c0, M.stride, out, kChunk, count);
        PaintColumnChunk(picture, out, workspace.words.data(), c0, count, lines, lines, lines);
        CopyColumns(out, c0, count, lines, M);
        picture.Refresh();
    }
    for (std::size_t r0 = 0; r0 < lines; r0 += kChunk) {
        const std::size_t count = std::min(kChunk, lines - r0);
        GatherRows(M, r0, count, lines, in);
        SynthesiseChunk(filters, step.n, in, kChunk, out, kChunk, count);
        PaintRowChunk(picture, out, r0, count, lines, lines);
        ScatterRows(out, r0, count, lines, M);
        picture.Refresh();
    }
}

void DecomposeLevel(Frontend& frontend, int L) {
    TransformWorkspace workspace;
    DecomposeLevel(StepAt(L), CurrentFilters(), WorkingMatrix(), frontend, workspace);
}

void ReconstructLevel(Frontend& frontend, int L) {
    TransformWorkspace workspace;
    ReconstructLevel(StepAt(L), CurrentFilters(), WorkingMatrix(), frontend, workspace);
}

void LevelChange(Frontend& frontend, int position) {
    // The coarsest level in use is 2, the finest the picture's own; a level-1 picture
    // has nothing to transform.
    const int finest = std::min<int>(PictureLevel, kMaxLevel);
    int target = CurrentLevel;
    if (finest >= 2 && CurrentLevel >= 2 && CurrentLevel <= kMaxLevel) target = std::clamp(position, 2, finest);

    const Filters filters = CurrentFilters();
    const MatrixView matrix = WorkingMatrix();
    TransformWorkspace workspace;
    if (target < CurrentLevel) {
        frontend.SetEnabled(Control::butFehler, false);
        while (target < CurrentLevel) {
            --CurrentLevel;
            DecomposeLevel(StepAt(CurrentLevel), filters, matrix, frontend, workspace);
        }
        RenderReducedPicture(frontend);
    } else if (target > CurrentLevel) {
        while (CurrentLevel < target) {
            ReconstructLevel(StepAt(CurrentLevel), filters, matrix, frontend, workspace);
            ++CurrentLevel;
        }
        RenderReducedPicture(frontend);
    }
    if (CurrentLevel == PictureLevel) frontend.SetEnabled(Control::butFehler, true);
    ShowLevelAndDelta(frontend);
}

}  // namespace tesora
