#pragma once
// Shared set-up of the transform tests: fresh global state, an in-memory frontend, and
// pictures opened with arbitrary values. The yardstick for the fast path is
// mra/ReferenceTransform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "mra/LevelOperators.h"
#include "mra/ReferenceTransform.h"
#include "support/CoreState.h"
#include "mra/Rendering.h"
#include "tools/Loading.h"
#include "tools/MemoryFrontend.h"

namespace tesora::testing {

inline void SetDeltaPosition(int position) {
    Delta = DeltaFromPosition(position);
    RebuildWaveletCoeffs();
}

// --- Fixture -------------------------------------------------------------------------

class MraTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }

    static void ResetAll() { ResetCore(); }

    // What opening a picture leaves behind: sizes, levels, both pictures, the matrix;
    // then the matrix holds `values` exactly, which need not be bytes. The open step's
    // own captions are forgotten, so a test sees only those of its handlers.
    void Open(int width, int height, const std::vector<double>& values) {
        frontend.bild.Resize(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frontend.bild.SetGrey(x, y, ClampToByte(values[static_cast<std::size_t>(y) * width + x]));
        frontend.reduced = frontend.bild;
        OpenLoadedPicture(frontend, "picture.bmp");
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                CoeffMatrix.Set(x + 1, y + 1, values[static_cast<std::size_t>(y) * width + x]);
        frontend.statusHistory.clear();
        frontend.reducedStatusHistory.clear();
    }

    MemoryFrontend frontend;
};

inline bool SameMatrix(const std::vector<double>& a) {
    return std::memcmp(a.data(), CoeffMatrix.Data(), a.size() * sizeof(double)) == 0;
}

inline std::vector<double> MatrixSnapshot() {
    return std::vector<double>(CoeffMatrix.Data(), CoeffMatrix.Data() + static_cast<std::size_t>(kMaxSide) * kMaxSide);
}

inline bool SamePixels(const MemorySurface& a, const MemorySurface& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() && a.Words() == b.Words();
}

}  // namespace tesora::testing
