#include "tools/DeltaProposal.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <vector>

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

namespace {
// ClampToByte for the values here, compiled to min/max instead of branches: NaN and
// below 0 give 0, above 255 gives 255, otherwise truncated.
inline int ClampValue(double v) {
    const double high = std::min(v, 255.0);          // NaN stays NaN
    return static_cast<int>(std::max(0.0, high));    // NaN and negatives give 0
}

// a when keep, else +0.0 (which leaves a sum as it is), by masking the bits.
inline double KeepOrZero(double a, bool keep) {
    const std::uint64_t mask = -static_cast<std::uint64_t>(keep);
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) & mask);
}
}  // namespace

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

    // The loop runs along X = the matrix's row index, a stride of a whole matrix row per
    // pixel. For the inner pixels the three columns r-1, r, r+1 are read from a copy of a
    // strip of columns, stored along the row index; the sums still grow in the order of
    // the pixels, and every value is the same element the general path reads.
    constexpr int kStrip = 32;
    const int rowsNeeded = std::min(width - 1, side);  // s + k <= width - 1
    const std::size_t stripStride = static_cast<std::size_t>(std::max(rowsNeeded, 0)) + 1;
    std::vector<double> strip(stripStride * (kStrip + 2));
    std::vector<double> values(static_cast<std::size_t>(std::max(width, 0)) + 1);

    for (int r0 = 1; r0 <= height - 2; r0 += kStrip) {
        const int r1 = std::min(r0 + kStrip - 1, height - 2);
        // Columns r0-1 ... r1+1 that exist in the matrix; column c at slot c - (r0-1).
        const int cLow = std::max(1, r0 - 1);
        const int cHigh = std::min(side, r1 + 1);
        for (int i = 1; i <= rowsNeeded; ++i) {
            const double* source = elements + static_cast<std::size_t>(i - 1) * cols;
            for (int c = cLow; c <= cHigh; ++c)
                strip[static_cast<std::size_t>(c - (r0 - 1)) * stripStride + static_cast<std::size_t>(i)] =
                    source[c - 1];
        }

        for (int r = r0; r <= r1; ++r) {
            // Pixels of this row that the reduced picture has (it may be smaller after a
            // reload of a changed file); the others are computed and summed, not painted.
            std::uint32_t* const out = r < reduced.Height() ? reduced.ScanLine(r) : nullptr;
            const int outWidth = out ? reduced.Width() : 0;
            // Random pictures would mispredict sign and bound tests half the time, so
            // they are written without branches. std::fabs differs from AbsValue only
            // in the sign of a zero or a NaN, which no sum, bound or grey can see.
            const auto value = [](double response, double weight) {
                double v = std::fabs(response);
                if (weight != 0) v = v / AbsValue(weight);
                return 5.0 * v;
            };
            const auto add = [&](int s, double v) {
                below = below + KeepOrZero(v, (v > 0) & (v < bound));
                total = total + v;
                if (s < outWidth) out[s] = PictureSurface::GreyWord(255 - ClampValue(v));
            };
            const auto finish = [&](int s, double response, double weight) { add(s, value(response, weight)); };
            const auto general = [&](int s) {
                double weight = 0.0;
                double response = 0.0;
                for (int k = -1; k <= 1; ++k)
                    for (int l = -1; l <= 1; ++l)
                        if (s + k > 0 && r + l > 0 && s + k < width && r + l < height) {
                            weight = weight + AbsValue(K[k + 1][l + 1]);
                            response = response + K[k + 1][l + 1] * element(s + k, r + l);
                        }
                finish(s, response, weight);
            };

            // Neighbours all present and inside the matrix: s = 2 ... fastEnd at this r.
            const bool rowInner = r >= 2 && r + 1 <= side;
            const int fastEnd = rowInner ? std::min(width - 2, side - 1) : 1;
            int s = 1;
            if (s <= width - 2) general(s++);
            if (rowInner) {
                const double* const left = strip.data() + static_cast<std::size_t>(r - 1 - (r0 - 1)) * stripStride;
                const double* const middle = left + stripStride;
                const double* const right = middle + stripStride;
                // The values have no dependence between pixels, so they are formed in a
                // loop the compiler vectorises; only the two sums stay in pixel order.
                const double k00 = K[0][0], k01 = K[0][1], k02 = K[0][2], k10 = K[1][0], k11 = K[1][1],
                             k12 = K[1][2], k20 = K[2][0], k21 = K[2][1], k22 = K[2][2];
                const double* __restrict a = left;
                const double* __restrict b = middle;
                const double* __restrict c = right;
                double* __restrict v = values.data();
                for (int t = s; t <= fastEnd; ++t) {
                    double response = 0.0;
                    response = response + k00 * a[t - 1];
                    response = response + k01 * b[t - 1];
                    response = response + k02 * c[t - 1];
                    response = response + k10 * a[t];
                    response = response + k11 * b[t];
                    response = response + k12 * c[t];
                    response = response + k20 * a[t + 1];
                    response = response + k21 * b[t + 1];
                    response = response + k22 * c[t + 1];
                    v[t] = value(response, fullWeight);
                }
                for (; s <= fastEnd; ++s) add(s, values[static_cast<std::size_t>(s)]);
            }
            for (; s <= width - 2; ++s) general(s);
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
