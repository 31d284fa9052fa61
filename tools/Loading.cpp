#include "tools/Loading.h"

#include "blac/Bank.h"
#include "blac/State.h"

namespace tesora {

int FindPictureLevel() {
    int L = 1;
    // Pow2Int ends at 2^11; a wider picture is refused before it gets here.
    while (L < 11 && Pow2Int[L] + 1 < PictureWidth) ++L;
    return L;
}

void ReadColourValues(Frontend& frontend) {
    frontend.SetStatus("Lese Farbwerte...");
    const PictureSurface& picture = frontend.Bild();
    const int N = Pow2Int[CurrentLevel] + 1;
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            const bool inside = i <= PictureWidth && j <= PictureHeight;
            CoeffMatrix.Set(i, j, inside ? static_cast<double>(picture.GetValue(i - 1, j - 1)) : 0.0);
        }
}

}  // namespace tesora
