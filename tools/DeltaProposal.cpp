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
    if (kernel.Rows() != 3 || kernel.Cols() != 3) throw Error("Der Differenzenkern muss 3 x 3 sein!");
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

// The loop runs along X = the matrix's row index, a stride of a whole matrix row per
// pixel. For the inner pixels the three columns r-1, r, r+1 are read from a copy of a
// strip of columns, stored along the row index; the sums still grow in the order of the
// pixels, and every value is the same element the general path reads.
constexpr int kStrip = 32;

class DifferenceRun {
public:
    DifferenceRun(const Weights& weights, const DifferenceInput& input, PictureSurface& reduced,
                  const DifferenceSums& sums)
        : w_(weights), in_(input), reduced_(reduced), sums_(sums),
          side_(input.matrix.side),
          rowsNeeded_(std::min(input.width - 1, input.matrix.side)),  // s + k <= width - 1
          stripStride_(static_cast<std::size_t>(std::max(rowsNeeded_, 0)) + 1),
          strip_(stripStride_ * (kStrip + 2)),
          values_(static_cast<std::size_t>(std::max(input.width, 0)) + 1) {}

    DifferenceSums Run() {
        for (int r0 = 1; r0 <= in_.height - 2; r0 += kStrip) {
            const int r1 = std::min(r0 + kStrip - 1, in_.height - 2);
            CopyStrip(r0, r1);
            for (int r = r0; r <= r1; ++r) Row(r0, r);
        }
        return sums_;
    }

private:
    // M(i, j), 1-based; 0.0 beyond the matrix.
    double Element(int i, int j) const {
        return i <= side_ && j <= side_ ? in_.matrix.Row(static_cast<std::size_t>(i - 1))[j - 1] : 0.0;
    }

    // Columns r0-1 ... r1+1 that exist in the matrix; column c at slot c - (r0-1).
    void CopyStrip(int r0, int r1) {
        const int cLow = std::max(1, r0 - 1);
        const int cHigh = std::min(side_, r1 + 1);
        for (int i = 1; i <= rowsNeeded_; ++i) {
            const double* source = in_.matrix.Row(static_cast<std::size_t>(i - 1));
            for (int c = cLow; c <= cHigh; ++c)
                strip_[static_cast<std::size_t>(c - (r0 - 1)) * stripStride_ + static_cast<std::size_t>(i)] =
                    source[c - 1];
        }
    }

    void Add(int s, double v) {
        sums_.below = sums_.below + KeepOrZero(v, (v > 0) & (v < in_.bound));
        sums_.total = sums_.total + v;
        if (s < outWidth_) out_[s] = PictureSurface::GreyWord(255 - ClampToByte(v));
    }

    // A pixel near the border or the end of the matrix: only the neighbours inside.
    void General(int s, int r) {
        double weight = 0.0;
        double response = 0.0;
        for (int k = -1; k <= 1; ++k)
            for (int l = -1; l <= 1; ++l)
                if (s + k > 0 && r + l > 0 && s + k < in_.width && r + l < in_.height) {
                    weight = weight + AbsValue(w_.K[k + 1][l + 1]);
                    response = response + w_.K[k + 1][l + 1] * Element(s + k, r + l);
                }
        Add(s, PixelValue(response, weight));
    }

    // Pixels s ... fastEnd of row r, every neighbour inside: the values have no
    // dependence between pixels, so they are formed in a loop the compiler vectorises.
    void InnerValues(int r0, int r, int s, int fastEnd) {
        const double* const left = strip_.data() + static_cast<std::size_t>(r - 1 - (r0 - 1)) * stripStride_;
        const double* __restrict a = left;
        const double* __restrict b = left + stripStride_;
        const double* __restrict c = left + 2 * stripStride_;
        const double k00 = w_.K[0][0], k01 = w_.K[0][1], k02 = w_.K[0][2], k10 = w_.K[1][0], k11 = w_.K[1][1],
                     k12 = w_.K[1][2], k20 = w_.K[2][0], k21 = w_.K[2][1], k22 = w_.K[2][2];
        const double full = w_.full;
        double* __restrict v = values_.data();
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

    // One pixel row; the sums grow in pixel order.
    void Row(int r0, int r) {
        // Pixels the reduced picture has (it may be smaller after a reload of a changed
        // file); the others are computed and summed, not painted.
        out_ = r < reduced_.Height() ? reduced_.ScanLine(r) : nullptr;
        outWidth_ = out_ ? reduced_.Width() : 0;
        const int last = in_.width - 2;
        // Neighbours all present and inside the matrix: s = 2 ... fastEnd at this r.
        const bool rowInner = r >= 2 && r + 1 <= side_;
        const int fastEnd = rowInner ? std::min(last, side_ - 1) : 1;
        int s = 1;
        if (s <= last) General(s++, r);
        if (rowInner) {
            InnerValues(r0, r, s, fastEnd);
            for (; s <= fastEnd; ++s) Add(s, values_[static_cast<std::size_t>(s)]);
        }
        for (; s <= last; ++s) General(s, r);
    }

    const Weights& w_;
    const DifferenceInput& in_;
    PictureSurface& reduced_;
    DifferenceSums sums_;
    const int side_;
    const int rowsNeeded_;
    const std::size_t stripStride_;
    std::vector<double> strip_;
    std::vector<double> values_;
    std::uint32_t* out_ = nullptr;
    int outWidth_ = 0;
};

}  // namespace

void DifferencePicture(const Matrix& kernel, const DifferenceInput& input, PictureSurface& reduced,
                       DifferenceSums& sums) {
    sums = DifferenceRun(ReadKernel(kernel), input, reduced, sums).Run();
}

void ComputeDifferencePicture(Frontend& frontend, const Matrix& kernel) {
    const Weights weights = ReadKernel(kernel);
    const DifferenceInput input{WorkingMatrix(), Schranke, PictureWidth, PictureHeight};
    PictureSurface& reduced = frontend.Reduced();
    const DifferenceSums sums =
        DifferenceRun(weights, input, reduced, DifferenceSums{DifferenceSumBelow, DifferenceSumTotal}).Run();
    DifferenceSumBelow = sums.below;
    DifferenceSumTotal = sums.total;
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
