#include "codec/PlaneTransform.h"

#include <algorithm>

#include "blac/Filters.h"
#include "matrix/Error.h"
#include "tools/Bases.h"
#include "tools/Coding.h"

namespace tesora::codec {

namespace {

// The format's basis codes follow the core's order (callers convert so too).
static_assert(static_cast<int>(tesora::Basis::Haar) == static_cast<int>(Basis::Haar) &&
              static_cast<int>(tesora::Basis::Cdf53) == static_cast<int>(Basis::Cdf53) &&
              static_cast<int>(tesora::Basis::Cdf97) == static_cast<int>(Basis::Cdf97));
tesora::Basis CoreBasis(Basis basis) { return static_cast<tesora::Basis>(basis); }

tesora::Synthesis CoreSynthesis(Synthesis synthesis) {
    return synthesis == Synthesis::Exact ? tesora::Synthesis::Exact : tesora::Synthesis::Specified;
}

// Each band's bounding rectangle in the square, with the mask of its coded elements.
std::vector<SquareBand> BandsOf(const analysis::Layout& layout, const std::vector<std::uint8_t>& coded) {
    const std::size_t count = layout.bands.size();
    std::vector<int> loI(count, layout.side), hiI(count, -1), loJ(count, layout.side), hiJ(count, -1);
    for (int i = 0; i < layout.side; ++i)
        for (int j = 0; j < layout.side; ++j) {
            const std::uint8_t b = layout.band[layout.Index(i, j)];
            if (b == analysis::Layout::kNoBand) continue;
            loI[b] = std::min(loI[b], i), hiI[b] = std::max(hiI[b], i);
            loJ[b] = std::min(loJ[b], j), hiJ[b] = std::max(hiJ[b], j);
        }
    std::vector<SquareBand> bands;
    for (std::size_t b = 0; b < count; ++b) {
        SquareBand band{loI[b], loJ[b], {}};
        band.shape.kind = static_cast<int>(layout.bands[b].kind);
        if (hiI[b] < 0) {  // a band without elements (a picture too narrow for it)
            bands.push_back(band);
            continue;
        }
        band.shape.height = hiI[b] - loI[b] + 1;
        band.shape.width = hiJ[b] - loJ[b] + 1;
        for (int i = loI[b]; i <= hiI[b]; ++i)
            for (int j = loJ[b]; j <= hiJ[b]; ++j) {
                const std::size_t e = layout.Index(i, j);
                band.shape.coded.push_back(layout.band[e] == b && coded[e] ? 1 : 0);
            }
        bands.push_back(std::move(band));
    }
    return bands;
}

}  // namespace

PlaneTransform::PlaneTransform(const Header& header) : header_(header), filters_(FiltersOf(header.delta)) {
    if (header.padding != Padding::Zero)
        throw Error("Die Datei verlangt eine Auffüllung, die dieses Programm nicht kodiert.",
                    "The file asks for a padding this program does not code.");
    const int level = header.pictureLevel - header.steps;
    const bool norm = header.rule == RuleCode::Norm && header.steps > 0;
    std::vector<std::uint8_t> coded;
    if (header.basis == Basis::Blac) {
        layout_ = analysis::LayoutOf(header.pictureLevel, level, header.width, header.height);
        // Without a step every element is a pixel: the picture's own ones are what it needs.
        coded =
            header.steps > 0 ? analysis::CodedMask(layout_, filters_, CoreSynthesis(header.synthesis)) : layout_.own;
        if (norm) {
            const analysis::Norms norms =
                analysis::NormsOf(filters_, header.pictureLevel, level, CoreSynthesis(header.synthesis));
            weights_.assign(layout_.band.size(), 1.0);
            for (int i = 0; i < layout_.side; ++i)
                for (int j = 0; j < layout_.side; ++j) {
                    const std::size_t e = layout_.Index(i, j);
                    const std::uint8_t b = layout_.band[e];
                    if (b != analysis::Layout::kNoBand) weights_[e] = norms.Weight(layout_.bands[b].level, i, j);
                }
        }
    } else {
        layout_ = analysis::LiftingLayoutOf(header.pictureLevel, level, header.width, header.height);
        coded = layout_.own;
        if (norm) weights_ = analysis::LiftingWeights(CoreBasis(header.basis), layout_);
    }
    bands_ = BandsOf(layout_, coded);
    if (header.basis == Basis::Blac && header.synthesis == Synthesis::Exact)
        exact_ = std::make_shared<const analysis::ExactLevels>(filters_, level, header.pictureLevel);
}

PlaneTransform::~PlaneTransform() = default;

void PlaneTransform::Decompose(analysis::Coefficients& square, TransformWorkspace& workspace) const {
    if (header_.basis != Basis::Blac)
        analysis::LiftSquare(square, CoreBasis(header_.basis), layout_);
    else
        analysis::Decompose(square, filters_, layout_.level, workspace);
}

analysis::Coefficients PlaneTransform::Empty() const {
    analysis::Coefficients square;
    square.pictureLevel = layout_.pictureLevel;
    square.level = layout_.level;
    square.side = layout_.side;
    square.values.assign(static_cast<std::size_t>(square.side) * static_cast<std::size_t>(square.side), 0.0);
    return square;
}

void PlaneTransform::Reconstruct(analysis::Coefficients& square, TransformWorkspace& workspace) const {
    if (header_.basis != Basis::Blac) return analysis::LiftBack(square, CoreBasis(header_.basis), layout_);
    if (exact_) return analysis::ReconstructExact(square, *exact_, layout_.pictureLevel, workspace);
    analysis::Reconstruct(square, filters_, layout_.pictureLevel, workspace);
}

}  // namespace tesora::codec
