// Scaling down to fit: the sizes at the bounds and the pixels against a brute-force
// area average (each source pixel split into w x h equal cells, each result pixel the
// mean of its W x H block of cells).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "picture/FitPicture.h"

namespace tesora {
namespace {

std::vector<std::uint32_t> BruteForce(const std::vector<std::uint32_t>& source, int W, int H, int w, int h) {
    std::vector<std::uint32_t> result(static_cast<std::size_t>(w * h));
    for (int Y = 0; Y < h; ++Y)
        for (int X = 0; X < w; ++X) {
            std::uint64_t sums[3] = {0, 0, 0};
            // Cells of the fine grid (W w columns, H h rows) inside result pixel (X, Y).
            for (int cy = Y * H; cy < (Y + 1) * H; ++cy)
                for (int cx = X * W; cx < (X + 1) * W; ++cx) {
                    const std::uint32_t word = source[static_cast<std::size_t>((cy / h) * W + cx / w)];
                    sums[0] += (word >> 16) & 0xFF;
                    sums[1] += (word >> 8) & 0xFF;
                    sums[2] += word & 0xFF;
                }
            const std::uint64_t cells = static_cast<std::uint64_t>(W) * H;
            std::uint32_t word = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                word |= static_cast<std::uint32_t>((2 * sums[c] + cells) / (2 * cells)) << (16 - 8 * c);
            result[static_cast<std::size_t>(Y * w + X)] = word;
        }
    return result;
}

TEST(FitPicture, SizesKeepTheAspectAndBothBounds) {
    EXPECT_EQ(FittedSize(1025, 4096).width, 1025);
    EXPECT_EQ(FittedSize(1025, 4096).height, 4096);
    EXPECT_EQ(FittedSize(300, 200).width, 300);
    const FitSize phone = FittedSize(4000, 3000);
    EXPECT_EQ(phone.width, 1025);
    EXPECT_EQ(phone.height, 769);  // 768.75 rounded
    EXPECT_EQ(FittedSize(1026, 10).height, 10);
    EXPECT_EQ(FittedSize(100000, 1).height, 1);  // never below one row
    // Bound by the pixels: narrow enough, but too tall.
    for (const auto& [W, H] :
         {std::pair{1000, 5000}, std::pair{2000, 20000}, std::pair{1, 5000000}, std::pair{1025, 4097}}) {
        const FitSize s = FittedSize(W, H);
        EXPECT_LE(s.width, kMaxSide) << W << "x" << H;
        EXPECT_LE(std::int64_t{s.width} * s.height, kFitPixels) << W << "x" << H;
        if (s.width == 1) continue;  // the aspect cannot be kept below one column
        // The largest such width: one column more would break the bound.
        const std::int64_t wider = s.width + 1;
        const std::int64_t widerHeight = (std::int64_t{H} * wider * 2 + W) / (2 * W);
        EXPECT_TRUE(wider > W || wider > kMaxSide || wider * widerHeight > kFitPixels) << W << "x" << H;
    }
}

TEST(FitPicture, PixelsAreTheExactAreaAverage) {
    std::mt19937 random(7);
    for (const auto& [W, H, w, h] : {std::tuple{7, 5, 3, 2}, std::tuple{10, 10, 4, 4}, std::tuple{9, 13, 9, 6},
                                     std::tuple{13, 4, 5, 4}, std::tuple{6, 6, 1, 1}, std::tuple{31, 17, 8, 5}}) {
        std::vector<std::uint32_t> source(static_cast<std::size_t>(W * H));
        for (auto& word : source) word = static_cast<std::uint32_t>(random());
        // A wider stride than the row: the padding must not be read.
        std::vector<std::uint32_t> padded(static_cast<std::size_t>((W + 3) * H), 0x00123456u);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                padded[static_cast<std::size_t>(y * (W + 3) + x)] = source[static_cast<std::size_t>(y * W + x)];
        EXPECT_EQ(AreaAverage(padded.data(), W, H, W + 3, {w, h}), BruteForce(source, W, H, w, h))
            << W << "x" << H << " -> " << w << "x" << h;
    }
}

TEST(FitPicture, FlatAreasStayFlatAndSameSizeCopies) {
    const std::vector<std::uint32_t> grey(40 * 30, 0xFF7F7F7Fu);
    for (const std::uint32_t word : AreaAverage(grey.data(), 40, 30, 40, {17, 11})) EXPECT_EQ(word, 0xFF7F7F7Fu);
    std::vector<std::uint32_t> source(12);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203);
    EXPECT_EQ(AreaAverage(source.data(), 4, 3, 4, {4, 3}), source);
}

}  // namespace
}  // namespace tesora
