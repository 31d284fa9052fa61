#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/ArithmeticCoder.h"
#include "matrix/Error.h"

namespace tesora::codec {
namespace {

// Bits with the context each is coded in.
struct Sequence {
    std::vector<int> bits;
    std::vector<int> contexts;
};

std::vector<std::uint8_t> EncodeAll(const Sequence& s, int contextCount, std::size_t limit = SIZE_MAX,
                                    std::uint64_t* decisions = nullptr) {
    ArithmeticEncoder encoder;
    encoder.SetLimit(limit);
    std::vector<Context> contexts(static_cast<std::size_t>(contextCount));
    for (std::size_t i = 0; i < s.bits.size(); ++i)
        if (!encoder.Encode(s.bits[i], contexts[static_cast<std::size_t>(s.contexts[i])])) break;
    if (decisions) *decisions = encoder.Decisions();
    const std::size_t expected = encoder.FinishedSize();
    std::vector<std::uint8_t> out = encoder.Finish();
    EXPECT_EQ(out.size(), expected);
    return out;
}

// Decodes `count` decisions and requires the decoder to have read every byte.
std::vector<int> DecodeAll(const std::vector<std::uint8_t>& data, const Sequence& s, int contextCount,
                           std::size_t count) {
    ArithmeticDecoder decoder(data.data(), data.size());
    std::vector<Context> contexts(static_cast<std::size_t>(contextCount));
    std::vector<int> bits;
    for (std::size_t i = 0; i < count; ++i)
        bits.push_back(decoder.Decode(contexts[static_cast<std::size_t>(s.contexts[i])]));
    EXPECT_TRUE(decoder.AtEnd());
    return bits;
}

Sequence Random(std::size_t n, double ones, int contextCount, unsigned seed) {
    std::mt19937 random(seed);
    std::bernoulli_distribution bit(ones);
    std::uniform_int_distribution<int> context(0, contextCount - 1);
    Sequence s;
    for (std::size_t i = 0; i < n; ++i) {
        s.bits.push_back(bit(random) ? 1 : 0);
        s.contexts.push_back(context(random));
    }
    return s;
}

TEST(ArithmeticCoder, HandComputedStreams) {
    // No decision: the four bytes of low = 0.
    EXPECT_EQ(EncodeAll({}, 1), (std::vector<std::uint8_t>{0, 0, 0, 0}));
    // A 1 at probability 1/2: low = (0xFFFFFFFF >> 15) * 2^14 = 0x7FFFC000.
    EXPECT_EQ(EncodeAll({{1}, {0}}, 1), (std::vector<std::uint8_t>{0x7F, 0xFF, 0xC0, 0x00}));
    // A 0 keeps low at 0 and halves the range: still no byte leaves.
    EXPECT_EQ(EncodeAll({{0}, {0}}, 1), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(ArithmeticCoder, RoundTripsHandMadeAndRandomSequences) {
    std::vector<Sequence> sequences;
    sequences.push_back({std::vector<int>(5000, 0), std::vector<int>(5000, 0)});
    sequences.push_back({std::vector<int>(5000, 1), std::vector<int>(5000, 0)});
    Sequence alternating;
    for (int i = 0; i < 3000; ++i) {
        alternating.bits.push_back(i % 2);
        alternating.contexts.push_back(i % 2);  // each context sees one value only
    }
    sequences.push_back(alternating);
    // Long runs of likely bits drive low towards 0xFF...: carries through pending bytes.
    sequences.push_back(Random(200000, 0.02, 3, 7));
    sequences.push_back(Random(200000, 0.98, 3, 8));
    sequences.push_back(Random(100000, 0.5, 5, 9));
    for (const Sequence& s : sequences) {
        const auto data = EncodeAll(s, 5);
        EXPECT_EQ(DecodeAll(data, s, 5, s.bits.size()), s.bits);
    }
    // Skewed bits cost far less than a bit each.
    EXPECT_LT(EncodeAll(sequences[0], 5).size(), 40u);
    EXPECT_LT(EncodeAll(alternating, 5).size(), 40u);
    EXPECT_LT(EncodeAll(sequences[3], 5).size(), 200000u / 8 / 4);
}

TEST(ArithmeticCoder, LimitKeepsTheDecisionsThatFit) {
    const Sequence s = Random(20000, 0.3, 2, 11);
    const std::size_t whole = EncodeAll(s, 2).size();
    for (std::size_t limit : {std::size_t{4}, std::size_t{5}, std::size_t{100}, whole / 2, whole - 1}) {
        std::uint64_t decisions = 0;
        const auto data = EncodeAll(s, 2, limit, &decisions);
        EXPECT_LE(data.size(), limit);
        EXPECT_GE(data.size() + 4, limit);  // one more decision moves low by at most a few bytes
        ASSERT_LT(decisions, s.bits.size());
        const auto bits = DecodeAll(data, s, 2, decisions);
        EXPECT_TRUE(std::equal(bits.begin(), bits.end(), s.bits.begin()));
    }
}

TEST(ArithmeticCoder, DecoderRefusesStreamsThatEndEarly) {
    EXPECT_THROW(ArithmeticDecoder(nullptr, 0), Error);
    const Sequence s = Random(1000, 0.5, 1, 3);
    auto data = EncodeAll(s, 1);
    data.resize(data.size() - 1);
    ArithmeticDecoder decoder(data.data(), data.size());
    Context context;
    EXPECT_THROW(for (std::size_t i = 0; i < s.bits.size(); ++i) decoder.Decode(context), Error);
}

}  // namespace
}  // namespace tesora::codec
