#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "codec/BitPlaneCoder.h"
#include "codec/Colour.h"
#include "codec/Format.h"
#include "matrix/Error.h"

namespace tesora::codec {
namespace {

File SmallFile() {
    BandValues band;
    band.shape = {5, 4, 0, {}};
    band.q = {3, -1, 0, 0, 7, 0, 0, -2, 0, 1, 0, 0, 0, 0, 0, 5, 0, -9, 0, 0};
    const EncodedPlanes encoded = EncodePlanes({{band}});
    File file;
    file.header.width = 19;
    file.header.height = 7;
    file.header.pictureLevel = 5;
    file.header.steps = 2;
    file.header.rule = RuleCode::Norm;
    file.header.synthesis = Synthesis::Exact;
    file.header.delta = 0.1 + 0.2;  // not a short decimal: every bit must survive
    file.header.step = 3.75;
    file.header.decisions = encoded.decisions;
    file.data = encoded.data;
    return file;
}

std::string RefusalOf(const std::vector<std::uint8_t>& bytes) {
    try {
        ReadFile(bytes.data(), bytes.size());
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST(Format, WritesAndReadsEveryField) {
    const File file = SmallFile();
    const auto bytes = WriteFile(file);
    EXPECT_EQ(bytes.size(), kHeaderBytes + file.data.size() + kCrcBytes);
    const File read = ReadFile(bytes.data(), bytes.size());
    EXPECT_EQ(read.header.width, 19);
    EXPECT_EQ(read.header.height, 7);
    EXPECT_EQ(read.header.pictureLevel, 5);
    EXPECT_EQ(read.header.steps, 2);
    EXPECT_EQ(read.header.rule, RuleCode::Norm);
    EXPECT_EQ(read.header.synthesis, Synthesis::Exact);
    EXPECT_EQ(read.header.basis, Basis::Blac);
    EXPECT_EQ(read.header.planes, 1);
    EXPECT_EQ(std::memcmp(&read.header.delta, &file.header.delta, sizeof(double)), 0);
    EXPECT_EQ(read.header.step, 3.75);
    EXPECT_EQ(read.header.decisions, file.header.decisions);
    EXPECT_EQ(read.data, file.data);
}

TEST(Format, EveryChangedCutOrLengthenedFileIsRefused) {
    const auto bytes = WriteFile(SmallFile());
    for (std::size_t at = 0; at < bytes.size(); ++at)
        for (int value = 0; value < 256; ++value) {
            if (value == bytes[at]) continue;
            auto changed = bytes;
            changed[at] = static_cast<std::uint8_t>(value);
            ASSERT_NE(RefusalOf(changed), "") << "byte " << at << " = " << value;
        }
    for (std::size_t size = 0; size < bytes.size(); ++size)
        ASSERT_NE(
            RefusalOf(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size))), "");
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_NE(RefusalOf(longer), "");
}

// A header changed and its CRC made right again: only the field checks stand.
std::vector<std::uint8_t> Resealed(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    const std::size_t covered = bytes.size() - kCrcBytes;
    const std::uint32_t crc = Crc32(bytes.data(), covered);
    for (int i = 0; i < 4; ++i)
        bytes[covered + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    return bytes;
}

TEST(Format, RefusalsNameWhatIsWrong) {
    const auto bytes = WriteFile(SmallFile());
    EXPECT_NE(RefusalOf(Resealed(bytes, 8, 2)).find("Formatversion 2"), std::string::npos);  // the walk changed
    EXPECT_NE(RefusalOf(Resealed(bytes, 10, 2)).find("Ebenen"), std::string::npos);
    EXPECT_NE(RefusalOf(Resealed(bytes, 21, 4)).find("Stufen"), std::string::npos);  // level 5 allows 3 steps
    EXPECT_NE(RefusalOf(Resealed(bytes, 30, 1)).find("reservierte"), std::string::npos);
    auto damaged = bytes;
    damaged[kHeaderBytes + 1] ^= 0x10;
    EXPECT_NE(RefusalOf(damaged).find("Prüfsumme"), std::string::npos);
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
    EXPECT_NE(RefusalOf(png).find("Keine Tesora-Datei"), std::string::npos);
    File wrong = SmallFile();
    wrong.header.basis = Basis::Cdf97;  // Delta 0.3 belongs to BLaC only
    EXPECT_THROW(WriteFile(wrong), Error);
}

TEST(Format, CrcIsZlibs) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0xCBF43926u);
}

TEST(Colour, FullRangeMatrixAndItsInverse) {
    const Triple red = YCbCrOf(255, 0, 0);
    EXPECT_NEAR(red[0], 76.245, 1e-9);
    EXPECT_NEAR(red[1], 84.97232, 1e-9);
    EXPECT_NEAR(red[2], 255.5, 1e-9);
    for (int v : {0, 37, 128, 255}) {
        const Triple grey = YCbCrOf(v, v, v);
        EXPECT_NEAR(grey[0], v, 1e-9);
        EXPECT_NEAR(grey[1], 128.0, 1e-9);
        EXPECT_NEAR(grey[2], 128.0, 1e-9);
    }
    // The rounded inverse of the unrounded planes gives every colour back.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 51) {
                const Triple t = YCbCrOf(r, g, b);
                std::uint8_t rgb[3];
                YCbCrToRgb(&t[0], &t[1], &t[2], 1, rgb, rgb + 1, rgb + 2);
                EXPECT_EQ(rgb[0], r);
                EXPECT_EQ(rgb[1], g);
                EXPECT_EQ(rgb[2], b);
            }
    EXPECT_EQ(ToByte(-3.0), 0);
    EXPECT_EQ(ToByte(254.5), 255);
    EXPECT_EQ(ToByte(NAN), 0);
}

}  // namespace
}  // namespace tesora::codec
