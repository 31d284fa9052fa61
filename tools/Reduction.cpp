// "Reduce": for 0 <= i, j <= 2^P outside the smoothing block i, j <= 2^C,
//   |M(i+1, j+1)| < Epsilon  =>  M(i+1, j+1) := 0, pixel (i, j) red
//   share = count * 100 / (2^P * 2^P)   (may exceed 100: the square has (2^P + 1)^2)
#include "tools/Reduction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "blac/Bank.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "mra/Values.h"

namespace tesora {

namespace {
// Levels index Pow2Int and span the working matrix; anything else would step outside.
void CheckLevels() {
    if (PictureLevel < 1 || PictureLevel > kMaxLevel || CurrentLevel < 1 || CurrentLevel > kMaxLevel)
        throw Error("Ungültige Stufe: " + FormatD(CurrentLevel) + " / " + FormatD(PictureLevel),
                    "Invalid level: " + FormatD(CurrentLevel) + " / " + FormatD(PictureLevel));
}
}  // namespace

double ReductionShare(int count) { return ReductionShare(count, PictureLevel); }

double ReductionShare(int count, int pictureLevel) {
    const double side = std::ldexp(1.0, pictureLevel);  // Pow2[pictureLevel], exactly
    return (count * 100.0) / (side * side);
}

std::string FormatShare(double share) { return FormatG(share) + " %"; }

TESORA_WIDE_VECTORS
int ThresholdFlat(const double* source, double* target, int from, int to, double threshold) {
    // No restrict: the window thresholds in place. The loop still runs in vectors when
    // the compiler finds the two apart at run time.
    int count = 0;
    for (int j = from; j <= to; ++j) {
        const double value = source[j];
        const bool small = std::fabs(value) < threshold;
        target[j] = small ? 0.0 : value;
        count += small;
    }
    return count;
}

int ZeroSmallDetails(const MatrixView& M, const DetailSquare& square, PictureSurface& bild) {
    const int last = square.last;
    const int smooth = square.smooth;
    const double epsilon = square.epsilon;

    // Walked in tiles: the matrix is stored along j, the picture along i (= X), and a
    // plain double loop would step through one of them a page at a time. The count and
    // every change are independent of the order.
    constexpr int kTile = 32;
    const std::uint32_t marker = PictureSurface::ToWord(kMarkerRed);
    const int pictureWidth = bild.Width();
    const int pictureHeight = bild.Height();
    // Only a positive Epsilon zeroes anything, and then every zero left behind was below
    // it: the zeros after the threshold are exactly the elements it counted.
    const bool marks = epsilon > 0;
    int count = 0;
    for (int i0 = 0; i0 <= last; i0 += kTile) {
        const int i1 = std::min(i0 + kTile - 1, last);
        for (int j0 = 0; j0 <= last; j0 += kTile) {
            const int j1 = std::min(j0 + kTile - 1, last);
            for (int i = i0; i <= i1; ++i) {
                // Element (i+1, j+1) lives at row i, column j of the raw storage.
                double* const row = M.Row(static_cast<std::size_t>(i));
                const int first = i <= smooth ? std::max(j0, smooth + 1) : j0;
                if (first > j1) continue;
                count += ThresholdFlat(row, row, first, j1, epsilon);
                // Markers only where the picture has the pixel (X = i, Y = j).
                const int lastMarked = i < pictureWidth && marks ? std::min(j1, pictureHeight - 1) : first - 1;
                for (int j = first; j <= lastMarked; ++j) {
                    std::uint32_t& pixel = bild.ScanLine(j)[i];
                    pixel = row[j] == 0.0 ? marker : pixel;
                }
            }
        }
    }
    return count;
}

int Reduce(Frontend& frontend) {
    CheckLevels();
    const DetailSquare square{Pow2Int[PictureLevel], Pow2Int[CurrentLevel], Epsilon};
    const int count = ZeroSmallDetails(WorkingMatrix(), square, frontend.Bild());
    frontend.SetLabel(Label::Prozent, FormatShare(ReductionShare(count)));
    return count;
}

void EpsilonChanged(const std::string& text) { Epsilon = ParseNumber(text); }

}  // namespace tesora
