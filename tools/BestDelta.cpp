#include "tools/BestDelta.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "blac/DeltaControl.h"
#include "tools/DeltaProposal.h"
#include "tools/MemoryFrontend.h"
#include "tools/RateDistortion.h"

namespace tesora::analysis {
namespace {

constexpr int kPositions = 101;

double Comparable(double psnr) { return std::isnan(psnr) ? -INFINITY : psnr; }

// The golden section's evaluations on an interval of `width`: two, then one per shrink.
int GoldenEvaluations(double width) {
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    int count = 2;
    for (; width > kBestDeltaTolerance; width *= ratio) ++count;
    return count;
}

// Every position's figure, positions shared out to the threads one at a time.
std::vector<double> ScanPositions(const std::function<double(double)>& psnrAt, int threads,
                                  const std::function<void(int, int)>& progress) {
    std::vector<double> psnr(kPositions);
    std::atomic<int> next{0}, done{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const auto work = [&](bool caller) {
        for (int p = next++; p < kPositions; p = next++) {
            try {
                psnr[static_cast<std::size_t>(p)] = psnrAt(DeltaFromPosition(p));
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                next = kPositions;
            }
            ++done;
            if (caller && progress) progress(done.load(), BestDeltaEvaluations());
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::max(threads, 1); ++t) helpers.emplace_back(work, false);
    work(true);
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
    if (progress) progress(done.load(), BestDeltaEvaluations());
    return psnr;
}

}  // namespace

int BestDeltaEvaluations() { return kPositions + GoldenEvaluations(DeltaFromPosition(2) - DeltaFromPosition(0)); }

BestDelta FindBestDelta(const std::function<double(double)>& psnrAt, double proposalDelta, int threads,
                        const std::function<void(int, int)>& progress) {
    const std::vector<double> psnr = ScanPositions(psnrAt, threads, progress);
    std::map<double, double> known;
    int best = 0;
    for (int p = 0; p < kPositions; ++p) {
        known[DeltaFromPosition(p)] = psnr[static_cast<std::size_t>(p)];
        if (Comparable(psnr[static_cast<std::size_t>(p)]) > Comparable(psnr[static_cast<std::size_t>(best)])) best = p;
    }
    BestDelta result;
    result.bestDelta = DeltaFromPosition(best);
    result.bestPsnr = psnr[static_cast<std::size_t>(best)];
    // Between the neighbours the figure may rise above the best position's.
    const double low = DeltaFromPosition(std::max(best - 1, 0)), high = DeltaFromPosition(std::min(best + 1, 100));
    int evaluated = kPositions;
    const auto counted = [&](double delta) {
        const double value = psnrAt(delta);
        if (progress) progress(std::min(++evaluated, BestDeltaEvaluations() - 1), BestDeltaEvaluations());
        return value;
    };
    const Maximum refined = GoldenSectionMaximum(counted, low, high, kBestDeltaTolerance);
    if (refined.value > Comparable(result.bestPsnr)) result.bestDelta = refined.x, result.bestPsnr = refined.value;
    result.delta0Psnr = psnr[0];
    result.proposalDelta = proposalDelta;
    const auto found = known.find(proposalDelta);
    result.proposalPsnr = found != known.end() ? found->second : psnrAt(proposalDelta);
    result.regretDb = result.bestPsnr - result.proposalPsnr;
    if (progress) progress(BestDeltaEvaluations(), BestDeltaEvaluations());
    return result;
}

BestDelta FindBestDeltaFor(const RedPicture& picture, const BestDeltaRequest& request,
                           const std::function<void(int, int)>& progress) {
    if (request.rule == RuleKind::Levels)
        throw Error("Das beste Delta gibt es nur mit flat und norm.",
                    "The best Delta is found with the rules flat and norm only.");
    // Shared by every Delta: the picture's bytes by columns and the layout of the level.
    const auto layout = std::make_shared<const Layout>(
        LayoutOf(PictureLevelOf(picture.width), request.level, picture.width, picture.height));
    const auto columns = std::make_shared<const std::vector<std::uint8_t>>(ByColumns(picture));
    const auto psnrAt = [&](double delta) {
        PictureAnalysis analysis(picture, delta, request.level, layout, columns, request.synthesis);
        RowRequest row;
        row.rule.kind = request.rule;
        row.bppTarget = request.bpp;
        return analysis.Row(row).quality.psnrExact;
    };
    return FindBestDelta(psnrAt, ProposalDelta(picture, 50.0), request.threads, progress);
}

DifferenceSums OpeningDifferenceSums(const RedPicture& picture, double bound) {
    // The working matrix as opening leaves it: the picture's square in the corner of the
    // 1025-square, zeros around it, which the difference picture of a tall picture reads.
    const Coefficients square = ReadPicture(picture);
    std::vector<double> matrix(static_cast<std::size_t>(kMaxSide) * kMaxSide, 0.0);
    for (int i = 0; i < square.side; ++i)
        std::copy_n(square.values.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(square.side),
                    square.side, matrix.data() + static_cast<std::size_t>(i) * kMaxSide);
    MemorySurface reduced(picture.width, picture.height);
    DifferenceSums sums;
    const MatrixView view{matrix.data(), static_cast<std::size_t>(kMaxSide), kMaxSide};
    DifferencePicture(DifferenceKernel, {view, bound, picture.width, picture.height}, reduced, sums);
    return sums;
}

double ProposalDelta(const RedPicture& picture, double bound) {
    return ProposalOf(OpeningDifferenceSums(picture, bound), DeltaFromPosition(0), 0).delta;
}

}  // namespace tesora::analysis
