#pragma once
// The road of one picture on values only: decomposition, threshold rules, quantisation,
// reconstruction and the measures, without the program's globals, frontends or painting.
// Every function touches nothing but its arguments, so several pictures may run at once
// in several threads (each with its own workspace). The command-line tool's figures and
// the Python module come from here; the window's handlers copy the program's state into
// these values or run the same formulas on the working matrix, and the tests hold both
// to the same bits.
//
// Layouts are those of the working matrix: a square of side 2^L + 1 (L the picture's
// level), element (i, j) 0-based at data[i * side + j], i the pixel column x, j the
// pixel row y. After decomposing to level C, the band of level k (C <= k < L) is the
// block of side 2^(k+1) + 1 minus the square of side 2^k + 1; the smoothing values are
// that square at k = C.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mra/BasisFunctions.h"
#include "mra/LevelChange.h"
#include "blac/Frontend.h"
#include "mra/Lifting.h"
#include "mra/Values.h"
#include "tools/Rule.h"

namespace tesora::analysis {

class ExactLevels;  // tools/Coding.h

// ---------------------------------------------------------------------------------------
// Pictures and coefficient squares

// The red bytes of a picture, row by row: red[y * width + x].
struct RedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> red;

    std::uint8_t At(int x, int y) const {
        return red[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// The level L of a picture of `width` pixels: the smallest L >= 1 with 2^L + 1 >= width.
int PictureLevelOf(int width);
// Rows the transform covers: min(height, 2^L + 1).
int TransformedRows(const RedPicture& picture);

// An owned square of coefficients of side 2^pictureLevel + 1 at `level` (the level of
// its smoothing block; pictureLevel when not decomposed).
struct Coefficients {
    int pictureLevel = 0;
    int level = 0;
    int side = 0;
    std::vector<double> values;  // side * side

    MatrixView View() { return MatrixView{values.data(), static_cast<std::size_t>(side), side}; }
    double At(int i, int j) const {
        return values[static_cast<std::size_t>(i) * static_cast<std::size_t>(side) + static_cast<std::size_t>(j)];
    }
};

// The red values as opening reads them: (i, j) = red(x = i, y = j) inside the picture,
// 0 elsewhere in the square. Throws Error for a picture wider than the working matrix.
Coefficients ReadPicture(const RedPicture& picture);
// The same for values that are not bytes (the codec's colour planes): width x height, row by row.
Coefficients ReadPlane(const std::vector<double>& values, int width, int height);

// Decomposition from the square's level down to `level` (2 <= level <= its level), and
// reconstruction up to `level`, in place, with the kernels the windows use. With a
// `painter`, every level step paints its lines into painter->Bild() as the track bar does;
// without one nothing is painted. Throws Error for a level outside the range.
void Decompose(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
               Frontend* painter = nullptr);
void Reconstruct(Coefficients& square, const Filters& filters, int level, TransformWorkspace& workspace,
                 Frontend* painter = nullptr);
// What fills the square beyond the picture before BLaC decomposes it: zeros, as the
// windows fill the working matrix, or the picture mirrored at its last column and row.
enum class Padding : std::uint8_t { Zero, Mirror };

// Reads the picture, pads it and decomposes it to `level` (PictureLevelOf(width) - steps
// for a number of steps below its own).
Coefficients DecomposePicture(const RedPicture& picture, const Filters& filters, int level,
                              TransformWorkspace& workspace, Padding padding = Padding::Zero);

// ---------------------------------------------------------------------------------------
// Bands and the picture's own coefficients

enum class BandKind : std::uint8_t { Smoothing, Row, Column, Both };
// "smoothing", "row", "column", "both". Row: details along j (the rows of the matrix,
// the picture's vertical lines), smoothing along i; Column: details along i; Both.
const char* BandKindName(BandKind kind);

struct Band {
    int level = 0;  // the level the step went down to
    BandKind kind = BandKind::Smoothing;
};

// Where every element of a square decomposed to `level` belongs. Bands are ordered:
// the smoothing values first, then for each step from the coarsest, row, column, both.
// Elements outside every band (none for a decomposed square) have band kNoBand.
struct Layout {
    static constexpr std::uint8_t kNoBand = 255;
    int pictureLevel = 0;
    int level = 0;
    int side = 0;
    int width = 0;
    int height = 0;
    std::vector<Band> bands;
    std::vector<std::uint8_t> band;  // side * side, index into bands
    std::vector<std::uint8_t> own;   // side * side: 1 when the element's grid point lies in the picture
    // The own indices of each step are two runs: smoothing indices 0 ... smooth-1 and
    // detail indices n+1 ... n+detail of level k (n = 2^k); per step from `level`, in x
    // (i) and in y (j).
    struct OwnRuns {
        int smoothX = 0, detailX = 0, smoothY = 0, detailY = 0;
    };
    std::vector<OwnRuns> ownRuns;

    std::size_t Index(int i, int j) const {
        return static_cast<std::size_t>(i) * static_cast<std::size_t>(side) + static_cast<std::size_t>(j);
    }
};

// A coefficient made by the step to level k stands at one point of the finest grid:
// smoothing index c at c * 2^(L-k), detail m at (2m + 1) * 2^(L-k-1), in each direction;
// it is the picture's own when that point lies inside width x height.
Layout LayoutOf(int pictureLevel, int level, int width, int height);

// The picture's own detail coefficients of a square laid out so, and the zeros among them.
struct OwnCount {
    long long zeros = 0;
    long long details = 0;
};
OwnCount CountOwnDetails(const MatrixView& square, const Layout& layout);
// The share of zeros among them in percent, as every face reports it; NaN without details.
double OwnZeroShare(long long zeros, long long details);

// ---------------------------------------------------------------------------------------
// Threshold rules

// The L2 norms of the one-dimensional functions of a square decomposed to `level`:
// norms[k - level][c] for index c = 0 ... 2^(k+1) of the step to level k. A function is
// its synthesis to the picture's level, f(x) = sum_i v_i phi(x - i) on the finest grid
// (phi the scaling function of Delta, unit spacing), and its norm is sqrt(v^T G v) with
// G the Gram matrix of the unit translates: 1 - Delta/3 on the diagonal, Delta/6 beside
// it. The weight of element (i, j) of band k is norms[k][i] * norms[k][j].
struct Norms {
    int level = 0;
    std::vector<std::vector<double>> norms;
    double Weight(int k, int i, int j) const {
        const std::vector<double>& n = norms[static_cast<std::size_t>(k - level)];
        return n[static_cast<std::size_t>(i)] * n[static_cast<std::size_t>(j)];
    }
};
// The functions are those of `synthesis` (mra/BasisFunctions.h).
Norms NormsOf(const Filters& filters, int pictureLevel, int level, Synthesis synthesis = Synthesis::Specified);

// The score a rule compares with its Epsilon: |c| (flat, levels) or |c| * w (norm).
// `norms` is needed for the norm rule only.
struct Scoring {
    const Layout* layout = nullptr;
    const Norms* norms = nullptr;  // norm rule only
    RuleKind kind = RuleKind::Flat;
};

// What a rule did: every element it made zero (the whole square, padding included, as
// "Reduce" counts), and the zeros among the picture's own detail coefficients.
struct RuleResult {
    int zeroCount = 0;
    long long ownZeros = 0;
    long long ownDetails = 0;
    double epsilon = 0.0;  // the Epsilon in force (the one found for a target)
};

// Zeroes every detail element below its threshold (to +0.0); the smoothing block is
// exempt. For flat this is exactly "Reduce" (ZeroSmallDetails) on the same square.
// With `markers`, every zeroed element's pixel (i, j) turns red there, as "Reduce" marks.
RuleResult ApplyRule(const MatrixView& square, const Layout& layout, const Rule& rule, const Norms* norms,
                     PictureSurface* markers = nullptr);
RuleResult ApplyRule(Coefficients& square, const Layout& layout, const Rule& rule, const Norms* norms);

// The Epsilon that makes the smallest set of coefficients zero that brings the share of
// zeros among the picture's own details to at least `percent` (0 < percent <= 100)
// under the rule (flat or norm): found by ordering the scores, with ties taken together,
// so that the Epsilon given back to ApplyRule reproduces the same set. 0 when there is no
// own detail coefficient.
double EpsilonForZeros(const Coefficients& square, const Layout& layout, RuleKind kind, const Norms* norms,
                       double percent);
// The same over scores gathered elsewhere: every own detail counts in `details`; a NaN
// score is below no Epsilon and is left out of `bits` (the scores' bit patterns).
struct OwnScores {
    std::vector<std::uint64_t> bits;
    long long details = 0;
    void Add(double score) {
        ++details;
        if (score == score) bits.push_back(std::bit_cast<std::uint64_t>(score));
    }
};
double EpsilonForScores(OwnScores scores, double percent);

// ---------------------------------------------------------------------------------------
// Quantisation and rate

// The one quantiser of the program (the value road's and the compressed file's): the
// index of c weighted by w is trunc(c * w / Q), and `units` of Q (q + sign(q) / 2 for a
// whole index, less for a cut-off one) come back as units * Q / w.
inline double QuantIndex(double c, double weight, double step) { return std::trunc(c * weight / step); }
inline double FromQuantUnits(double units, double weight, double step) { return units * step / weight; }
inline double WholeIndexUnits(double q) { return q + (q > 0 ? 0.5 : (q < 0 ? -0.5 : 0.0)); }

// q = trunc(c / Q) for every element of every band (for norm of c * w, the smoothing
// values with their own weight too), and the coefficient replaced by (q + sign(q) / 2) * Q
// (divided by w again for norm). The q values of the coded coefficients (`coded`, or the
// picture's own ones without it) are gathered per band for the entropy.
struct Quantised {
    std::vector<std::vector<double>> values;  // per band of the layout: the q values (whole numbers)
};
Quantised Quantise(const MatrixView& square, const Layout& layout, double step, const Norms* norms,
                   const std::vector<std::uint8_t>* coded = nullptr);

// Zero-order entropy in bits of a list of values: -sum p log2 p over the distinct values.
double EntropyBits(std::vector<double> values);

// ---------------------------------------------------------------------------------------
// Measures

struct BandFigures {
    Band band;
    long long ownCount = 0;
    long long zeros = 0;  // among the own coefficients
    double energy = 0.0;  // sum of squares of the own coefficients
    double maxAbs = 0.0;
    std::optional<long long> codedCount;  // when quantised: the coded coefficients of the band
    std::optional<double> entropyBits;    // coded count x entropy of their q values, when quantised
};
// Per band of the layout, over the picture's own coefficients of the square as it is;
// with `quantised`, also each band's entropy bits.
std::vector<BandFigures> MeasureBands(const Coefficients& square, const Layout& layout,
                                      const Quantised* quantised = nullptr);

// A square reconstructed to the picture's level against the picture.
struct Quality {
    double meanError = 0.0;   // "Fehler?": mean |red - byte| over width x height
    double psnr = 0.0;        // bytes against the file over the transformed rows; +inf when equal
    double psnrExact = 0.0;   // the doubles against the file, same rows; +inf when equal
    double energyKept = 0.0;  // %, bytes; NaN for an all-black picture
};
// Bytes as the window paints them: ClampToByte of each value; rows below the
// transformed ones keep the file's values.
Quality Measure(const MatrixView& reconstructed, const RedPicture& picture);
// The picture's red bytes column by column (columns[x * height + y]), the order of the
// matrix: a measure that walks both in step. Measure with them saves transposing.
std::vector<std::uint8_t> ByColumns(const RedPicture& picture);
Quality Measure(const MatrixView& reconstructed, const RedPicture& picture, const std::vector<std::uint8_t>& columns);
// The reconstruction as the window's bytes, width x height, row by row.
std::vector<std::uint8_t> ToBytes(const MatrixView& reconstructed, const RedPicture& picture);

// "Fehler?" between two painted pictures: the mean |red(a) - red(b)| over the pixels
// inside areaWidth x areaHeight and both pictures (never a read outside either); 0
// without such a pixel. The window's markers count as what they are, red bytes.
double MeanRedDifference(const PictureSurface& a, const PictureSurface& b, int areaWidth, int areaHeight);

// entropy_bpp: sum of the bands' entropy bits over width x height.
double EntropyPerPixel(const std::vector<BandFigures>& bands, int width, int height);

// ---------------------------------------------------------------------------------------
// One picture x Delta, decomposed once, serving many rows

struct RowRequest {
    Rule rule;
    std::optional<double> zerosPercent;  // a target instead of rule.epsilon (flat, norm)
    std::optional<double> quantiseStep;
    // A rate in bits per pixel instead of a step: the step that brings entropy_bpp to at
    // most this (FindStepForRate on the coefficients as the rule left them).
    std::optional<double> bppTarget;
    bool withBands = false;
    bool withBytes = false;  // keep the reconstruction's bytes in the result
};

struct RowResult {
    RuleResult rule;
    Quality quality;
    std::vector<BandFigures> bands;  // when asked for
    std::optional<double> entropyBpp;
    std::optional<long long> codedCount;  // when quantised
    std::optional<double> quantiseStep;   // the step quantised with (the one found for a rate)
    std::vector<std::uint8_t> bytes;      // withBytes: width x height, row by row
};

// Per band, the values Quantise divides by its step, of the coefficients it counts (`coded`,
// or the picture's own ones without it): c, or c * w with the norm rule's weights as
// Quantise applies them, the smoothing values' included.
std::vector<std::vector<double>> BandRateValues(const Coefficients& square, const Layout& layout, const Norms* norms,
                                                const std::vector<std::uint8_t>* coded = nullptr);

// The basis a picture analysis decomposes with; Delta and the padding belong to BLaC.
struct AnalysisOptions {
    Basis basis = Basis::Blac;
    Padding padding = Padding::Zero;
    // BLaC with zero padding only: the one decomposition paints into painter->Bild() as
    // the window's track bar does (used while constructing, not kept).
    Frontend* painter = nullptr;
};

// What every analysis of one picture holds alike: the picture, its bytes by columns for
// Measure, the decomposition, and a scratch square that each row copies into and
// reconstructs, so that rows reuse its memory.
struct AnalysedPicture {
    // The picture must outlive this; `byColumns`, when missing or not of the picture's size,
    // is made afresh.
    AnalysedPicture(const RedPicture& red, std::shared_ptr<const std::vector<std::uint8_t>> byColumns);

    // Nothing removed: the decomposition reconstructed by `reconstruct` (which works on
    // scratch) and measured, once.
    template <class Reconstruct>
    const Quality& Floor(Reconstruct reconstruct) {
        if (!floor) {
            scratch = decomposed;
            reconstruct();
            floor = Measure(scratch.View(), picture, *columns);
        }
        return *floor;
    }
    // The measures of the reconstructed scratch square, and its bytes when asked.
    void MeasureScratch(RowResult& result, bool withBytes);

    const RedPicture& picture;
    std::shared_ptr<const std::vector<std::uint8_t>> columns;
    Coefficients decomposed;
    Coefficients scratch;
    std::optional<Quality> floor;
};

class LiftingAnalysis;

class PictureAnalysis {
public:
    // Decomposes once; the floor (nothing removed) is measured on first use. `layout`,
    // when given, is LayoutOf the same picture and level (it is shared between Deltas).
    // The picture must outlive the analysis.
    // `columns`, when given, is ByColumns of the picture (shared between Deltas too).
    // `synthesis` reconstructs every row and the floor, and gives the norms and the coded set.
    // A lifting basis in `options` decomposes with it instead (Delta and `synthesis` unused,
    // `layout` ignored): rows and measures are defined the same way on its own band layout.
    PictureAnalysis(const RedPicture& picture, double delta, int level, std::shared_ptr<const Layout> layout = nullptr,
                    std::shared_ptr<const std::vector<std::uint8_t>> columns = nullptr,
                    Synthesis synthesis = Synthesis::Specified, AnalysisOptions options = {});
    ~PictureAnalysis();

    const Layout& LayoutInUse() const { return *layout_; }
    std::shared_ptr<const Layout> SharedLayout() const { return layout_; }
    std::shared_ptr<const std::vector<std::uint8_t>> SharedColumns() const { return state_.columns; }
    const Coefficients& Decomposed() const;
    const AnalysisOptions& Options() const { return options_; }
    const RedPicture& Picture() const { return state_.picture; }
    const Filters& FiltersInUse() const { return filters_; }
    Synthesis SynthesisInUse() const { return synthesis_; }
    const Norms& NormsInUse();                      // computed on first use
    const std::vector<std::uint8_t>& CodedInUse();  // CodedMask, computed on first use
    const Quality& Floor();
    RowResult Row(const RowRequest& request);

private:
    AnalysedPicture state_;
    Filters filters_;
    TransformWorkspace workspace_;
    std::shared_ptr<const Layout> layout_;
    std::optional<Norms> norms_;
    Synthesis synthesis_ = Synthesis::Specified;
    std::shared_ptr<const ExactLevels> exact_;  // exact synthesis only
    std::optional<std::vector<std::uint8_t>> coded_;
    AnalysisOptions options_;
    std::shared_ptr<LiftingAnalysis> lifting_;

    void ReconstructScratch();
};

}  // namespace tesora::analysis
