// The one place in mra/ outside the handlers that reads the program's globals: it copies
// them into the values the kernels take.
#include "mra/Values.h"

#include <algorithm>
#include <string>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Error.h"

namespace tesora {

LevelStep StepAt(int L) {
    if (L < 2 || L >= kMaxLevel)
        throw Error("Level " + std::to_string(L) + " liegt außerhalb von 2 bis 9!",
                    "Level " + std::to_string(L) + " lies outside 2 ... 9.");
    LevelStep step;
    step.level = L;
    step.n = 1 << L;
    step.lines = 2 * static_cast<std::size_t>(step.n) + 1;
    return step;
}

Filters CurrentFilters() {
    Filters f;
    f.delta = Delta;
    f.halfDelta = HalfDelta;
    f.oneMinusHalfDelta = OneMinusHalfDelta;
    std::copy(WaveletLeft, WaveletLeft + 4, f.left);
    std::copy(WaveletInner, WaveletInner + 5, f.inner);
    std::copy(WaveletRight, WaveletRight + 4, f.right);
    return f;
}

MatrixView WorkingMatrix() {
    return MatrixView{CoeffMatrix.Data(), static_cast<std::size_t>(CoeffMatrix.Cols()),
                      std::min(CoeffMatrix.Rows(), CoeffMatrix.Cols())};
}

}  // namespace tesora
