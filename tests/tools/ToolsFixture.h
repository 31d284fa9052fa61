#pragma once
// Shared set-up of the tools tests: fresh global state, an in-memory frontend and a way
// to "open" a picture the way the load handler does.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "tools/DeltaProposal.h"
#include "tools/Loading.h"
#include "support/CoreState.h"
#include "tools/MemoryFrontend.h"

namespace tesora::testing {

inline MemorySurface GreyPicture(int width, int height, const std::function<int(int, int)>& grey) {
    MemorySurface picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.SetGrey(x, y, grey(x, y));
    return picture;
}

inline MemorySurface RandomPicture(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    return GreyPicture(width, height, [&](int, int) { return static_cast<int>(random() % 256); });
}

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }

    static void ResetAll() {
        ResetCore();
        DifferenceSumBelow = 0.0;
        DifferenceSumTotal = 0.0;
    }

    // What a successful load leaves behind: both pictures, sizes, levels, the matrix,
    // and a reload that yields the same file again.
    void Open(const MemorySurface& picture) {
        frontend.bild = picture;
        frontend.reduced = picture;
        frontend.reloadOriginal = [picture](MemorySurface& target) { target = picture; };
        OpenLoadedPicture(frontend, "picture.bmp");
    }

    MemoryFrontend frontend;
};

}  // namespace tesora::testing
