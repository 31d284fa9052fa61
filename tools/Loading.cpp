#include "tools/Loading.h"

#include <algorithm>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora {

int FindPictureLevel() {
    int L = 1;
    // Pow2Int ends at 2^11; a wider picture is refused before it gets here.
    while (L < 11 && Pow2Int[L] + 1 < PictureWidth) ++L;
    return L;
}

void ReadColourValues(Frontend& frontend) {
    // A level beyond the working matrix would write outside it.
    if (CurrentLevel < 1 || CurrentLevel > kMaxLevel)
        throw Error("Bild zu breit: höchstens " + FormatD(kMaxSide) + " Pixel!");
    frontend.SetStatus("Lese Farbwerte...");
    const PictureSurface& picture = frontend.Bild();
    const int N = Pow2Int[CurrentLevel] + 1;
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            const bool inside = i <= PictureWidth && j <= PictureHeight;
            CoeffMatrix.Set(i, j, inside ? static_cast<double>(picture.GetValue(i - 1, j - 1)) : 0.0);
        }
    // Everything outside the block is cleared as well: the difference picture of a picture
    // taller than its block reads there, and must not see an earlier picture's values.
    double* const elements = CoeffMatrix.Data();
    const std::size_t rows = static_cast<std::size_t>(CoeffMatrix.Rows());
    const std::size_t cols = static_cast<std::size_t>(CoeffMatrix.Cols());
    for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i)
        std::fill(elements + i * cols + N, elements + (i + 1) * cols, 0.0);
    std::fill(elements + N * cols, elements + rows * cols, 0.0);
}

}  // namespace tesora
