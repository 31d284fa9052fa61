#pragma once
// The walk through a bit-plane stream, shared by the encoder and the decoder (internal
// to the codec). The walk decides nothing itself: `Io` either codes the bit it is
// told (encoding) or reads it (decoding), and both sides hold the same flags and
// contexts, so they take the same turns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/ArithmeticCoder.h"
#include "codec/BitPlaneCoder.h"

namespace tesora::codec::walk {

// Flags of a coefficient. The band's arrays have a border of one element that is never
// coded, so every coefficient's neighbours are read without tests.
constexpr std::uint8_t kCoded = 1;
constexpr std::uint8_t kSignificant = 2;
constexpr std::uint8_t kNegative = 4;
constexpr std::uint8_t kVisited = 8;   // decided in this bit-plane's neighbours pass
constexpr std::uint8_t kRefined = 16;  // refined at least once
constexpr int kTopBits = 5;
constexpr int kRun = 4;  // coefficients of a row that the cleanup pass may skip with one decision
// The cleanup pass goes through a band in blocks of kBlock x kBlock coefficients. Until a
// block holds a significant coefficient, one decision says whether any of it turns
// significant in this bit-plane: a quiet block (most of a fine band at most rates) costs
// one decision instead of one for every four coefficients.
constexpr int kBlockShift = 4;
constexpr int kBlock = 1 << kBlockShift;
constexpr std::uint8_t kBlockLive = 1;     // holds a significant coefficient
constexpr std::uint8_t kBlockVisited = 2;  // the neighbours pass decided one of its coefficients
constexpr std::uint8_t kBlockEmpty = 4;    // holds no coded coefficient: never walked
constexpr int kBlockContexts = 3;          // live blocks among the left and upper neighbours
// The significance context of a coefficient: 15 h + 5 v + d, with h (0 ... 2) its
// significant neighbours left and right, v (0 ... 2) above and below, d (0 ... 4) on
// the diagonals. It is kept up to date as coefficients turn significant.
constexpr int kSignificanceContexts = 45;
constexpr int kSignContexts = 9;  // 3 (left and right agree) x 3 (above and below)

struct Contexts {
    Context top[kTopBits];
    Context significance[kBandKinds][kSignificanceContexts];
    Context sign[kBandKinds][kSignContexts];
    Context refinement[3];
    Context run[kBandKinds];
    Context position[2];
    Context block[kBandKinds][kBlockContexts];
};

struct BandWork {
    int width = 0;
    int height = 0;
    int kind = 0;
    int stride = 0;  // width + 2
    int top = 0;
    std::size_t significant = 0;        // coefficients significant so far
    std::vector<std::uint8_t> flags;    // (width + 2) * (height + 2)
    std::vector<std::uint8_t> context;  // (width + 2) * (height + 2): 15 h + 5 v + d
    int blocksWide = 0;
    std::vector<std::uint8_t> blocks;  // per cleanup block, row by row: kBlockLive | kBlockVisited | kBlockEmpty
    const std::int32_t* q = nullptr;   // encoding: the indices
    // Encoding: per cleanup block the largest magnitude of its coded coefficients. While a
    // block holds no significant coefficient, all its magnitudes are below 2^(p + 1), and
    // the largest, when it has bit p, is still to be decided in the cleanup pass (had the
    // neighbours pass decided it, it would be significant now): so whether any coefficient
    // of the block turns significant in the cleanup pass is whether the largest has bit p.
    std::vector<std::int32_t> blockLargest;
    // Decoding: the magnitude's bits read so far and the lowest bit read. Both are written
    // when a coefficient turns significant and read only after, so they start unset (at a
    // low rate most of their pages are never touched).
    std::unique_ptr<std::uint32_t[]> known;
    std::unique_ptr<std::uint8_t[]> lowest;

    std::size_t Padded(int x, int y) const {
        return static_cast<std::size_t>(y + 1) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(x + 1);
    }
    std::size_t Plain(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    std::size_t Block(int x, int y) const {
        return static_cast<std::size_t>(y >> kBlockShift) * static_cast<std::size_t>(blocksWide) +
               static_cast<std::size_t>(x >> kBlockShift);
    }
};

// -1, 0 or 1: the sign two neighbours agree on, 0 when they cancel or are not significant.
inline int SignOf(std::uint8_t a, std::uint8_t b) {
    auto one = [](std::uint8_t f) { return (f & kSignificant) == 0 ? 0 : ((f & kNegative) != 0 ? -1 : 1); };
    const int sum = one(a) + one(b);
    return sum > 0 ? 1 : (sum < 0 ? -1 : 0);
}

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
        // Within a bit-plane the passes go through every band in turn: the neighbours
        // passes gain the most per byte, the cleanup passes the least, so a cut stream
        // keeps the better part of the plane.
        for (int p = highest - 1; p >= 0; --p)
            for (int pass = 0; pass < 3; ++pass)
                for (auto& plane : planes_)
                    for (BandWork& band : plane)
                        if (band.top > p && !Pass(pass, band, p)) return;
    }

private:
    // Before the first coefficient of a band turns significant, its neighbours and
    // refinement passes have nothing to decide and are not walked.
    bool Pass(int pass, BandWork& band, int p) {
        if (pass < 2 && band.significant == 0) return true;
        return pass == 0 ? Neighbours(band, p) : (pass == 1 ? Refinement(band, p) : Cleanup(band, p));
    }

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

    void MakeSignificant(BandWork& band, int x, int y, int p, int negative) {
        const std::size_t at = band.Padded(x, y);
        band.flags[at] = static_cast<std::uint8_t>(band.flags[at] | kSignificant | (negative != 0 ? kNegative : 0));
        std::uint8_t* c = band.context.data() + at;
        const std::ptrdiff_t s = band.stride;
        c[-1] = static_cast<std::uint8_t>(c[-1] + 15);
        c[1] = static_cast<std::uint8_t>(c[1] + 15);
        c[-s] = static_cast<std::uint8_t>(c[-s] + 5);
        c[s] = static_cast<std::uint8_t>(c[s] + 5);
        for (std::ptrdiff_t d : {-s - 1, -s + 1, s - 1, s + 1}) c[d] = static_cast<std::uint8_t>(c[d] + 1);
        ++band.significant;
        band.blocks[band.Block(x, y)] |= kBlockLive;
        io_.Significant(band, band.Plain(x, y), p);
    }

    bool Sign(BandWork& band, int x, int y, int p) {
        const std::size_t at = band.Padded(x, y);
        const std::uint8_t* f = band.flags.data() + at;
        const std::ptrdiff_t s = band.stride;
        const int context = (SignOf(f[-1], f[1]) + 1) * 3 + SignOf(f[-s], f[s]) + 1;
        int negative = io_.Negative(band, band.Plain(x, y));
        if (!io_.Decide(negative, contexts_.sign[band.kind][context])) return false;
        MakeSignificant(band, x, y, p, negative);
        return true;
    }

    // Bit p of a coefficient not yet significant, and its sign when the bit is 1.
    bool Significance(BandWork& band, int x, int y, int p) {
        const std::size_t at = band.Padded(x, y);
        int bit = io_.Bit(band, band.Plain(x, y), p);
        if (!io_.Decide(bit, contexts_.significance[band.kind][band.context[at]])) return false;
        return bit == 0 || Sign(band, x, y, p);
    }

    bool Neighbours(BandWork& band, int p) {
        for (int y = 0; y < band.height; ++y) {
            const std::size_t row = band.Padded(0, y);
            for (int x = 0; x < band.width; ++x) {
                const std::size_t at = row + static_cast<std::size_t>(x);
                if (x + 8 <= band.width && Word(band.context, at) == 0) {  // eight without a significant neighbour
                    x += 7;
                    continue;
                }
                if ((band.flags[at] & (kCoded | kSignificant)) != kCoded || band.context[at] == 0) continue;
                band.flags[at] |= kVisited;
                band.blocks[band.Block(x, y)] |= kBlockVisited;
                if (!Significance(band, x, y, p)) return false;
            }
        }
        return true;
    }

    bool Refinement(BandWork& band, int p) {
        for (int y = 0; y < band.height; ++y) {
            const std::size_t row = band.Padded(0, y);
            for (int x = 0; x < band.width; ++x) {
                const std::size_t at = row + static_cast<std::size_t>(x);
                if (x + 8 <= band.width && (Word(band.flags, at) & kEverySignificant) == 0) {  // eight to skip
                    x += 7;
                    continue;
                }
                const std::uint8_t f = band.flags[at];
                if ((f & (kSignificant | kVisited)) != kSignificant) continue;
                const int context = (f & kRefined) != 0 ? 2 : (band.context[at] != 0 ? 1 : 0);
                int bit = io_.Bit(band, band.Plain(x, y), p);
                if (!io_.Decide(bit, contexts_.refinement[context])) return false;
                band.flags[at] = static_cast<std::uint8_t>(f | kRefined);
                io_.Refined(band, band.Plain(x, y), p, bit);
            }
        }
        return true;
    }

    // Whether the kRun coefficients from x on are all still to decide with no significant
    // neighbour: then one decision says whether any of them turns significant.
    static bool Quiet(const BandWork& band, std::size_t at) {
        std::uint32_t flags, context;
        std::memcpy(&flags, band.flags.data() + at, sizeof flags);
        std::memcpy(&context, band.context.data() + at, sizeof context);
        return flags == kCoded * 0x01010101u && context == 0;
    }

    // Eight bytes from `at` as one word, to test eight coefficients at once.
    static std::uint64_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, sizeof word);
        return word;
    }
    static constexpr std::uint64_t kEverySignificant = kSignificant * 0x0101010101010101ull;

    // A quiet run: whether any turns significant, and if so which first (2 bits).
    bool QuietRun(BandWork& band, int x, int y, int p, int& first) {
        first = kRun;
        for (int i = 0; i < kRun && first == kRun; ++i)
            if (io_.Bit(band, band.Plain(x + i, y), p) != 0) first = i;
        int any = first < kRun ? 1 : 0;
        if (!io_.Decide(any, contexts_.run[band.kind])) return false;
        if (any == 0) return true;
        int high = first >> 1, low = first & 1;
        if (!io_.Decide(high, contexts_.position[0]) || !io_.Decide(low, contexts_.position[1])) return false;
        first = high * 2 + low;
        return Sign(band, x + first, y, p);
    }

    // The cleanup pass, block by block (rows of blocks from the first, within a row from the
    // left); within a block row by row as CleanupRow says.
    bool Cleanup(BandWork& band, int p) {
        for (int y0 = 0; y0 < band.height; y0 += kBlock)
            for (int x0 = 0; x0 < band.width; x0 += kBlock) {
                const std::size_t at = band.Block(x0, y0);
                std::uint8_t& block = band.blocks[at];
                if ((block & kBlockEmpty) != 0) continue;
                const int x1 = std::min(band.width, x0 + kBlock), y1 = std::min(band.height, y0 + kBlock);
                int any = 1;
                if ((block & kBlockLive) == 0) {
                    any = io_.BlockTurns(band, at, p);
                    if (!io_.Decide(any, contexts_.block[band.kind][BlockContext(band, x0, y0)])) return false;
                    if (any == 0 && (block & kBlockVisited) != 0) ClearVisited(band, x0, x1, y0, y1);
                }
                block = static_cast<std::uint8_t>(block & ~kBlockVisited);
                for (int y = y0; y < y1 && any != 0; ++y)
                    if (!CleanupRow(band, p, y, x0, x1)) return false;
            }
        return true;
    }

    // The live blocks among the block's left and upper neighbours.
    static int BlockContext(const BandWork& band, int x0, int y0) {
        return (x0 > 0 ? band.blocks[band.Block(x0 - kBlock, y0)] & kBlockLive : 0) +
               (y0 > 0 ? band.blocks[band.Block(x0, y0 - kBlock)] & kBlockLive : 0);
    }

    // A skipped block's visited marks go, as the cleanup pass clears them everywhere else.
    static void ClearVisited(BandWork& band, int x0, int x1, int y0, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) band.flags[band.Padded(x, y)] &= static_cast<std::uint8_t>(~kVisited);
    }

    // One row of a block, columns x0 ... x1 - 1: quiet runs of four, else one by one.
    bool CleanupRow(BandWork& band, int p, int y, int x0, int x1) {
        const std::size_t row = band.Padded(0, y);
        int x = x0;
        while (x < x1) {
            int from = x;
            if (x + kRun <= x1 && Quiet(band, row + static_cast<std::size_t>(x))) {
                int first = 0;
                if (!QuietRun(band, x, y, p, first)) return false;
                from = x + first + 1;
                x += kRun;
            } else {
                ++x;
            }
            for (int i = from; i < x; ++i) {
                const std::size_t at = row + static_cast<std::size_t>(i);
                const std::uint8_t f = band.flags[at];
                band.flags[at] = static_cast<std::uint8_t>(f & ~kVisited);
                if ((f & (kCoded | kSignificant | kVisited)) == kCoded && !Significance(band, i, y, p)) return false;
            }
        }
        return true;
    }

    Io& io_;
    std::vector<std::vector<BandWork>>& planes_;
    Contexts contexts_;
};

}  // namespace tesora::codec::walk
