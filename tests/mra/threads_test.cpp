// The kernels take everything as values: two pictures run through them at once, in two
// threads, give the same bits as one after the other, whatever the globals hold.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "blac/Coefficients.h"
#include "blac/Start.h"
#include "blac/State.h"
#include "mra/LevelChange.h"
#include "mra/Rendering.h"
#include "tools/DeltaProposal.h"
#include "tools/MemoryFrontend.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

constexpr int kSide = 257;  // level 8
constexpr int kLevel = 8;

Filters FiltersFor(double delta) {
    Delta = delta;
    RebuildWaveletCoeffs();
    return CurrentFilters();
}

// One picture's road through the kernels: down to level 2, the rendering, "Reduce", up
// again, the difference picture. Each road owns its matrix, frontend and workspaces.
struct Road {
    Road(unsigned seed, int w, int h, const Filters& f) : filters(f), width(w), height(h) {
        std::mt19937 random(seed);
        matrix.assign(static_cast<std::size_t>(kSide) * kSide, 0.0);
        for (int i = 0; i < width; ++i)
            for (int j = 0; j < height; ++j)
                matrix[static_cast<std::size_t>(i * kSide + j)] = static_cast<double>(random() % 256);
        frontend.bild.Resize(width, height);
        frontend.reduced.Resize(width, height);
    }

    void Run() {
        const MatrixView view{matrix.data(), kSide, kSide};
        TransformWorkspace transform;
        for (int L = kLevel - 1; L >= 2; --L) DecomposeLevel(StepAt(L), filters, view, frontend, transform);
        RenderWorkspace render;
        RenderApproximation({view, filters.delta, 2, width, height}, frontend.reduced, render);
        zeroed = ZeroSmallDetails(view, {1 << kLevel, 1 << 2, 5.0}, frontend.bild);
        for (int L = 2; L < kLevel; ++L) ReconstructLevel(StepAt(L), filters, view, frontend, transform);
        DifferencePicture(DifferenceKernel, {view, 50.0, width, height}, frontend.reduced, sums);
    }

    bool SameAs(const Road& other) const {
        return std::memcmp(matrix.data(), other.matrix.data(), matrix.size() * sizeof(double)) == 0 &&
               frontend.bild.Words() == other.frontend.bild.Words() &&
               frontend.reduced.Words() == other.frontend.reduced.Words() && zeroed == other.zeroed &&
               frontend.statusHistory == other.frontend.statusHistory &&
               std::memcmp(&sums, &other.sums, sizeof sums) == 0;
    }

    Filters filters;
    int width, height;
    std::vector<double> matrix;
    MemoryFrontend frontend;
    int zeroed = 0;
    DifferenceSums sums;
};

TEST(Threads, TwoPicturesAtOnceGiveTheSerialBits) {
    StartProgram();
    const Filters plain = FiltersFor(0.0);
    const Filters blended = FiltersFor(0.61);

    Road serialA(1, 257, 200, plain), serialB(2, 230, 257, blended);
    serialA.Run();
    serialB.Run();
    ASSERT_GT(serialA.zeroed, 0);
    ASSERT_FALSE(serialA.SameAs(serialB));

    // Globals moved elsewhere meanwhile: a kernel that read them would differ.
    FiltersFor(0.3);
    CurrentLevel = 5;
    PictureWidth = PictureHeight = 3;
    Road threadA(1, 257, 200, plain), threadB(2, 230, 257, blended);
    std::thread first([&] { threadA.Run(); });
    std::thread second([&] { threadB.Run(); });
    first.join();
    second.join();
    EXPECT_TRUE(threadA.SameAs(serialA));
    EXPECT_TRUE(threadB.SameAs(serialB));
    StartProgram();
}

}  // namespace
}  // namespace tesora::testing
