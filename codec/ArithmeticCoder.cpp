#include "codec/ArithmeticCoder.h"

#include "matrix/Error.h"

namespace tesora::codec {

void ArithmeticEncoder::ShiftLow() {
    ++shifts_;
    const auto carry = static_cast<std::uint8_t>(low_ >> 32);
    if (static_cast<std::uint32_t>(low_) < 0xFF000000u || carry != 0) {
        if (!first_) out_.push_back(static_cast<std::uint8_t>(cache_ + carry));
        first_ = false;
        for (; pending_ > 0; --pending_) out_.push_back(static_cast<std::uint8_t>(0xFF + carry));
        cache_ = static_cast<std::uint8_t>(low_ >> 24);
    } else {
        ++pending_;
    }
    low_ = (low_ & 0x00FFFFFFu) << 8;
}

std::vector<std::uint8_t> ArithmeticEncoder::Finish() {
    for (int i = 0; i < 5; ++i) ShiftLow();
    full_ = true;
    return std::move(out_);
}

ArithmeticDecoder::ArithmeticDecoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
    if (size < 4)
        throw Error("Die Daten sind kürzer als der Anfang jedes Datenstroms (4 Byte).",
                    "The data are shorter than the start of every stream (4 bytes).");
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | NextByte();
}

void ArithmeticDecoder::Ended() {
    throw Error("Der Datenstrom endet vor seiner letzten Entscheidung.", "The stream ends before its last decision.");
}

}  // namespace tesora::codec
