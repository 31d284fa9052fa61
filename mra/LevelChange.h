#pragma once
// The level change: decomposition of the coefficient matrix one level at a time (rows,
// then columns) and reconstruction (columns, then rows), painting every transformed
// line into the main picture as it goes, and the track bar's whole change handler.
#include <cstdint>
#include <memory>
#include <vector>

#include "blac/Frontend.h"
#include "mra/ChunkKernels.h"
#include "mra/HelperCrew.h"
#include "mra/Values.h"

namespace tesora {

// The scratch memory of level steps: one chunk of gathered lines, its results and the
// untransposed grey words, and the factored Gram matrices of the current level; with
// more than one transform thread also the grey words of every chunk of a pass, each
// helper thread's own scratch and the helper threads themselves. Grows to the largest
// level it meets. One per concurrent transform; the handlers share one, kept from one
// level change to the next.
class TransformWorkspace {
public:
    void Reserve(std::size_t lines);
    // At least `helpers` helper threads, started on first use and kept; a process forked
    // from the one that started them gets its own.
    HelperCrew& Crew(std::size_t helpers);

    std::vector<double> in;
    std::vector<double> out;
    std::vector<std::uint32_t> wordScratch;
    AnalysisSetup analysis;
    std::vector<std::uint32_t> results;                    // grey words, chunk k at k * lines * kChunk
    std::vector<std::vector<double>> helperIn, helperOut;  // one of each per helper thread
    std::vector<std::vector<std::uint32_t>> helperWords;

private:
    std::unique_ptr<HelperCrew> crew_;
};

// Threads a level step computes its chunks on (the calling thread included). Every line
// is computed the same way on any thread, so the results do not depend on the count.
// The default is the hardware's thread count, at most kMaxTransformThreads;
// SetTransformThreads(0) returns to it.
constexpr int kMaxTransformThreads = 8;
int DefaultTransformThreads();
void SetTransformThreads(int threads);
int TransformThreads();

// From level L + 1 to level L of `M`, in place, with the filters of one Delta. Step
// texts go to frontend's caption, the lines to frontend.Bild().
void DecomposeLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                    TransformWorkspace& workspace);
// From level L to level L + 1 of `M`, in place.
void ReconstructLevel(const LevelStep& step, const Filters& filters, const MatrixView& M, Frontend& frontend,
                      TransformWorkspace& workspace);

// The same on CoeffMatrix with the current filters (CurrentLevel is already L when going
// down; the caller raises it after going up).
void DecomposeLevel(Frontend& frontend, int L);
void ReconstructLevel(Frontend& frontend, int L);

// The work of the level track bar's change handler for the new position. The position
// is kept within [2, PictureLevel]; a picture of level 1 is never transformed.
void LevelChange(Frontend& frontend, int position);

}  // namespace tesora
