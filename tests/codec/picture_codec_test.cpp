#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "blac/Filters.h"
#include "codec/Colour.h"
#include "codec/PictureCodec.h"
#include "matrix/Error.h"

namespace tesora::codec {
namespace {

using analysis::RedPicture;

// A smooth picture with an edge and some texture, so every band has work.
RedPicture MakePlane(int width, int height, int phase) {
    RedPicture p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = 110 + 60 * std::sin((x + phase) * 0.07) * std::cos(y * 0.05) + (x > width / 2 ? 40 : 0) +
                             ((x * 7 + y * 13 + phase) % 11);
            p.red.push_back(static_cast<std::uint8_t>(v));
        }
    return p;
}

TEST(PictureCodec, WholeStreamIsTheValueRoadsQuantisedReconstruction) {
    const RedPicture picture = MakePlane(100, 70, 0);
    EncodeRequest request;
    request.delta = 0.3;
    request.steps = 3;
    request.rule = RuleCode::Flat;
    request.step = 2.0;
    const auto file = EncodePicture({picture}, request);
    const DecodedPicture decoded = DecodePicture(file.data(), file.size());

    const Filters filters = FiltersOf(0.3);
    TransformWorkspace workspace;
    analysis::Coefficients square = analysis::DecomposePicture(picture, filters, 4, workspace);
    analysis::Quantise(square.View(), analysis::LayoutOf(7, 4, 100, 70), 2.0, nullptr);
    analysis::Reconstruct(square, filters, 7, workspace);
    std::vector<double> expected;
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 100; ++x) expected.push_back(square.At(x, y));
    EXPECT_EQ(decoded.planes.at(0), expected);
}

TEST(PictureCodec, BudgetBoundsTheFileAndBuysQuality) {
    const RedPicture picture = MakePlane(200, 150, 3);
    double previous = 0.0;
    std::size_t whole = 0;
    for (std::size_t bytes : {std::size_t{1000}, std::size_t{3000}, std::size_t{9000}, std::size_t{1} << 30}) {
        EncodeRequest request;
        request.bytes = bytes;
        const auto file = EncodePicture({picture}, request);
        if (bytes < 100000) {
            EXPECT_LE(file.size(), bytes);
            EXPECT_GE(static_cast<double>(file.size()), 0.99 * static_cast<double>(bytes));
        }
        whole = file.size();
        const DecodedPicture decoded = DecodePicture(file.data(), file.size());
        double squared = 0.0;
        for (std::size_t n = 0; n < picture.red.size(); ++n)
            squared += std::pow(decoded.planes[0][n] - picture.red[n], 2);
        const double psnr = 10 * std::log10(255.0 * 255.0 * static_cast<double>(picture.red.size()) / squared);
        EXPECT_GT(psnr, previous + 1.0) << bytes;
        previous = psnr;
    }
    // A budget above the whole stream gives the whole stream, nothing padded.
    EncodeRequest unlimited;
    EXPECT_EQ(EncodePicture({picture}, unlimited).size(), whole);
    EncodeRequest tiny;
    tiny.bytes = 20;
    EXPECT_THROW(EncodePicture({picture}, tiny), Error);
}

TEST(PictureCodec, ColourPlanesComeBackAsRgb) {
    const int width = 90, height = 60;
    const RedPicture r = MakePlane(width, height, 0), g = MakePlane(width, height, 17),
                     b = MakePlane(width, height, 40);
    std::vector<RedPicture> planes(3, RedPicture{width, height, std::vector<std::uint8_t>(r.red.size())});
    RgbToYCbCr(r.red.data(), g.red.data(), b.red.data(), r.red.size(), planes[0].red.data(), planes[1].red.data(),
               planes[2].red.data());
    EncodeRequest request;
    request.step = 0.25;
    const auto file = EncodePicture(planes, request);
    const DecodedPicture decoded = DecodePicture(file.data(), file.size());
    ASSERT_EQ(decoded.header.planes, 3);
    const auto rgb = ToRgbBytes(decoded);
    int worst = 0;
    for (std::size_t n = 0; n < r.red.size(); ++n) {
        worst = std::max(worst, std::abs(rgb[3 * n] - r.red[n]));
        worst = std::max(worst, std::abs(rgb[3 * n + 1] - g.red[n]));
        worst = std::max(worst, std::abs(rgb[3 * n + 2] - b.red[n]));
    }
    EXPECT_LE(worst, 3);  // the byte planes' rounding, nothing of the coder
}

TEST(PictureCodec, RefusesWhatItCannotCodeOrDecode) {
    EXPECT_THROW(EncodePicture({MakePlane(40, 80, 0)}, EncodeRequest{}), Error);  // higher than its 65-square
    File file;
    file.header = {40, 30, 6, 2, Basis::Blac, RuleCode::Flat, Synthesis::Exact, Padding::Zero, 1, 0.5, 1.0, 0};
    const auto bytes = WriteFile(file);
    EXPECT_THROW(DecodePicture(bytes.data(), bytes.size()), Error);
}

}  // namespace
}  // namespace tesora::codec
