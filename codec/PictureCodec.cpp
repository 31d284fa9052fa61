#include "codec/PictureCodec.h"

#include <algorithm>
#include <cmath>

#include "blac/Filters.h"
#include "codec/BitPlaneCoder.h"
#include "codec/Colour.h"
#include "codec/SquareBands.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora::codec {

namespace {

using analysis::Coefficients;
using analysis::Norms;
using analysis::RedPicture;

// The weight of each band's element (i, j): its function's norm under the norm rule, 1
// otherwise. `k` of a band is the level its step went down to (the smoothing values: C).
struct Weighting {
    const Norms* norms = nullptr;
    std::vector<int> bandLevel;

    double Of(std::size_t band, int i, int j) const { return norms ? norms->Weight(bandLevel[band], i, j) : 1.0; }
};

Weighting WeightingOf(const Header& h, const Norms* norms) {
    Weighting w;
    w.norms = h.rule == RuleCode::Norm ? norms : nullptr;
    const int level = h.pictureLevel - h.steps;
    w.bandLevel.push_back(level);
    for (int k = level; k < h.pictureLevel; ++k) w.bandLevel.insert(w.bandLevel.end(), 3, k);
    return w;
}

std::vector<BandValues> QuantisedBands(const Coefficients& square, const std::vector<SquareBand>& bands,
                                       const Weighting& weighting, double step) {
    std::vector<BandValues> out;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        BandValues values{bands[b].shape, {}};
        values.q.reserve(static_cast<std::size_t>(values.shape.width) * static_cast<std::size_t>(values.shape.height));
        for (int r = 0; r < values.shape.height; ++r)
            for (int c = 0; c < values.shape.width; ++c) {
                const int i = bands[b].firstI + r, j = bands[b].firstJ + c;
                const double q = std::trunc(square.At(i, j) * weighting.Of(b, i, j) / step);
                if (!(std::fabs(q) <= kMaxMagnitude))
                    throw Error("Die Quantisierungsstufe ist für dieses Bild zu klein.");
                values.q.push_back(static_cast<std::int32_t>(q));
            }
        out.push_back(std::move(values));
    }
    return out;
}

void Unsupported(const Header& h) {
    if (h.basis != Basis::Blac || h.synthesis != Synthesis::Specified || h.padding != Padding::Zero)
        throw Error("Die Datei verlangt eine Basis, Synthese oder Auffüllung, die dieses Programm nicht rechnet.");
}

// The square's values (i = x, j = y) as a picture, row by row. The square is the
// picture's transpose, so it is walked in tiles that stay in the cache.
std::vector<double> PictureOrder(const Coefficients& square, int width, int height) {
    constexpr int kTile = 32;
    std::vector<double> plane(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int x0 = 0; x0 < width; x0 += kTile)
        for (int y0 = 0; y0 < height; y0 += kTile)
            for (int x = x0; x < std::min(width, x0 + kTile); ++x)
                for (int y = y0; y < std::min(height, y0 + kTile); ++y)
                    plane[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                        square.At(x, y);
    return plane;
}

}  // namespace

std::vector<std::uint8_t> EncodePicture(const std::vector<RedPicture>& planes, const EncodeRequest& request,
                                        TransformWorkspace* workspace) {
    if (planes.size() != 1 && planes.size() != 3) throw Error("Kodiert werden eine oder drei Ebenen.");
    const RedPicture& first = planes.front();
    for (const RedPicture& plane : planes)
        if (plane.width != first.width || plane.height != first.height)
            throw Error("Die Ebenen sind verschieden groß.");
    File file;
    Header& h = file.header;
    h.width = first.width;
    h.height = first.height;
    h.pictureLevel = PictureLevelFor(first.width);
    if (h.height > (1 << std::min(h.pictureLevel, 30)) + 1)
        throw Error("Das Bild ist höher als breit: kodiert werden höchstens " +
                    FormatD((1LL << std::min(h.pictureLevel, 30)) + 1) + " Zeilen.");
    h.steps = std::clamp(request.steps, 0, std::max(0, h.pictureLevel - 2));
    h.rule = request.rule;
    h.planes = static_cast<int>(planes.size());
    h.delta = request.delta;
    h.step = request.step > 0.0 ? request.step : kBudgetStep;
    if (request.bytes != 0 && request.bytes < kHeaderBytes + kCrcBytes)
        throw Error("Das Ziel ist kleiner als die kleinste Datei (" + FormatD(kHeaderBytes + kCrcBytes) + " Byte).");
    if (!(h.delta >= 0.0 && h.delta <= 1.0)) throw Error("Delta liegt außerhalb von 0 bis 1.");

    const Filters filters = FiltersOf(h.delta);
    const int level = h.pictureLevel - h.steps;
    const Norms norms = analysis::NormsOf(filters, h.pictureLevel, level);
    const Weighting weighting = WeightingOf(h, &norms);
    const std::vector<SquareBand> bands = SquareBandsOf(h.pictureLevel, level);
    TransformWorkspace own;
    TransformWorkspace& ws = workspace ? *workspace : own;
    std::vector<std::vector<BandValues>> values;
    for (const RedPicture& plane : planes)
        values.push_back(
            QuantisedBands(analysis::DecomposePicture(plane, filters, level, ws), bands, weighting, h.step));

    const std::size_t limit = request.bytes != 0 ? request.bytes - kHeaderBytes - kCrcBytes : SIZE_MAX;
    EncodedPlanes encoded = EncodePlanes(values, limit);
    h.decisions = encoded.decisions;
    file.data = std::move(encoded.data);
    return WriteFile(file);
}

DecodedPicture DecodePicture(const std::uint8_t* bytes, std::size_t size, TransformWorkspace* workspace) {
    File file = ReadFile(bytes, size);
    const Header& h = file.header;
    Unsupported(h);
    const Filters filters = FiltersOf(h.delta);
    const int level = h.pictureLevel - h.steps;
    const Norms norms = analysis::NormsOf(filters, h.pictureLevel, level);
    const Weighting weighting = WeightingOf(h, &norms);
    const std::vector<SquareBand> bands = SquareBandsOf(h.pictureLevel, level);
    std::vector<std::vector<BandShape>> shapes(static_cast<std::size_t>(h.planes));
    for (auto& plane : shapes)
        for (const SquareBand& band : bands) plane.push_back(band.shape);
    const auto values = DecodePlanes(shapes, file.data.data(), file.data.size(), h.decisions);

    DecodedPicture picture{h, {}};
    TransformWorkspace own;
    TransformWorkspace& ws = workspace ? *workspace : own;
    for (const auto& planeValues : values) {
        Coefficients square;
        square.pictureLevel = h.pictureLevel;
        square.level = level;
        square.side = (1 << h.pictureLevel) + 1;
        square.values.assign(static_cast<std::size_t>(square.side) * static_cast<std::size_t>(square.side), 0.0);
        for (std::size_t b = 0; b < bands.size(); ++b)
            for (int r = 0; r < bands[b].shape.height; ++r)
                for (int c = 0; c < bands[b].shape.width; ++c) {
                    const int i = bands[b].firstI + r, j = bands[b].firstJ + c;
                    const double index =
                        planeValues[b][static_cast<std::size_t>(r) * static_cast<std::size_t>(bands[b].shape.width) +
                                       static_cast<std::size_t>(c)];
                    if (index != 0.0)
                        square.values[static_cast<std::size_t>(i) * static_cast<std::size_t>(square.side) +
                                      static_cast<std::size_t>(j)] = index * h.step / weighting.Of(b, i, j);
                }
        analysis::Reconstruct(square, filters, h.pictureLevel, ws);
        picture.planes.push_back(PictureOrder(square, h.width, h.height));
    }
    return picture;
}

std::vector<std::uint8_t> ToRgbBytes(const DecodedPicture& picture) {
    const std::size_t count =
        static_cast<std::size_t>(picture.header.width) * static_cast<std::size_t>(picture.header.height);
    std::vector<std::uint8_t> rgb(3 * count);
    if (picture.planes.size() == 1) {
        for (std::size_t n = 0; n < count; ++n)
            rgb[3 * n] = rgb[3 * n + 1] = rgb[3 * n + 2] = static_cast<std::uint8_t>(ClampToByte(picture.planes[0][n]));
        return rgb;
    }
    std::vector<std::uint8_t> r(count), g(count), b(count);
    YCbCrToRgb(picture.planes[0].data(), picture.planes[1].data(), picture.planes[2].data(), count, r.data(), g.data(),
               b.data());
    for (std::size_t n = 0; n < count; ++n) {
        rgb[3 * n] = r[n];
        rgb[3 * n + 1] = g[n];
        rgb[3 * n + 2] = b[n];
    }
    return rgb;
}

}  // namespace tesora::codec
