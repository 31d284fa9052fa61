// The level step, for n = 2^L:
//
//   down (analysis):  c = G_phi^-1 <F, phi_k>,  d = G_psi^-1 <F, psi_m>
//                     for every row of the (2n+1)-square, then for every column
//   up (synthesis):   v[2k] = c[k],  v[2k+1] = c[k] Delta/2 + c[k+1] (1 - Delta/2),
//                     then v += d[m] q_m with the left, interior and right filters
//                     for every column, then for every row
//
// Lines go through ChunkKernels in chunks, computed on up to TransformThreads() threads;
// the results are painted and written back in chunk order on the calling thread.
#include "mra/LevelChange.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "mra/Pass.h"
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
    if (wordScratch.size() < size) wordScratch.resize(size);
}

HelperCrew& TransformWorkspace::Crew(std::size_t helpers) {
    if (!crew_ || !crew_->Here() || crew_->Size() < helpers) {
        crew_.reset();
        crew_ = std::make_unique<HelperCrew>(helpers);
    }
    return *crew_;
}

namespace {

std::atomic<int> transformThreads{0};  // 0: DefaultTransformThreads()

}  // namespace

int DefaultTransformThreads() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(hardware), 1, kMaxTransformThreads);
}

void SetTransformThreads(int threads) {
    transformThreads.store(threads <= 0 ? 0 : std::min(threads, kMaxTransformThreads));
}

int TransformThreads() {
    const int threads = transformThreads.load();
    return threads > 0 ? threads : DefaultTransformThreads();
}

namespace {

// What of a pass's lines the picture shows: lines beyond its edge are computed but not
// painted, and so are values beyond the other edge.
struct Shown {
    std::size_t lines;   // of the pass, clipped to the picture's extent across them
    std::size_t values;  // per line, clipped to its extent along them
};
Shown RowsShown(const PictureSurface& picture, std::size_t lines) {  // matrix rows: pixel columns
    return {std::min(lines, static_cast<std::size_t>(picture.Width())),
            std::min(lines, static_cast<std::size_t>(picture.Height()))};
}
Shown ColumnsShown(const PictureSurface& picture, std::size_t lines) {  // matrix columns: pixel rows
    return {std::min(lines, static_cast<std::size_t>(picture.Height())),
            std::min(lines, static_cast<std::size_t>(picture.Width()))};
}
// Lines of chunk k that the picture shows.
std::size_t VisibleOf(const Shown& shown, std::size_t k, std::size_t count) {
    const std::size_t first = k * kChunk;
    return first >= shown.lines ? 0 : std::min(count, shown.lines - first);
}

// Chunk k of matrix rows (pixel columns): its words into `words` (kChunk apart), or
// into the picture where `words` is null.
void PaintRows(PictureSurface& picture, const Shown& rows, std::size_t k, std::size_t count, const double* out,
               std::uint32_t* words, std::size_t plainRows) {
    const std::size_t visible = VisibleOf(rows, k, count);
    if (visible == 0 || rows.values == 0) return;
    std::uint32_t* const dst = words != nullptr ? words : picture.ScanLine(0) + k * kChunk;
    RowChunkWords(out, dst, words != nullptr ? kChunk : picture.StrideWords(), visible, rows.values, plainRows);
}
void PutRowWords(PictureSurface& picture, const Shown& rows, std::size_t k, std::size_t count,
                 const std::uint32_t* words) {
    const std::size_t visible = VisibleOf(rows, k, count);
    if (words != nullptr && visible != 0) PutRows(picture, words, kChunk, k * kChunk, 0, visible, rows.values);
}

// Chunk k of matrix columns (pixel rows): one pixel row per line, `values` words each.
void PaintColumns(PictureSurface& picture, const Shown& columns, std::size_t k, std::size_t count, const double* out,
                  std::uint32_t* scratch, std::uint32_t* words, std::size_t plainCount, std::size_t firstInvertedLine) {
    const std::size_t visible = VisibleOf(columns, k, count);
    if (visible == 0 || columns.values == 0) return;
    std::uint32_t* const dst = words != nullptr ? words : picture.ScanLine(static_cast<int>(k * kChunk));
    ColumnChunkWords(out, dst, words != nullptr ? columns.values : picture.StrideWords(), scratch, k * kChunk, visible,
                     columns.values, plainCount, firstInvertedLine);
}
void PutColumnWords(PictureSurface& picture, const Shown& columns, std::size_t k, std::size_t count,
                    const std::uint32_t* words) {
    const std::size_t visible = VisibleOf(columns, k, count);
    if (words != nullptr && visible != 0)
        PutRows(picture, words, columns.values, 0, k * kChunk, columns.values, visible);
}

}  // namespace

void DecomposeLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                    TransformWorkspace& workspace) {
    PrepareAnalysis(workspace.analysis, step, filters);
    workspace.Reserve(step.lines);
    const AnalysisSetup& setup = workspace.analysis;
    const std::size_t lines = step.lines;
    const std::size_t smooth = static_cast<std::size_t>(step.n) + 1;
    PictureSurface& picture = frontend.Bild();
    auto countOf = [lines](std::size_t k) { return std::min(kChunk, lines - k * kChunk); };

    // Rows of the matrix are the vertical pixel lines x = r - 1.
    const Shown rows = RowsShown(picture, lines);
    RunPass(
        lines, workspace,
        [&](std::size_t k, double* in, double* out, std::uint32_t*, std::uint32_t* words) {
            GatherRows(M, k * kChunk, countOf(k), lines, in);
            SmoothChunk(setup, in, kChunk, out, kChunk, countOf(k));
            DetailChunk(setup, in, kChunk, out, kChunk, countOf(k));
            ScatterRows(out, k * kChunk, countOf(k), lines, M);
            PaintRows(picture, rows, k, countOf(k), out, words, smooth);
        },
        [&](std::size_t k, const std::uint32_t* words) {
            frontend.SetStatus(kSmoothingText);
            frontend.SetStatus(kDetailsText);
            frontend.SetStatus(kPaintingText);
            PutRowWords(picture, rows, k, countOf(k), words);
            picture.Refresh();
        });
    // Columns of the matrix are the horizontal pixel lines y = col - 1; element i of
    // every column in a chunk is contiguous in matrix row i.
    const Shown columns = ColumnsShown(picture, lines);
    RunPass(
        lines, workspace,
        [&](std::size_t k, double*, double* out, std::uint32_t* scratch, std::uint32_t* words) {
            SmoothChunk(setup, M.data + k * kChunk, M.stride, out, kChunk, countOf(k));
            DetailChunk(setup, M.data + k * kChunk, M.stride, out, kChunk, countOf(k));
            CopyColumns(out, k * kChunk, countOf(k), lines, M);
            PaintColumns(picture, columns, k, countOf(k), out, scratch, words, smooth, smooth);
        },
        [&](std::size_t k, const std::uint32_t* words) {
            frontend.SetStatus(kSmoothingText);
            frontend.SetStatus(kDetailsText);
            frontend.SetStatus(kPaintingText);
            PutColumnWords(picture, columns, k, countOf(k), words);
            picture.Refresh();
            frontend.SetStatus(kDoneText);
        });
}

void ReconstructLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                      TransformWorkspace& workspace) {
    workspace.Reserve(step.lines);
    const std::size_t lines = step.lines;
    PictureSurface& picture = frontend.Bild();
    auto countOf = [lines](std::size_t k) { return std::min(kChunk, lines - k * kChunk); };

    const Shown columns = ColumnsShown(picture, lines);
    RunPass(
        lines, workspace,
        [&](std::size_t k, double*, double* out, std::uint32_t* scratch, std::uint32_t* words) {
            SynthesiseChunk(filters, step.n, M.data + k * kChunk, M.stride, out, kChunk, countOf(k));
            CopyColumns(out, k * kChunk, countOf(k), lines, M);
            PaintColumns(picture, columns, k, countOf(k), out, scratch, words, lines, lines);
        },
        [&](std::size_t k, const std::uint32_t* words) {
            PutColumnWords(picture, columns, k, countOf(k), words);
            picture.Refresh();
        });
    const Shown rows = RowsShown(picture, lines);
    RunPass(
        lines, workspace,
        [&](std::size_t k, double* in, double* out, std::uint32_t*, std::uint32_t* words) {
            GatherRows(M, k * kChunk, countOf(k), lines, in);
            SynthesiseChunk(filters, step.n, in, kChunk, out, kChunk, countOf(k));
            ScatterRows(out, k * kChunk, countOf(k), lines, M);
            PaintRows(picture, rows, k, countOf(k), out, words, lines);
        },
        [&](std::size_t k, const std::uint32_t* words) {
            PutRowWords(picture, rows, k, countOf(k), words);
            picture.Refresh();
        });
}

namespace {

// The handlers' scratch memory, kept from one level change to the next: a fresh one
// would map and zero the helpers' results (8 MiB at level 10) on every change.
// Handlers run one at a time, as they work on the one CoeffMatrix.
TransformWorkspace& HandlerWorkspace() {
    static TransformWorkspace workspace;
    return workspace;
}

}  // namespace

void DecomposeLevel(Frontend& frontend, int L) {
    DecomposeLevel(StepAt(L), CurrentFilters(), WorkingMatrix(), frontend, HandlerWorkspace());
}

void ReconstructLevel(Frontend& frontend, int L) {
    ReconstructLevel(StepAt(L), CurrentFilters(), WorkingMatrix(), frontend, HandlerWorkspace());
}

void LevelChange(Frontend& frontend, int position) {
    // The coarsest level in use is 2, the finest the picture's own; a level-1 picture
    // has nothing to transform.
    const int finest = std::min<int>(PictureLevel, kMaxLevel);
    int target = CurrentLevel;
    if (finest >= 2 && CurrentLevel >= 2 && CurrentLevel <= kMaxLevel) target = std::clamp(position, 2, finest);

    const Filters filters = CurrentFilters();
    const MatrixView matrix = WorkingMatrix();
    TransformWorkspace& workspace = HandlerWorkspace();
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
