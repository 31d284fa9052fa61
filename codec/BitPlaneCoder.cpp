#include "codec/BitPlaneCoder.h"

#include <cmath>
#include <cstdlib>

#include "codec/ArithmeticCoder.h"
#include "matrix/Error.h"

namespace tesora::codec {

namespace {

// Flags of a coefficient; the band's flag array has a border of one element that is
// never coded, so the neighbours of every coefficient can be read without tests.
constexpr std::uint8_t kCoded = 1;
constexpr std::uint8_t kSignificant = 2;
constexpr std::uint8_t kNegative = 4;
constexpr std::uint8_t kVisited = 8;  // decided in this bit-plane's neighbours pass
constexpr std::uint8_t kRefined = 16;  // refined at least once
constexpr int kTopBits = 5;
constexpr int kSignificanceContexts = 45;  // 3 (horizontal) x 3 (vertical) x 5 (diagonal)
constexpr int kSignContexts = 9;           // 3 (horizontal) x 3 (vertical)

struct Contexts {
    Context top[kTopBits];
    Context significance[kBandKinds][kSignificanceContexts];
    Context sign[kBandKinds][kSignContexts];
    Context refinement[3];
};

struct BandWork {
    int width = 0;
    int height = 0;
    int kind = 0;
    int stride = 0;  // width + 2
    int top = 0;
    std::vector<std::uint8_t> flags;     // (width + 2) * (height + 2)
    const std::int32_t* q = nullptr;     // encoding: the indices
    std::vector<std::uint32_t> known;    // decoding: the magnitude's bits read so far
    std::vector<std::uint8_t> lowest;    // decoding: the lowest bit read

    std::size_t Padded(int x, int y) const { return static_cast<std::size_t>(y + 1) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(x + 1); }
    std::size_t Plain(int x, int y) const { return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x); }
};

int Sig(std::uint8_t flags) { return (flags & kSignificant) != 0 ? 1 : 0; }

int SignificanceContext(const BandWork& band, std::size_t at) {
    const std::uint8_t* f = band.flags.data() + at;
    const std::ptrdiff_t s = band.stride;
    const int h = Sig(f[-1]) + Sig(f[1]);
    const int v = Sig(f[-s]) + Sig(f[s]);
    const int d = Sig(f[-s - 1]) + Sig(f[-s + 1]) + Sig(f[s - 1]) + Sig(f[s + 1]);
    return h * 15 + v * 5 + d;
}

// -1, 0 or 1: the sign the two neighbours in a direction agree on, 0 when they cancel.
int SignOf(std::uint8_t a, std::uint8_t b) {
    const int sum = (Sig(a) != 0 ? ((a & kNegative) != 0 ? -1 : 1) : 0) + (Sig(b) != 0 ? ((b & kNegative) != 0 ? -1 : 1) : 0);
    return sum > 0 ? 1 : (sum < 0 ? -1 : 0);
}

int SignContext(const BandWork& band, std::size_t at) {
    const std::uint8_t* f = band.flags.data() + at;
    const std::ptrdiff_t s = band.stride;
    return (SignOf(f[-1], f[1]) + 1) * 3 + SignOf(f[-s], f[s]) + 1;
}

// The walk through the stream, shared by encoder and decoder: `Io` either codes the
// bit it is told (Encoder) or reads it (Decoder). Every Decide returns false once the
// stream has no room or no decision left, and the walk ends there.
template <class Io>
class Walk {
public:
    Walk(Io& io, std::vector<std::vector<BandWork>>& planes) : io_(io), planes_(planes) {}

    void Run() {
        int highest = 0;
        for (auto& plane : planes_)
            for (BandWork& band : plane) {
                if (!CodeTop(band)) return;
                if (band.top > highest) highest = band.top;
            }
        for (int p = highest - 1; p >= 0; --p)
            for (auto& plane : planes_)
                for (BandWork& band : plane)
                    if (band.top > p && !(Neighbours(band, p) && Refinement(band, p) && Cleanup(band, p))) return;
    }

private:
    bool CodeTop(BandWork& band) {
        int top = 0;
        for (int i = kTopBits - 1; i >= 0; --i) {
            int bit = (band.top >> i) & 1;
            if (!io_.Decide(bit, contexts_.top[kTopBits - 1 - i])) return false;
            top |= bit << i;
        }
        band.top = top;
        return true;
    }

    // Bit p of a coefficient not yet significant, and its sign when it turns significant.
    bool Significance(BandWork& band, int x, int y, int p) {
        const std::size_t at = band.Padded(x, y);
        int bit = io_.Bit(band, band.Plain(x, y), p);
        if (!io_.Decide(bit, contexts_.significance[band.kind][SignificanceContext(band, at)])) return false;
        if (bit == 0) return true;
        int negative = io_.Negative(band, band.Plain(x, y));
        if (!io_.Decide(negative, contexts_.sign[band.kind][SignContext(band, at)])) return false;
        band.flags[at] = static_cast<std::uint8_t>(band.flags[at] | kSignificant | (negative != 0 ? kNegative : 0));
        io_.Significant(band, band.Plain(x, y), p);
        return true;
    }

    bool Neighbours(BandWork& band, int p) {
        for (int y = 0; y < band.height; ++y)
            for (int x = 0; x < band.width; ++x) {
                const std::size_t at = band.Padded(x, y);
                const std::uint8_t f = band.flags[at];
                if ((f & (kCoded | kSignificant)) != kCoded || SignificanceContext(band, at) == 0) continue;
                band.flags[at] = static_cast<std::uint8_t>(f | kVisited);
                if (!Significance(band, x, y, p)) return false;
            }
        return true;
    }

    bool Refinement(BandWork& band, int p) {
        for (int y = 0; y < band.height; ++y)
            for (int x = 0; x < band.width; ++x) {
                const std::size_t at = band.Padded(x, y);
                const std::uint8_t f = band.flags[at];
                if ((f & (kSignificant | kVisited)) != kSignificant) continue;
                const int context = (f & kRefined) != 0 ? 2 : (SignificanceContext(band, at) != 0 ? 1 : 0);
                int bit = io_.Bit(band, band.Plain(x, y), p);
                if (!io_.Decide(bit, contexts_.refinement[context])) return false;
                band.flags[at] = static_cast<std::uint8_t>(f | kRefined);
                io_.Refined(band, band.Plain(x, y), p, bit);
            }
        return true;
    }

    bool Cleanup(BandWork& band, int p) {
        for (int y = 0; y < band.height; ++y)
            for (int x = 0; x < band.width; ++x) {
                const std::size_t at = band.Padded(x, y);
                const std::uint8_t f = band.flags[at];
                band.flags[at] = static_cast<std::uint8_t>(f & ~kVisited);
                if ((f & (kCoded | kSignificant | kVisited)) != kCoded) continue;
                if (!Significance(band, x, y, p)) return false;
            }
        return true;
    }

    Io& io_;
    std::vector<std::vector<BandWork>>& planes_;
    Contexts contexts_;
};

class Encoder {
public:
    explicit Encoder(std::size_t limit) { coder_.SetLimit(limit); }
    bool Decide(int bit, Context& context) { return coder_.Encode(bit, context); }
    static int Bit(const BandWork& band, std::size_t i, int p) { return static_cast<int>((std::abs(band.q[i]) >> p) & 1); }
    static int Negative(const BandWork& band, std::size_t i) { return band.q[i] < 0 ? 1 : 0; }
    static void Significant(BandWork&, std::size_t, int) {}
    static void Refined(BandWork&, std::size_t, int, int) {}
    ArithmeticEncoder& Coder() { return coder_; }

private:
    ArithmeticEncoder coder_;
};

class Decoder {
public:
    Decoder(const std::uint8_t* data, std::size_t size, std::uint64_t decisions) : coder_(data, size), left_(decisions) {}
    bool Decide(int& bit, Context& context) {
        if (left_ == 0) return false;
        --left_;
        bit = coder_.Decode(context);
        return true;
    }
    static int Bit(const BandWork&, std::size_t, int) { return 0; }
    static int Negative(const BandWork&, std::size_t) { return 0; }
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
        throw Error("Ein Band hat eine ungültige Größe oder Art.");
    const std::size_t count = static_cast<std::size_t>(shape.width) * static_cast<std::size_t>(shape.height);
    if (!shape.coded.empty() && shape.coded.size() != count)
        throw Error("Die Maske eines Bandes passt nicht zu seiner Größe.");
    BandWork band;
    band.width = shape.width;
    band.height = shape.height;
    band.kind = shape.kind;
    band.stride = shape.width + 2;
    band.flags.assign(static_cast<std::size_t>(shape.width + 2) * static_cast<std::size_t>(shape.height + 2), 0);
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x)
            if (shape.coded.empty() || shape.coded[band.Plain(x, y)] != 0) band.flags[band.Padded(x, y)] = kCoded;
    return band;
}

int TopOf(const BandWork& band) {
    std::int32_t largest = 0;
    for (int y = 0; y < band.height; ++y)
        for (int x = 0; x < band.width; ++x) {
            if ((band.flags[band.Padded(x, y)] & kCoded) == 0) continue;
            const std::int32_t q = band.q[band.Plain(x, y)];
            if (q > kMaxMagnitude || q < -kMaxMagnitude) throw Error("Ein Quantisierungsindex ist zu groß für den Coder.");
            largest = std::max(largest, std::abs(q));
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
                throw Error("Die Indizes eines Bandes passen nicht zu seiner Größe.");
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

std::vector<std::vector<std::vector<double>>> DecodePlanes(const std::vector<std::vector<BandShape>>& shapes,
                                                           const std::uint8_t* data, std::size_t size,
                                                           std::uint64_t decisions) {
    std::vector<std::vector<BandWork>> work(shapes.size());
    for (std::size_t c = 0; c < shapes.size(); ++c)
        for (const BandShape& shape : shapes[c]) {
            BandWork band = WorkOf(shape);
            const std::size_t count = static_cast<std::size_t>(band.width) * static_cast<std::size_t>(band.height);
            band.known.assign(count, 0);
            band.lowest.assign(count, 0);
            work[c].push_back(std::move(band));
        }
    std::vector<std::vector<std::vector<double>>> values(shapes.size());
    if (decisions == 0 && size == 0) {
        // A budget too small for any decision leaves no data: every coefficient is 0.
    } else {
        Decoder decoder(data, size, decisions);
        Walk<Decoder>(decoder, work).Run();
        if (decoder.Left() != 0) throw Error("Der Datenstrom hat mehr Entscheidungen, als die Bänder aufnehmen.");
        if (!decoder.Coder().AtEnd()) throw Error("Der Datenstrom hat Bytes, die keine Entscheidung liest.");
    }
    for (std::size_t c = 0; c < work.size(); ++c)
        for (const BandWork& band : work[c]) {
            std::vector<double> out(static_cast<std::size_t>(band.width) * static_cast<std::size_t>(band.height), 0.0);
            for (int y = 0; y < band.height; ++y)
                for (int x = 0; x < band.width; ++x) {
                    const std::uint8_t f = band.flags[band.Padded(x, y)];
                    if ((f & kSignificant) == 0) continue;
                    const std::size_t i = band.Plain(x, y);
                    const double magnitude = std::ldexp(static_cast<double>(band.known[i]) + 0.5, band.lowest[i]);
                    out[i] = (f & kNegative) != 0 ? -magnitude : magnitude;
                }
            values[c].push_back(std::move(out));
        }
    return values;
}

}  // namespace tesora::codec
