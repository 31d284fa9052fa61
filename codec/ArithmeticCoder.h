#pragma once
// An adaptive binary arithmetic coder (a range coder with carry propagation) and its
// decoder. Every decision is coded with a Context, the adaptive probability that the
// next bit is 0; encoder and decoder update it alike after each bit.
//
// State machine of the encoder: the current interval is [low, low + range) on a 32-bit
// scale, low kept in 64 bits so that a carry out of bit 31 is seen.
//   Encode(bit, ctx): bound = (range >> 15) * p0 (p0 of the context, below);
//                     bit 0 -> range = bound;   bit 1 -> low += bound, range -= bound;
//                     ctx adapts (below); then Normalise.
//   Normalise:        while range < 2^24: ShiftLow(), range <<= 8.
//   ShiftLow:         the top byte of low (bits 24..31) leaves the register. It cannot be
//                     written at once, because a later carry may still add 1 to it: it is
//                     held as `cache`, and bytes 0xFF after it as `pending`. When the
//                     leaving byte is below 0xFF or a carry arrived (bit 32 of low), the
//                     cache plus the carry is final, and so are the pending bytes
//                     (each 0xFF + carry, i.e. 0x00 after a carry); then the leaving
//                     byte becomes the new cache. A leaving 0xFF without carry only adds
//                     to `pending`. low keeps its bits 0..23, shifted up by 8.
//   Finish:           five more ShiftLow() write out the cache, pending bytes and the
//                     four bytes of low.
// The very first cache byte is always 0 (the first interval is [0, 2^32), so no carry
// can reach it) and is never written: the stream after n decisions that leave the
// encoder after s calls of ShiftLow is exactly s + 4 bytes long, and the decoder, which
// starts by reading 4 bytes and reads one byte per normalisation, consumes exactly
// those. This is what lets a byte budget cut the stream after the last decision that
// fits (SetLimit), with nothing of the decoder guessing where the data ends.
//
// Adaptation: a context holds two 16-bit estimates of the probability of a 0, a quick one
// (moving 1/16 of the way after each bit) and a slow one (1/128): after a 0,
// e += (65536 - e) >> shift, after a 1, e -= e >> shift. A decision uses
// p0 = (fast + slow) >> 2, a 15-bit probability; the quick estimate never falls below 15,
// the slow one below 127, so 35 <= p0 <= 32767, and range >> 15 >= 2^9 after
// normalisation keeps bound inside (0, range).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesora::codec {

struct Context {
    // Two estimates of the probability of a 0 (units of 2^-16), one quick, one slow;
    // a decision uses their mean. Both start at 1/2.
    std::uint16_t fast = 1u << 15;
    std::uint16_t slow = 1u << 15;
    std::uint32_t P0() const { return (static_cast<std::uint32_t>(fast) + slow) >> 2; }  // 15 bits
    void Adapt(int bit) {
        constexpr int kFastShift = 4, kSlowShift = 7;
        if (bit == 0) {
            fast = static_cast<std::uint16_t>(fast + ((65536u - fast) >> kFastShift));
            slow = static_cast<std::uint16_t>(slow + ((65536u - slow) >> kSlowShift));
        } else {
            fast = static_cast<std::uint16_t>(fast - (fast >> kFastShift));
            slow = static_cast<std::uint16_t>(slow - (slow >> kSlowShift));
        }
    }
};

// Both sides' constants: bytes leave the 32-bit register while range < kTop; a
// probability has kProbabilityBits bits.
constexpr std::uint32_t kTop = 1u << 24;
constexpr int kProbabilityBits = 15;

class ArithmeticEncoder {
public:
    // With a limit, a decision is refused (and leaves no trace) when the finished
    // stream would grow beyond `bytes`; from then on the encoder is Full().
    void SetLimit(std::size_t bytes) { limit_ = bytes; }
    // Codes `bit` (0 or 1); false when it did not fit under the limit. Inline, as Decode.
    bool Encode(int bit, Context& context);
    bool Full() const { return full_; }
    std::uint64_t Decisions() const { return decisions_; }
    // The length the stream would have if finished now.
    std::size_t FinishedSize() const { return shifts_ + 4; }
    // Writes out what is held and gives the stream; the encoder is spent afterwards.
    std::vector<std::uint8_t> Finish();

private:
    void ShiftLow();

    std::uint64_t low_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
    std::uint8_t cache_ = 0;
    std::uint64_t pending_ = 0;  // 0xFF bytes held after the cache
    bool first_ = true;          // the cache is the unwritten leading 0
    std::size_t shifts_ = 0;
    std::size_t limit_ = SIZE_MAX;
    bool full_ = false;
    std::uint64_t decisions_ = 0;
    std::vector<std::uint8_t> out_;
};

class ArithmeticDecoder {
public:
    // The stream must stay alive while the decoder reads it. Throws Error when it is
    // shorter than the 4 bytes every stream starts with.
    ArithmeticDecoder(const std::uint8_t* data, std::size_t size);
    // Throws Error when the stream ends before the decision is known.
    int Decode(Context& context);
    // Whether every byte of the stream was read (so a stream has no tail nobody coded).
    bool AtEnd() const { return next_ == size_; }

private:
    // Defined here so the bit-plane walk's many decisions go without a call.
    std::uint8_t NextByte() {
        if (next_ >= size_) Ended();
        return data_[next_++];
    }
    [[noreturn]] static void Ended();

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t next_ = 0;
    std::uint32_t code_ = 0;  // the stream's value minus low, on the 32-bit scale
    std::uint32_t range_ = 0xFFFFFFFFu;
};

inline bool ArithmeticEncoder::Encode(int bit, Context& context) {
    if (full_) return false;
    // The state before the decision, to take it back when it does not fit.
    const std::uint64_t low = low_;
    const std::uint32_t range = range_;
    const std::uint8_t cache = cache_;
    const std::uint64_t pending = pending_;
    const bool first = first_;
    const std::size_t shifts = shifts_;
    const std::size_t written = out_.size();

    const std::uint32_t bound = (range_ >> kProbabilityBits) * context.P0();
    if (bit == 0) {
        range_ = bound;
    } else {
        low_ += bound;
        range_ -= bound;
    }
    while (range_ < kTop) {
        range_ <<= 8;
        ShiftLow();
    }
    if (FinishedSize() > limit_) {
        low_ = low;
        range_ = range;
        cache_ = cache;
        pending_ = pending;
        first_ = first;
        shifts_ = shifts;
        out_.resize(written);
        full_ = true;
        return false;
    }
    context.Adapt(bit);
    ++decisions_;
    return true;
}

inline int ArithmeticDecoder::Decode(Context& context) {
    const std::uint32_t bound = (range_ >> kProbabilityBits) * context.P0();
    int bit;
    if (code_ < bound) {
        range_ = bound;
        bit = 0;
    } else {
        code_ -= bound;
        range_ -= bound;
        bit = 1;
    }
    while (range_ < kTop) {
        range_ <<= 8;
        code_ = (code_ << 8) | NextByte();
    }
    context.Adapt(bit);
    return bit;
}

}  // namespace tesora::codec
