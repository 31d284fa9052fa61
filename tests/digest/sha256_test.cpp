#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "digest/Sha256.h"

namespace {
std::string Hex(const std::string& text) {
    tesora::Sha256 hash;
    hash.Update(text.data(), text.size());
    return hash.FinishHex();
}
}  // namespace

// The published test vectors, including the padding edges at 55, 56 and 64 bytes.
TEST(Sha256, KnownVectors) {
    EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(std::string(55, 'a')), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Hex(std::string(56, 'a')), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Hex(std::string(64, 'a')), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecewiseUpdatesEqualOneUpdate) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>(i * 7);
    tesora::Sha256 pieces;
    for (std::size_t at = 0; at < text.size(); at += 13)
        pieces.Update(text.data() + at, std::min<std::size_t>(13, text.size() - at));
    EXPECT_EQ(pieces.FinishHex(), Hex(text));

    tesora::Sha256 word, bytes;
    word.UpdateDouble(-1.5);  // 0xBFF8000000000000, least significant byte first
    const unsigned char expected[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0xBF};
    bytes.Update(expected, sizeof expected);
    EXPECT_EQ(word.FinishHex(), bytes.FinishHex());
}
