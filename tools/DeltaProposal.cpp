// "Calc Delta": for every inner pixel (s, r) of the picture, with the 3 x 3 kernel K
// over the neighbours inside the picture,
//   v = 5 * |sum K(k,l) M(s+k, r+l)| / |sum |K(k,l)||      (no division for weight 0)
//   grey 255 - v,  Below += v if 0 < v < Schranke,  Total += v
// and the proposal Delta = Below / Total.
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

// a when keep, else +0.0 (which leaves a sum as it is), by masking the bits.
inline double KeepOrZero(double a, bool keep) {
    const std::uint64_t mask = -static_cast<std::uint64_t>(keep);
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) & mask);
}

// The 3 x 3 weights and the sum of their magnitudes, in the order the general path
// adds them, so that both agree bit for bit.
struct Weights {
    double K[3][3];
    double full = 0.0;
};

Weights ReadKernel(const Matrix& kernel) {
    if (kernel.Rows() != 3 || kernel.Cols() != 3)
        throw Error("Der Differenzenkern muss 3 x 3 sein!", "The difference kernel must be 3 x 3.");
    Weights w{};
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) {
            w.K[k][l] = kernel.Get(k + 1, l + 1);
            w.full = w.full + AbsValue(w.K[k][l]);
        }
    return w;
}

// Random pictures would mispredict sign and bound tests half the time, so the value and
// the sums are written without branches. std::fabs differs from AbsValue only in the
// sign of a zero or a NaN, which no sum, bound or grey can see.
inline double PixelValue(double response, double weight) {
    double v = std::fabs(response);
    if (weight != 0) v = v / AbsValue(weight);
    return 5.0 * v;
}

// M(i, j), 1-based; 0.0 beyond the matrix.
inline double Element(const MatrixView& M, int i, int j) {
    return i <= M.side && j <= M.side ? M.Row(static_cast<std::size_t>(i - 1))[j - 1] : 0.0;
}

// A pixel near the border or the end of the matrix: only the neighbours inside.
double GeneralValue(const Weights& w, const DifferenceInput& in, int s, int r) {
    double weight = 0.0;
    double response = 0.0;
    for (int k = -1; k <= 1; ++k)
        for (int l = -1; l <= 1; ++l)
            if (s + k > 0 && r + l > 0 && s + k < in.width && r + l < in.height) {
                weight = weight + AbsValue(w.K[k + 1][l + 1]);
                response = response + w.K[k + 1][l + 1] * Element(in.matrix, s + k, r + l);
            }
    return PixelValue(response, weight);
}

// The loop runs along X = the matrix's row index, a stride of a whole matrix row per
// pixel. For the inner pixels the three columns r-1, r, r+1 are read from a copy of a
// strip of columns, stored along the row index; the sums still grow in the order of the
// pixels, and every value is the same element the general path reads.
constexpr int kStrip = 32;

// Columns r0-1 ... r1+1 that exist in the matrix, rows 1 ... rowsNeeded; column c at
// slot c - (r0-1).
void CopyStrip(const MatrixView& M, int rowsNeeded, int r0, int r1, double* strip, std::size_t stripStride) {
    const int cLow = std::max(1, r0 - 1);
    const int cHigh = std::min(M.side, r1 + 1);
    for (int i = 1; i <= rowsNeeded; ++i) {
        const double* source = M.Row(static_cast<std::size_t>(i - 1));
        for (int c = cLow; c <= cHigh; ++c)
            strip[static_cast<std::size_t>(c - (r0 - 1)) * stripStride + static_cast<std::size_t>(i)] = source[c - 1];
    }
}

// Values of pixels s ... fastEnd of a row whose neighbours all lie inside, from the
// strip's columns r-1, r, r+1 (`left` and the two after it). No value depends on
// another, so the loop vectorises.
void InnerValues(const Weights& w, const double* left, std::size_t stripStride, int s, int fastEnd,
                 double* __restrict v) {
    const double* __restrict a = left;
    const double* __restrict b = left + stripStride;
    const double* __restrict c = left + 2 * stripStride;
    const double k00 = w.K[0][0], k01 = w.K[0][1], k02 = w.K[0][2], k10 = w.K[1][0], k11 = w.K[1][1], k12 = w.K[1][2],
                 k20 = w.K[2][0], k21 = w.K[2][1], k22 = w.K[2][2];
    const double full = w.full;
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
        v[t] = PixelValue(response, full);
    }
}

DifferenceSums RunDifference(const Weights& w, const DifferenceInput& in, PictureSurface& reduced,
                             DifferenceSums sums) {
    const int side = in.matrix.side;
    const int rowsNeeded = std::min(in.width - 1, side);  // s + k <= width - 1
    const std::size_t stripStride = static_cast<std::size_t>(std::max(rowsNeeded, 0)) + 1;
    std::vector<double> strip(stripStride * (kStrip + 2));
    std::vector<double> values(static_cast<std::size_t>(std::max(in.width, 0)) + 1);
    const double bound = in.bound;
    double below = sums.below;
    double total = sums.total;

    for (int r0 = 1; r0 <= in.height - 2; r0 += kStrip) {
        const int r1 = std::min(r0 + kStrip - 1, in.height - 2);
        CopyStrip(in.matrix, rowsNeeded, r0, r1, strip.data(), stripStride);
        for (int r = r0; r <= r1; ++r) {
            // Pixels the reduced picture has (it may be smaller after a reload of a
            // changed file); the others are computed and summed, not painted.
            std::uint32_t* const out = r < reduced.Height() ? reduced.ScanLine(r) : nullptr;
            const int outWidth = out ? reduced.Width() : 0;
            const auto add = [&](int s, double v) {
                below = below + KeepOrZero(v, (v > 0) & (v < bound));
                total = total + v;
                if (s < outWidth) out[s] = PictureSurface::GreyWord(255 - ClampToByte(v));
            };
            // Neighbours all present and inside the matrix: s = 2 ... fastEnd at this r.
            const int last = in.width - 2;
            const bool rowInner = r >= 2 && r + 1 <= side;
            const int fastEnd = rowInner ? std::min(last, side - 1) : 1;
            int s = 1;
            if (s <= last) {
                add(s, GeneralValue(w, in, s, r));
                ++s;
            }
            if (rowInner) {
                const double* left = strip.data() + static_cast<std::size_t>(r - 1 - (r0 - 1)) * stripStride;
                InnerValues(w, left, stripStride, s, fastEnd, values.data());
                for (; s <= fastEnd; ++s) add(s, values[static_cast<std::size_t>(s)]);
            }
            for (; s <= last; ++s) add(s, GeneralValue(w, in, s, r));
        }
    }
    return DifferenceSums{below, total};
}

}  // namespace

void DifferencePicture(const Matrix& kernel, const DifferenceInput& input, PictureSurface& reduced,
                       DifferenceSums& sums) {
    sums = RunDifference(ReadKernel(kernel), input, reduced, sums);
}

void ComputeDifferencePicture(Frontend& frontend, const Matrix& kernel) {
    const Weights weights = ReadKernel(kernel);
    const DifferenceInput input{WorkingMatrix(), Schranke, PictureWidth, PictureHeight};
    PictureSurface& reduced = frontend.Reduced();
    const DifferenceSums sums =
        RunDifference(weights, input, reduced, DifferenceSums{DifferenceSumBelow, DifferenceSumTotal});
    DifferenceSumBelow = sums.below;
    DifferenceSumTotal = sums.total;
    reduced.Refresh();
}

double ProposedDelta(const DifferenceSums& sums, double current) {
    if (sums.total == 0) return current;
    const double proposal = sums.below / sums.total;
    // A NaN (infinite differences) would poison every later transform; keep Delta.
    return std::isnan(proposal) ? current : proposal;
}

DeltaProposal ProposalOf(const DifferenceSums& sums, double current, int position) {
    DeltaProposal p;
    p.proposed = ProposedDelta(sums, current);
    // Built as before: " " + text makes GCC 12 warn falsely about the copy.
    std::string label = " ";
    label += FormatG(p.proposed);
    p.label = std::move(label);
    p.position = PositionFromDelta(p.proposed);
    p.delta = p.position != position ? DeltaFromPosition(p.position) : p.proposed;
    return p;
}

void ProposeDelta(Frontend& frontend) {
    const DeltaProposal p = ProposalOf({DifferenceSumBelow, DifferenceSumTotal}, Delta, PositionFromDelta(Delta));
    Delta = p.proposed;
    frontend.SetLabel(Label::DeltaVorgeschlagen, p.label);
    // The scroll bar's handler sets Delta to p.delta when the position changes.
    frontend.SetDeltaPosition(p.position);
}

void SchrankeChanged(const std::string& text) { Schranke = ParseNumber(text); }

}  // namespace tesora
