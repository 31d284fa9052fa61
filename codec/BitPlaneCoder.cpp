#include "codec/BitPlaneCoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codec/ArithmeticCoder.h"
#include "codec/PlaneWalk.h"
#include "matrix/Error.h"

namespace tesora::codec {

namespace {

using namespace walk;

class Encoder {
public:
    explicit Encoder(std::size_t limit) { coder_.SetLimit(limit); }
    bool Decide(int bit, Context& context) { return coder_.Encode(bit, context); }
    static int Bit(const BandWork& band, std::size_t i, int p) {
        return static_cast<int>((std::abs(band.q[i]) >> p) & 1);
    }
    static int Negative(const BandWork& band, std::size_t i) { return band.q[i] < 0 ? 1 : 0; }
    static int BlockTurns(const BandWork& band, std::size_t block, int p) {
        return static_cast<int>((band.blockLargest[block] >> p) & 1);
    }
    static void Significant(BandWork&, std::size_t, int) {}
    static void Refined(BandWork&, std::size_t, int, int) {}
    ArithmeticEncoder& Coder() { return coder_; }

private:
    ArithmeticEncoder coder_;
};

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size, std::uint64_t decisions)
        : coder_(data, size), left_(decisions) {}
    bool Decide(int& bit, Context& context) {
        if (left_ == 0) return false;
        --left_;
        bit = coder_.Decode(context);
        return true;
    }
    static int Bit(const BandWork&, std::size_t, int) { return 0; }
    static int Negative(const BandWork&, std::size_t) { return 0; }
    static int BlockTurns(const BandWork&, std::size_t, int) { return 0; }
    static void Significant(BandWork& band, std::size_t i, int p) {
        band.known[i] = 1;
        band.lowest[i] = static_cast<std::uint8_t>(p);
    }
    static void Refined(BandWork& band, std::size_t i, int p, int bit) {
        band.known[i] = (band.known[i] << 1) | static_cast<std::uint32_t>(bit);
        band.lowest[i] = static_cast<std::uint8_t>(p);
    }
    std::uint64_t Left() const { return left_; }
    const ArithmeticDecoder& Coder() const { return coder_; }

private:
    ArithmeticDecoder coder_;
    std::uint64_t left_;
};

BandWork WorkOf(const BandShape& shape) {
    if (shape.width < 0 || shape.height < 0 || shape.kind < 0 || shape.kind >= kBandKinds)
        throw Error("Ein Band hat eine ungültige Größe oder Art.", "A band has an invalid size or kind.");
    const std::size_t count = static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(shape.height);
    if (!shape.coded.empty() && shape.coded.size() != count)
        throw Error("Die Maske eines Bandes passt nicht zu seiner Größe.", "A band's mask does not fit its size.");
    BandWork band;
    band.width = shape.width;
    band.height = shape.height;
    band.kind = shape.kind;
    band.stride = shape.width + 2;
    band.flags.assign(static_cast<std::size_t>(shape.width + 2) * static_cast<std::size_t>(shape.height + 2), 0);
    band.context.assign(band.flags.size(), 0);
    band.blocksWide = (shape.width + kBlock - 1) >> kBlockShift;
    const int blocksHigh = (shape.height + kBlock - 1) >> kBlockShift;
    band.blocks.assign(static_cast<std::size_t>(band.blocksWide) * static_cast<std::size_t>(blocksHigh), kBlockEmpty);
    for (int y = 0; y < shape.height; ++y) {
        std::uint8_t* flags = band.flags.data() + band.Padded(0, y);
        const std::uint8_t* coded = shape.coded.empty() ? nullptr : shape.coded.data() + band.Plain(0, y);
        std::uint8_t* blocks = band.blocks.data() + band.Block(0, y);
        for (int x = 0; x < shape.width; ++x)
            if (coded == nullptr || coded[x] != 0) {
                flags[x] = kCoded;
                blocks[x >> kBlockShift] = 0;
            }
    }
    return band;
}

// The band's top, and each block's largest magnitude on the way.
int TopOf(BandWork& band) {
    band.blockLargest.assign(band.blocks.size(), 0);
    std::int32_t largest = 0;
    for (int y = 0; y < band.height; ++y) {
        const std::uint8_t* flags = band.flags.data() + band.Padded(0, y);
        const std::int32_t* q = band.q + band.Plain(0, y);
        std::int32_t* blocks = band.blockLargest.data() + band.Block(0, y);
        for (int x = 0; x < band.width; ++x) {
            if ((flags[x] & kCoded) == 0) continue;
            if (q[x] > kMaxMagnitude || q[x] < -kMaxMagnitude)
                throw Error("Ein Quantisierungsindex ist zu groß für den Coder.",
                            "A quantiser index is too large for the coder.");
            const std::int32_t magnitude = std::abs(q[x]);
            largest = std::max(largest, magnitude);
            blocks[x >> kBlockShift] = std::max(blocks[x >> kBlockShift], magnitude);
        }
    }
    int top = 0;
    while (top < 31 && (std::int32_t{1} << top) <= largest) ++top;
    return top;
}

}  // namespace

EncodedPlanes EncodePlanes(const std::vector<std::vector<BandValues>>& planes, std::size_t limit) {
    std::vector<std::vector<BandWork>> work(planes.size());
    for (std::size_t c = 0; c < planes.size(); ++c)
        for (const BandValues& values : planes[c]) {
            BandWork band = WorkOf(values.shape);
            if (values.q.size() != static_cast<std::size_t>(band.width) * static_cast<std::size_t>(band.height))
                throw Error("Die Indizes eines Bandes passen nicht zu seiner Größe.",
                            "A band's indices do not fit its size.");
            band.q = values.q.data();
            band.top = TopOf(band);
            work[c].push_back(std::move(band));
        }
    Encoder encoder(limit);
    Walk<Encoder>(encoder, work).Run();
    EncodedPlanes result;
    result.complete = !encoder.Coder().Full();
    result.decisions = encoder.Coder().Decisions();
    if (limit < 4) return result;  // not even an empty stream fits: no data at all
    result.data = encoder.Coder().Finish();
    return result;
}

void DecodePlanesInto(const std::vector<std::vector<const BandShape*>>& shapes, const std::uint8_t* data,
                      std::size_t size, std::uint64_t decisions, const CoefficientSink& take) {
    std::vector<std::vector<BandWork>> work(shapes.size());
    for (std::size_t c = 0; c < shapes.size(); ++c)
        for (const BandShape* shape : shapes[c]) {
            BandWork band = WorkOf(*shape);
            const std::size_t count = static_cast<std::size_t>(band.width) * static_cast<std::size_t>(band.height);
            band.known.reset(new std::uint32_t[count]);
            band.lowest.reset(new std::uint8_t[count]);
            work[c].push_back(std::move(band));
        }
    if (decisions == 0 && size == 0) return;  // a budget too small for any decision: every coefficient is 0
    Decoder decoder(data, size, decisions);
    Walk<Decoder>(decoder, work).Run();
    if (decoder.Left() != 0)
        throw Error("Der Datenstrom hat mehr Entscheidungen, als die Bänder aufnehmen.",
                    "The stream holds more decisions than the bands take.");
    if (!decoder.Coder().AtEnd())
        throw Error("Der Datenstrom hat Bytes, die keine Entscheidung liest.",
                    "The stream has bytes that no decision reads.");
    for (std::size_t c = 0; c < work.size(); ++c)
        for (std::size_t b = 0; b < work[c].size(); ++b) {
            const BandWork& band = work[c][b];
            if (band.significant == 0) continue;
            for (int y = 0; y < band.height; ++y)
                for (int x = 0; x < band.width; ++x) {
                    const std::uint8_t f = band.flags[band.Padded(x, y)];
                    if ((f & kSignificant) == 0) continue;
                    const std::size_t i = band.Plain(x, y);
                    const double magnitude = std::ldexp(static_cast<double>(band.known[i]) + 0.5, band.lowest[i]);
                    take(c, b, y, x, (f & kNegative) != 0 ? -magnitude : magnitude);
                }
        }
}

std::vector<std::vector<std::vector<double>>> DecodePlanes(const std::vector<std::vector<BandShape>>& shapes,
                                                           const std::uint8_t* data, std::size_t size,
                                                           std::uint64_t decisions) {
    std::vector<std::vector<const BandShape*>> borrowed(shapes.size());
    for (std::size_t c = 0; c < shapes.size(); ++c)
        for (const BandShape& shape : shapes[c]) borrowed[c].push_back(&shape);
    // The bands are sized only once the decoding has checked their shapes.
    std::vector<std::vector<std::vector<double>>> values(shapes.size());
    const auto fill = [&](std::size_t c, std::size_t b) -> std::vector<double>& {
        values[c].resize(shapes[c].size());
        std::vector<double>& band = values[c][b];
        const BandShape& shape = shapes[c][b];
        band.resize(static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(shape.height), 0.0);
        return band;
    };
    DecodePlanesInto(borrowed, data, size, decisions,
                     [&fill, &shapes](std::size_t c, std::size_t b, int y, int x, double units) {
                         const auto width = static_cast<std::size_t>(shapes[c][b].width);
                         fill(c, b)[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] = units;
                     });
    for (std::size_t c = 0; c < shapes.size(); ++c)
        for (std::size_t b = 0; b < shapes[c].size(); ++b) fill(c, b);
    return values;
}

}  // namespace tesora::codec
