#include "codec/PictureCodec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <mutex>

#include "codec/BitPlaneCoder.h"
#include "codec/Colour.h"
#include "codec/PlaneTransform.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

namespace tesora::codec {

namespace {

using analysis::Coefficients;
using analysis::RedPicture;

// Building a transform (layout, norms, coded set) costs more than coding a small file, so
// files of one size and setting share the one built last (an encoder's check decodes
// right after encoding; a benchmark or a batch codes many alike).
std::shared_ptr<const PlaneTransform> TransformFor(const Header& h) {
    static std::mutex mutex;
    static std::shared_ptr<const PlaneTransform> last;
    static Header key;
    const auto same = [&h] {
        return key.width == h.width && key.height == h.height && key.steps == h.steps && key.basis == h.basis &&
               (key.rule == RuleCode::Norm) == (h.rule == RuleCode::Norm) && key.synthesis == h.synthesis &&
               key.padding == h.padding &&
               std::bit_cast<std::uint64_t>(key.delta) == std::bit_cast<std::uint64_t>(h.delta);
    };
    const std::lock_guard lock(mutex);
    if (!last || !same()) {
        last = std::make_shared<const PlaneTransform>(h);
        key = h;
    }
    return last;
}

// The quantiser's indices of each band's coded elements (the others stay 0, never written).
std::vector<BandValues> QuantisedBands(const Coefficients& square, const PlaneTransform& transform, double step) {
    std::vector<BandValues> out;
    for (const SquareBand& band : transform.Bands()) {
        BandValues values{band.shape, {}};
        values.q.assign(band.shape.coded.size(), 0);
        std::size_t n = 0;
        for (int r = 0; r < band.shape.height; ++r)
            for (int c = 0; c < band.shape.width; ++c, ++n) {
                if (!band.shape.coded[n]) continue;
                const std::size_t e =
                    static_cast<std::size_t>(band.firstI + r) * static_cast<std::size_t>(square.side) +
                    static_cast<std::size_t>(band.firstJ + c);
                const double q = analysis::QuantIndex(square.values[e], transform.Weight(e), step);
                if (!(std::fabs(q) <= kMaxMagnitude))
                    throw Error("Die Quantisierungsstufe ist für dieses Bild zu klein.",
                                "The quantiser step is too small for this picture.");
                values.q[n] = static_cast<std::int32_t>(q);
            }
        out.push_back(std::move(values));
    }
    return out;
}

// The square's values (i = x, j = y) as a picture, row by row, in the square's own
// memory: a decoded picture needs no second buffer of its size. The square is the
// picture's transpose, so it is first transposed in place (in tiles that stay in the
// cache), then its rows are moved to the picture's width; a row never moves backwards
// over one not yet moved.
std::vector<double> PictureOrder(analysis::Coefficients& square, int width, int height) {
    constexpr int kTile = 32;
    const auto side = static_cast<std::size_t>(square.side);
    double* v = square.values.data();
    for (std::size_t i0 = 0; i0 < side; i0 += kTile)
        for (std::size_t j0 = i0; j0 < side; j0 += kTile)
            for (std::size_t i = i0; i < std::min(side, i0 + kTile); ++i)
                for (std::size_t j = std::max(j0, i + 1); j < std::min(side, j0 + kTile); ++j)
                    std::swap(v[i * side + j], v[j * side + i]);
    const auto w = static_cast<std::size_t>(width);
    for (std::size_t y = 1; y < static_cast<std::size_t>(height); ++y) std::copy_n(v + y * side, w, v + y * w);
    std::vector<double> plane = std::move(square.values);
    plane.resize(w * static_cast<std::size_t>(height));
    return plane;
}

// The squares the transform starts from: a grey picture's red values, or a colour
// picture's Y, Cb and Cr from its R, G and B planes, unrounded (rounding them to bytes
// first would add an error to every channel that no rate takes back).
std::vector<Coefficients> SquaresOf(const std::vector<RedPicture>& planes) {
    std::vector<Coefficients> squares;  // filled by moves: a list in braces would copy each square
    if (planes.size() == 1) {
        squares.push_back(analysis::ReadPicture(planes[0]));
        return squares;
    }
    const std::vector<std::uint8_t>&r = planes[0].red, &g = planes[1].red, &b = planes[2].red;
    std::vector<double> plane(r.size());
    for (std::size_t c = 0; c < 3; ++c) {
        for (std::size_t n = 0; n < r.size(); ++n) plane[n] = YCbCrOf(r[n], g[n], b[n])[c];
        squares.push_back(analysis::ReadPlane(plane, planes[0].width, planes[0].height));
    }
    return squares;
}

}  // namespace

File EncodeFile(const std::vector<RedPicture>& planes, const EncodeRequest& request, TransformWorkspace* workspace) {
    if (planes.size() != 1 && planes.size() != 3)
        throw Error("Kodiert werden eine oder drei Ebenen.", "One or three planes are coded.");
    const RedPicture& first = planes.front();
    for (const RedPicture& plane : planes)
        if (plane.width != first.width || plane.height != first.height ||
            plane.red.size() != static_cast<std::size_t>(first.width) * static_cast<std::size_t>(first.height))
            throw Error("Die Ebenen sind verschieden groß.", "The planes differ in size.");
    File file;
    Header& h = file.header;
    h.width = first.width;
    h.height = first.height;
    h.pictureLevel = analysis::PictureLevelOf(first.width);
    if (h.height > (1 << std::min(h.pictureLevel, 30)) + 1)
        throw Error("Das Bild ist höher als breit: kodiert werden höchstens " +
                        FormatD((1LL << std::min(h.pictureLevel, 30)) + 1) + " Zeilen.",
                    "The picture is taller than wide: at most " + FormatD((1LL << std::min(h.pictureLevel, 30)) + 1) +
                        " rows are coded.");
    h.steps = std::clamp(request.steps, 0, std::max(0, h.pictureLevel - 2));
    h.rule = request.rule;
    h.basis = request.basis;
    h.synthesis = request.synthesis;
    h.planes = static_cast<int>(planes.size());
    h.delta = request.delta;
    h.step = request.step > 0.0 ? request.step : kBudgetStep;
    if (request.bytes != 0 && request.bytes < kHeaderBytes + kCrcBytes)
        throw Error("Das Ziel ist kleiner als die kleinste Datei (" + FormatD(kHeaderBytes + kCrcBytes) + " Byte).",
                    "The target is smaller than the smallest file (" + FormatD(kHeaderBytes + kCrcBytes) + " bytes).");
    if (!(h.delta >= 0.0 && h.delta <= 1.0))
        throw Error("Delta liegt außerhalb von 0 bis 1.", "Delta lies outside 0 ... 1.");

    if (h.basis != Basis::Blac && (h.delta != 0.0 || h.synthesis != Synthesis::Specified))
        throw Error("Delta und Synthese gehören nur zur BLaC-Basis.",
                    "Delta and synthesis belong to the BLaC basis only.");
    const std::shared_ptr<const PlaneTransform> shared = TransformFor(h);
    const PlaneTransform& transform = *shared;
    TransformWorkspace own;
    TransformWorkspace& ws = workspace ? *workspace : own;
    std::vector<std::vector<BandValues>> values;
    for (Coefficients& square : SquaresOf(planes)) {
        transform.Decompose(square, ws);
        values.push_back(QuantisedBands(square, transform, h.step));
    }

    const std::size_t limit = request.bytes != 0 ? request.bytes - kHeaderBytes - kCrcBytes : SIZE_MAX;
    EncodedPlanes encoded = EncodePlanes(values, limit);
    h.decisions = encoded.decisions;
    file.data = std::move(encoded.data);
    return file;
}

DecodedPicture DecodeFile(const File& file, TransformWorkspace* workspace) {
    const Header& h = file.header;
    const std::shared_ptr<const PlaneTransform> shared = TransformFor(h);
    const PlaneTransform& transform = *shared;
    std::vector<std::vector<const BandShape*>> shapes(static_cast<std::size_t>(h.planes));
    for (auto& plane : shapes)
        for (const SquareBand& band : transform.Bands()) plane.push_back(&band.shape);
    // Every plane's square is filled as the stream is read, then transformed back in turn.
    std::vector<Coefficients> squares;
    for (int c = 0; c < h.planes; ++c) squares.push_back(transform.Empty());
    const auto& bands = transform.Bands();
    DecodePlanesInto(shapes, file.data.data(), file.data.size(), h.decisions,
                     [&](std::size_t c, std::size_t b, int row, int column, double units) {
                         const SquareBand& band = bands[b];
                         Coefficients& square = squares[c];
                         const std::size_t e =
                             static_cast<std::size_t>(band.firstI + row) * static_cast<std::size_t>(square.side) +
                             static_cast<std::size_t>(band.firstJ + column);
                         square.values[e] = analysis::FromQuantUnits(units, transform.Weight(e), h.step);
                     });

    DecodedPicture picture{h, {}};
    TransformWorkspace own;
    TransformWorkspace& ws = workspace ? *workspace : own;
    for (Coefficients& square : squares) {
        transform.Reconstruct(square, ws);
        picture.planes.push_back(PictureOrder(square, h.width, h.height));
    }
    return picture;
}

std::vector<std::uint8_t> PlaneBytes(const std::vector<double>& plane) {
    std::vector<std::uint8_t> bytes(plane.size());
    for (std::size_t n = 0; n < plane.size(); ++n) bytes[n] = ToByte(plane[n]);
    return bytes;
}

std::vector<std::uint8_t> ToRgbBytes(const DecodedPicture& picture) {
    const std::size_t count =
        static_cast<std::size_t>(picture.header.width) * static_cast<std::size_t>(picture.header.height);
    std::vector<std::uint8_t> rgb(3 * count);
    if (picture.planes.size() == 1) {
        for (std::size_t n = 0; n < count; ++n)
            rgb[3 * n] = rgb[3 * n + 1] = rgb[3 * n + 2] = ToByte(picture.planes[0][n]);
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
