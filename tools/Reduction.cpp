#include "tools/Reduction.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora {

namespace {
// Levels index Pow2Int and span the working matrix; anything else would step outside.
void CheckLevels() {
    if (PictureLevel < 1 || PictureLevel > kMaxLevel || CurrentLevel < 1 || CurrentLevel > kMaxLevel)
        throw Error("Ungültige Stufe: " + FormatD(CurrentLevel) + " / " + FormatD(PictureLevel));
}
}  // namespace

double ReductionShare(int count) {
    return (count * 100.0) / (Pow2[PictureLevel] * Pow2[PictureLevel]);
}

std::string FormatShare(double share) { return FormatG(share) + " %"; }

int Reduce(Frontend& frontend) {
    CheckLevels();
    const int last = Pow2Int[PictureLevel];   // i, j = 0 ... last
    const int smooth = Pow2Int[CurrentLevel];  // i, j <= smooth: smoothing block, exempt
    const double epsilon = Epsilon;
    PictureSurface& bild = frontend.Bild();
    double* const elements = CoeffMatrix.Data();
    const std::size_t cols = static_cast<std::size_t>(CoeffMatrix.Cols());

    // Walked in tiles: the matrix is stored along j, the picture along i (= X), and a
    // plain double loop would step through one of them a page at a time. The count and
    // every change are independent of the order. Inside the tiles the test decides by
    // selection, not by branches: small details are scattered at random. std::fabs and
    // AbsValue differ only in the sign of a zero or a NaN, which "< epsilon" cannot see.
    constexpr int kTile = 32;
    const std::uint32_t marker = PictureSurface::ToWord(kMarkerRed);
    const int pictureWidth = bild.Width();
    const int pictureHeight = bild.Height();
    int count = 0;
    const auto zeroSmall = [&](double& element) {
        const bool small = std::fabs(element) < epsilon;
        const std::uint64_t keep = static_cast<std::uint64_t>(small) - 1;  // all ones unless small
        element = std::bit_cast<double>(std::bit_cast<std::uint64_t>(element) & keep);
        count += small;
        return small;
    };
    for (int i0 = 0; i0 <= last; i0 += kTile) {
        const int i1 = std::min(i0 + kTile - 1, last);
        for (int j0 = 0; j0 <= last; j0 += kTile) {
            const int j1 = std::min(j0 + kTile - 1, last);
            for (int i = i0; i <= i1; ++i) {
                // Element (i+1, j+1) lives at row i, column j of the raw storage.
                double* const row = elements + static_cast<std::size_t>(i) * cols;
                const int first = i <= smooth ? std::max(j0, smooth + 1) : j0;
                // Markers only where the picture has the pixel (X = i, Y = j).
                const int lastMarked = i < pictureWidth ? std::min(j1, pictureHeight - 1) : first - 1;
                int j = first;
                for (; j <= lastMarked; ++j) {
                    const bool small = zeroSmall(row[j]);
                    std::uint32_t& pixel = bild.ScanLine(j)[i];
                    pixel = small ? marker : pixel;
                }
                for (; j <= j1; ++j) zeroSmall(row[j]);
            }
        }
    }
    frontend.SetLabel(Label::Prozent, FormatShare(ReductionShare(count)));
    return count;
}

void EpsilonChanged(const std::string& text) { Epsilon = ParseNumber(text); }

}  // namespace tesora
