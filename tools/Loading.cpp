// Opening: level L = min { L >= 1 : 2^L + 1 >= width }, and M(i, j) = red(i-1, j-1)
// for i, j <= 2^L + 1 inside the picture, 0 everywhere else.
#include "tools/Loading.h"

#include <algorithm>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora {

int LevelForWidth(int width) {
    int L = 1;
    // Up to 2^11 like the power tables; a wider picture is refused before it gets here.
    while (L < 11 && (1 << L) + 1 < width) ++L;
    return L;
}

int FindPictureLevel() { return LevelForWidth(PictureWidth); }

void ReadRedValues(const PictureSurface& picture, int width, int height, int N, const MatrixView& M) {
    const auto block = static_cast<std::size_t>(N);
    for (std::size_t i = 0; i < block; ++i) {
        double* const row = M.Row(i);
        const bool column = static_cast<int>(i) < width;
        for (std::size_t j = 0; j < block; ++j) {
            const bool inside = column && static_cast<int>(j) < height;
            row[j] = inside ? static_cast<double>(picture.GetValue(static_cast<int>(i), static_cast<int>(j))) : 0.0;
        }
        // Everything outside the block is cleared as well: the difference picture of a
        // picture taller than its block reads there, and must not see an earlier
        // picture's values.
        std::fill(row + block, row + M.stride, 0.0);
    }
    std::fill(M.Row(block), M.Row(static_cast<std::size_t>(M.side)), 0.0);
}

void ReadColourValues(Frontend& frontend) {
    // A level beyond the working matrix would write outside it.
    if (CurrentLevel < 1 || CurrentLevel > kMaxLevel)
        throw Error("Bild zu breit: höchstens " + FormatD(kMaxSide) + " Pixel!",
                    "The picture is too wide: at most " + FormatD(kMaxSide) + " pixels.");
    frontend.SetStatus("Lese Farbwerte...");
    ReadRedValues(frontend.Bild(), PictureWidth, PictureHeight, Pow2Int[CurrentLevel] + 1, WorkingMatrix());
}

void OpenLoadedPicture(Frontend& frontend, const std::string& fileName) {
    PictureWidth = frontend.Bild().Width();
    PictureHeight = frontend.Bild().Height();
    frontend.SetLabel(Label::DateiName, fileName);
    CurrentLevel = FindPictureLevel();
    PictureLevel = CurrentLevel;
    // Its change handler finds the matrix at the new level already: nothing to transform.
    frontend.SetLevelRange(PictureLevel);
    ReadColourValues(frontend);
    frontend.SetStatus("Level: " + FormatD(CurrentLevel));

    frontend.SetLabel(Label::DeltaVorgeschlagen, "0");
    frontend.SetLabel(Label::Prozent, "0 %");
    frontend.SetLabel(Label::Fehler, "0");
    // A level-1 picture has no coarser level to go to.
    frontend.SetEnabled(Control::trbLevel, PictureLevel >= 2);
    for (Control control : {Control::butKompress, Control::butCalcDelta, Control::butBMPSave, Control::butFehler})
        frontend.SetEnabled(control, true);
}

}  // namespace tesora
