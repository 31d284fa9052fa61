#pragma once
// The value road's pieces for the lifting bases and for BLaC's mirrored padding. A
// lifting basis keeps its coefficients in the same square as BLaC (so reading, the
// measures and the reconstruction's bytes are shared) but in its own band layout, every
// coefficient inside the picture's width x transformed rows. The rules, the quantiser and
// the band figures here therefore walk the elements' band labels, not BLaC's blocks, with
// the same definitions: a detail's score |c| or |c| * w, q = trunc(c * w / Q), the
// reconstruction (q + sign(q) / 2) * Q / w.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mra/Lifting.h"
#include "tools/Analysis.h"

namespace tesora::analysis {

const char* PaddingName(Padding padding);  // "zero", "mirror"
std::optional<Padding> ParsePadding(std::string_view name);

// Fills the square beyond width x rows by whole-sample mirroring: column x >= width takes
// column m(x), m reflecting at 0 and width - 1 as often as the square needs; then the
// rows likewise, so every element copies one of the picture's.
void MirrorPadding(Coefficients& square, int width, int rows);

// The layout of a lifting basis taken from the picture's level down to `level`
// (pictureLevel - level steps) on width x rows, rows = min(height, side): the smoothing
// band (at `level`), then for every step from the coarsest its row, column and both
// bands, at the level the step went down to. Every element of width x rows is the
// picture's own; the rest of the square is in no band. `ownRuns` stays empty.
Layout LiftingLayoutOf(int pictureLevel, int level, int width, int height);

// Per element of the square, the product of the norms of its column's and its row's
// one-dimensional synthesis functions (0 outside every band).
std::vector<double> LiftingWeights(Basis basis, const Layout& layout);

// The picture read into the square (zero beyond it) and decomposed; and back again.
Coefficients LiftPicture(const RedPicture& picture, Basis basis, const Layout& layout);
// The same for a square ReadPicture or ReadPlane has filled, in place.
void LiftSquare(Coefficients& square, Basis basis, const Layout& layout);
void LiftBack(Coefficients& square, Basis basis, const Layout& layout);

// dst = src with the rule applied to every detail element (flat, norm with `weights`,
// levels), counting what it zeroed and the zeros among the own details afterwards.
RuleResult CopyWithRuleByElement(const Coefficients& from, Coefficients& to, const Layout& layout, const Rule& rule,
                                 const std::vector<double>* weights);
// The rule's scores of the own details, for a zeros target (EpsilonForScores).
OwnScores OwnDetailScores(const Coefficients& square, const Layout& layout, const std::vector<double>* weights);
// Quantises every band element in place (weighted with `weights` when given), gathering
// each band's q values of the own coefficients.
Quantised QuantiseByElement(const MatrixView& square, const Layout& layout, double step,
                            const std::vector<double>* weights);
// Per band the values Q divides (c, or c * w), of the own coefficients, as BandRateValues.
std::vector<std::vector<double>> RateValuesByElement(const Coefficients& square, const Layout& layout,
                                                     const std::vector<double>* weights);
std::vector<BandFigures> MeasureBandsByElement(const Coefficients& square, const Layout& layout);
// Each band's coded count and entropy bits from its quantised values (every own coefficient
// of a lifting basis is coded); gives the coefficients coded in all.
long long CountCodedByElement(const Quantised& quantised, std::vector<BandFigures>& bands);

}  // namespace tesora::analysis
