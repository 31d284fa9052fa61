#pragma once
// The Delta with the highest quality at one rate: every scroll position 0 ... 100, then
// a golden-section search between the best position's neighbours, and beside it
// Delta 0 and the "Calc Delta" proposal with the quality it gives up.
#include <functional>

#include "tools/Analysis.h"
#include "tools/DeltaProposal.h"

namespace tesora::analysis {

struct BestDelta {
    double bestDelta = 0.0;
    double bestPsnr = 0.0;
    double delta0Psnr = 0.0;
    double proposalDelta = 0.0;
    double proposalPsnr = 0.0;
    double regretDb = 0.0;  // bestPsnr - proposalPsnr
};

constexpr double kBestDeltaTolerance = 1e-3;

// The figures a search evaluates when the best position lies inside: every position, then
// the golden section between its neighbours. A best position at either end needs fewer.
int BestDeltaEvaluations();

// psnrAt(Delta) is the figure to maximise (NaN counts lowest); it is called from up to
// `threads` threads at once over the positions, and once per Delta. `progress`, when
// given, hears (done, BestDeltaEvaluations()) from the calling thread after each
// evaluation, and (total, total) at the end.
BestDelta FindBestDelta(const std::function<double(double)>& psnrAt, double proposalDelta, int threads,
                        const std::function<void(int, int)>& progress = {});

// The search for one picture at `bpp` bits per pixel: each Delta's figure is psnr_exact
// of the row at that rate (RowRequest::bppTarget) with the synthesis asked for, nothing
// removed by the rule (flat or norm) before quantising; the proposal with Schranke 50.
struct BestDeltaRequest {
    double bpp = 1.0;
    RuleKind rule = RuleKind::Flat;
    Synthesis synthesis = Synthesis::Specified;
    int level = 2;
    int threads = 1;
};
BestDelta FindBestDeltaFor(const RedPicture& picture, const BestDeltaRequest& request,
                           const std::function<void(int, int)>& progress = {});

// The sums of "Calc Delta"'s difference picture on a freshly opened picture with the
// Schranke `bound`.
DifferenceSums OpeningDifferenceSums(const RedPicture& picture, double bound);

// The Delta "Calc Delta" proposes for a freshly opened picture (scroll bar at 0) with
// the Schranke `bound`: where the scroll bar's handler leaves Delta.
double ProposalDelta(const RedPicture& picture, double bound);

}  // namespace tesora::analysis
