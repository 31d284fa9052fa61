#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tools/Analysis.h"
#include "codec/Colour.h"
#include "codec/PictureCodec.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"

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

// The whole stream decodes to the value road's quantised reconstruction, to the byte, for
// every basis and synthesis: one quantiser, one coded set, one synthesis.
TEST(PictureCodec, WholeStreamIsTheValueRoadsQuantisedReconstruction) {
    const RedPicture picture = MakePlane(100, 70, 0);
    struct Case {
        Basis basis;
        double delta;
        Synthesis synthesis;
        RuleCode rule;
    };
    for (const Case& c : {Case{Basis::Blac, 0.3, Synthesis::Specified, RuleCode::Flat},
                          Case{Basis::Blac, 0.7, Synthesis::Exact, RuleCode::Norm},
                          Case{Basis::Haar, 0.0, Synthesis::Specified, RuleCode::Norm},
                          Case{Basis::Cdf53, 0.0, Synthesis::Specified, RuleCode::Flat},
                          Case{Basis::Cdf97, 0.0, Synthesis::Specified, RuleCode::Norm}}) {
        EncodeRequest request;
        request.basis = c.basis;
        request.delta = c.delta;
        request.synthesis = c.synthesis;
        request.steps = 3;
        request.rule = c.rule;
        request.step = 2.0;
        const auto file = EncodePicture({picture}, request);
        // The value road's bytes cut its values (the windows' conversion); the decoder rounds.
        const DecodedPicture decoded = DecodePicture(file.data(), file.size());

        const analysis::AnalysisOptions options{static_cast<tesora::Basis>(c.basis), analysis::Padding::Zero};
        analysis::PictureAnalysis road(picture, c.delta, 4, nullptr, nullptr,
                                       static_cast<tesora::Synthesis>(c.synthesis), options);
        analysis::RowRequest row;
        row.rule.kind = c.rule == RuleCode::Norm ? analysis::RuleKind::Norm : analysis::RuleKind::Flat;
        row.quantiseStep = 2.0;
        row.withBytes = true;
        const std::vector<std::uint8_t> expected = road.Row(row).bytes;
        ASSERT_EQ(decoded.planes[0].size(), expected.size());
        std::size_t differing = 0;
        for (std::size_t n = 0; n < expected.size(); ++n) differing += ClampToByte(decoded.planes[0][n]) != expected[n];
        EXPECT_EQ(differing, 0u) << static_cast<int>(c.basis) << " " << static_cast<int>(c.synthesis);
    }
}

// A finely coded grey picture comes back without bias: its bytes are the decoded values
// rounded, not cut (cutting would lower every pixel by half a grey level on average).
TEST(PictureCodec, GreyDecodesRoundedWithoutBias) {
    const RedPicture picture = MakePlane(120, 80, 5);
    EncodeRequest request;
    request.basis = Basis::Cdf97;
    request.step = 0.25;
    const auto file = EncodePicture({picture}, request);
    const auto rgb = ToRgbBytes(DecodePicture(file.data(), file.size()));
    double bias = 0.0;
    int worst = 0;
    for (std::size_t n = 0; n < picture.red.size(); ++n) {
        bias += rgb[3 * n] - picture.red[n];
        worst = std::max(worst, std::abs(rgb[3 * n] - picture.red[n]));
    }
    EXPECT_LE(worst, 1);
    EXPECT_LT(std::fabs(bias / static_cast<double>(picture.red.size())), 0.05);
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
    EncodeRequest request;
    request.step = 0.25;
    const auto file = EncodePicture({r, g, b}, request);
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
    EncodeRequest haarWithDelta;
    haarWithDelta.basis = Basis::Haar;
    haarWithDelta.delta = 0.5;
    EXPECT_THROW(EncodePicture({MakePlane(40, 30, 0)}, haarWithDelta), Error);
    File file;  // mirrored padding is a code the format keeps but the coder does not compute
    file.header = {40, 30, 6, 2, Basis::Blac, RuleCode::Flat, Synthesis::Specified, Padding::Mirror, 1, 0.5, 1.0, 0};
    const auto bytes = WriteFile(file);
    EXPECT_THROW(DecodePicture(bytes.data(), bytes.size()), Error);
}

}  // namespace
}  // namespace tesora::codec
