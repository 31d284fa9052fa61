#include "tools/DeltaProposal.h"

#include <algorithm>
#include <cmath>

#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora {

const Matrix DifferenceKernel = [] {
    Matrix kernel(3, 3);
    kernel.Set(1, 2, -1.0);
    kernel.Set(2, 1, -1.0);
    kernel.Set(2, 2, 4.0);
    kernel.Set(2, 3, -1.0);
    kernel.Set(3, 2, -1.0);
    return kernel;
}();

double DifferenceSumBelow = 0.0;
double DifferenceSumTotal = 0.0;

void CalcDelta(Frontend& frontend) {
    DifferenceSumBelow = 0.0;
    DifferenceSumTotal = 0.0;
    ShowDifferencePicture(frontend);
    ProposeDelta(frontend);
}

void ShowDifferencePicture(Frontend& frontend) {
    frontend.SetStatus("Initialisiere...");
    // Only the part of the reduced picture that the loaded picture covers turns black;
    // after a reload of a changed file the two sizes may differ.
    PictureSurface& reduced = frontend.Reduced();
    const int width = std::min(PictureWidth, reduced.Width());
    const int height = std::min(PictureHeight, reduced.Height());
    for (int y = 0; y < height; ++y) std::fill_n(reduced.ScanLine(y), width, PictureSurface::GreyWord(0));
    frontend.SetStatus("Berechne Differenzenbild...");
    ComputeDifferencePicture(frontend, DifferenceKernel);
    frontend.SetStatus("Fertig!");
}

void ComputeDifferencePicture(Frontend& frontend, const Matrix& kernel) {
    if (kernel.Rows() != 3 || kernel.Cols() != 3) throw Error("Der Differenzenkern muss 3 x 3 sein!");
    double K[3][3];
    double fullWeight = 0.0;  // in the order the general path adds, so both agree bit for bit
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) {
            K[k][l] = kernel.Get(k + 1, l + 1);
            fullWeight = fullWeight + AbsValue(K[k][l]);
        }

    const double* const elements = CoeffMatrix.Data();
    const int side = std::min(CoeffMatrix.Rows(), CoeffMatrix.Cols());
    const std::size_t cols = static_cast<std::size_t>(CoeffMatrix.Cols());
    // M(i, j), 1-based; 0.0 beyond the matrix.
    const auto element = [&](int i, int j) {
        return i <= side && j <= side
                   ? elements[static_cast<std::size_t>(i - 1) * cols + static_cast<std::size_t>(j - 1)]
                   : 0.0;
    };

    PictureSurface& reduced = frontend.Reduced();
    const double bound = Schranke;
    const int width = PictureWidth;
    const int height = PictureHeight;
    double below = DifferenceSumBelow;
    double total = DifferenceSumTotal;

    for (int r = 1; r <= height - 2; ++r) {
        // Neighbours all present and inside the matrix: s = 2 ... fastEnd at this r.
        const bool rowInner = r >= 2 && r + 1 <= side;
        const int fastEnd = rowInner ? std::min(width - 2, side - 1) : 1;
        for (int s = 1; s <= width - 2; ++s) {
            double weight;
            double response = 0.0;
            if (s >= 2 && s <= fastEnd) {
                weight = fullWeight;
                const double* m = elements + static_cast<std::size_t>(s - 2) * cols + static_cast<std::size_t>(r - 2);
                for (int k = 0; k < 3; ++k, m += cols)
                    for (int l = 0; l < 3; ++l) response = response + K[k][l] * m[l];
            } else {
                weight = 0.0;
                for (int k = -1; k <= 1; ++k)
                    for (int l = -1; l <= 1; ++l)
                        if (s + k > 0 && r + l > 0 && s + k < width && r + l < height) {
                            weight = weight + AbsValue(K[k + 1][l + 1]);
                            response = response + K[k + 1][l + 1] * element(s + k, r + l);
                        }
            }
            double v = AbsValue(response);
            if (weight != 0) v = v / AbsValue(weight);
            v = 5.0 * v;
            if (v > 0 && v < bound) below = below + v;
            total = total + v;
            reduced.SetGrey(s, r, 255 - ClampToByte(v));
        }
    }
    DifferenceSumBelow = below;
    DifferenceSumTotal = total;
    reduced.Refresh();
}

void ProposeDelta(Frontend& frontend) {
    if (DifferenceSumTotal != 0) {
        const double proposal = DifferenceSumBelow / DifferenceSumTotal;
        // A NaN (infinite differences) would poison every later transform; keep Delta.
        if (!std::isnan(proposal)) Delta = proposal;
    }
    std::string text = " ";
    text += FormatG(Delta);
    frontend.SetLabel(Label::DeltaVorgeschlagen, text);
    frontend.SetDeltaPosition(PositionFromDelta(Delta));
}

void SchrankeChanged(const std::string& text) { Schranke = ParseNumber(text); }

}  // namespace tesora
