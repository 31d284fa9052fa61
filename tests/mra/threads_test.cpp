// The kernels take everything as values: two pictures run through them at once, in two
// threads, give the same bits as one after the other, whatever the globals hold. And a
// level step spread over several threads gives the bits, pictures and the sequence of
// texts and refreshes of one thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
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

// A frontend that notes, at every refresh of the picture, how many status texts came
// before it and a digest of the picture at that moment.
struct RefreshLog {
    std::size_t texts;
    std::uint64_t digest;
    bool operator==(const RefreshLog&) const = default;
};

class LoggingFrontend : public MemoryFrontend {
public:
    class Surface : public MemorySurface {
    public:
        explicit Surface(LoggingFrontend& owner) : owner_(owner) {}
        void Refresh() override {
            std::uint64_t digest = 1469598103934665603ull;
            for (std::uint32_t word : Words()) digest = (digest ^ word) * 1099511628211ull;
            owner_.log.push_back({owner_.statusHistory.size(), digest});
        }

    private:
        LoggingFrontend& owner_;
    };

    PictureSurface& Bild() override { return surface; }

    Surface surface{*this};
    std::vector<RefreshLog> log;
};

// Everything a run of level steps leaves behind.
struct StepRun {
    std::vector<double> down, up;  // the matrix at the coarsest level and back at the finest
    std::vector<std::uint32_t> downPicture, upPicture;
    std::vector<std::string> texts;
    std::vector<RefreshLog> log;
};

// surfaceWidth/Height 0: a surface the size of the matrix.
StepRun RunSteps(int threads, int level, int width, int height, const Filters& filters, unsigned seed,
                 int surfaceWidth = 0, int surfaceHeight = 0) {
    const int side = (1 << level) + 1;
    std::mt19937 random(seed);
    std::vector<double> matrix(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), 0.0);
    for (int i = 0; i < width; ++i)
        for (int j = 0; j < height; ++j)
            matrix[static_cast<std::size_t>(i * side + j)] =
                std::uniform_real_distribution<double>(-20.0, 280.0)(random);
    LoggingFrontend frontend;
    frontend.surface.Resize(surfaceWidth > 0 ? surfaceWidth : side, surfaceHeight > 0 ? surfaceHeight : side);
    const MatrixView view{matrix.data(), static_cast<std::size_t>(side), side};

    SetTransformThreads(threads);
    StepRun run;
    TransformWorkspace workspace;
    for (int L = level - 1; L >= 2; --L) DecomposeLevel(StepAt(L), filters, view, frontend, workspace);
    run.down = matrix;
    run.downPicture = frontend.surface.Words();
    for (int L = 2; L < level; ++L) ReconstructLevel(StepAt(L), filters, view, frontend, workspace);
    SetTransformThreads(0);
    run.up = matrix;
    run.upPicture = frontend.surface.Words();
    run.texts = frontend.statusHistory;
    run.log = frontend.log;
    return run;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Small levels that stay on one thread, then levels whose chunks are shared between the
// caller and the helpers, with a short last chunk (2^L + 1 lines); pictures narrower
// than their matrix; several Deltas.
TEST(Threads, LevelStepsOnSeveralThreadsGiveTheBitsOfOne) {
    StartProgram();
    struct Case {
        int level, width, height;
        double delta;
    };
    const Case cases[] = {
        {3, 9, 9, 0.0}, {6, 65, 40, 0.61}, {8, 257, 257, 0.25}, {8, 200, 231, 1.0}, {9, 513, 400, 0.5}};
    unsigned seed = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "level " << c.level << " " << c.width << "x" << c.height << " Delta " << c.delta);
        const Filters filters = FiltersFor(c.delta);
        const StepRun serial = RunSteps(1, c.level, c.width, c.height, filters, seed);
        ASSERT_FALSE(serial.log.empty());
        ASSERT_FALSE(SameBits(serial.down, serial.up));
        for (int threads : {2, 3, 4}) {
            SCOPED_TRACE(::testing::Message() << threads << " threads");
            const StepRun parallel = RunSteps(threads, c.level, c.width, c.height, filters, seed);
            EXPECT_TRUE(SameBits(parallel.down, serial.down));
            EXPECT_TRUE(SameBits(parallel.up, serial.up));
            EXPECT_EQ(parallel.downPicture, serial.downPicture);
            EXPECT_EQ(parallel.upPicture, serial.upPicture);
            EXPECT_EQ(parallel.texts, serial.texts);
            EXPECT_TRUE(parallel.log == serial.log);
        }
        // A surface the picture's size shows exactly the top left of the matrix-sized one,
        // on any thread count.
        for (int threads : {1, 2}) {
            const StepRun clipped = RunSteps(threads, c.level, c.width, c.height, filters, seed, c.width, c.height);
            const int side = (1 << c.level) + 1;
            std::vector<std::uint32_t> downCrop, upCrop;
            for (int y = 0; y < c.height; ++y)
                for (int x = 0; x < c.width; ++x) {
                    downCrop.push_back(serial.downPicture[static_cast<std::size_t>(y * side + x)]);
                    upCrop.push_back(serial.upPicture[static_cast<std::size_t>(y * side + x)]);
                }
            EXPECT_TRUE(SameBits(clipped.down, serial.down)) << threads << " threads";
            EXPECT_EQ(clipped.downPicture, downCrop) << threads << " threads";
            EXPECT_EQ(clipped.upPicture, upCrop) << threads << " threads";
        }
        ++seed;
    }
    StartProgram();
}

TEST(Threads, ThreadCountIsKeptWithinItsRange) {
    SetTransformThreads(3);
    EXPECT_EQ(TransformThreads(), 3);
    SetTransformThreads(1000);
    EXPECT_EQ(TransformThreads(), kMaxTransformThreads);
    SetTransformThreads(0);
    EXPECT_EQ(TransformThreads(), DefaultTransformThreads());
    EXPECT_GE(DefaultTransformThreads(), 1);
    EXPECT_LE(DefaultTransformThreads(), kMaxTransformThreads);
}

}  // namespace
}  // namespace tesora::testing
