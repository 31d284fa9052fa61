#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "codec/BitPlaneCoder.h"
#include "matrix/Error.h"

namespace tesora::codec {
namespace {

using Planes = std::vector<std::vector<BandValues>>;

// Indices like those of a transformed picture: mostly small, a few large, larger in the
// coarse bands; every third band with a mask that leaves a border out; last a sparse band
// over several cleanup blocks, one corner of them not coded at all.
Planes MakePlanes(int planeCount, unsigned seed) {
    std::mt19937 random(seed);
    Planes planes(static_cast<std::size_t>(planeCount));
    const int sizes[][2] = {{9, 9}, {8, 9}, {9, 8}, {8, 8}, {16, 17}, {17, 16}, {16, 16}};
    for (auto& plane : planes)
        for (int b = 0; b < 7; ++b) {
            BandValues band;
            band.shape = {sizes[b][0], sizes[b][1], b == 0 ? 0 : 1 + (b - 1) % 3, {}};
            const double scale = b == 0 ? 300.0 : 40.0 / b;
            std::exponential_distribution<double> magnitude(1.0 / scale);
            std::bernoulli_distribution negative(0.5);
            for (int i = 0; i < band.shape.width * band.shape.height; ++i) {
                const auto q = static_cast<std::int32_t>(std::floor(magnitude(random)));
                band.q.push_back(negative(random) ? -q : q);
            }
            if (b % 3 == 2) {
                for (int y = 0; y < band.shape.height; ++y)
                    for (int x = 0; x < band.shape.width; ++x)
                        band.shape.coded.push_back(x + 1 < band.shape.width && y > 0 ? 1 : 0);
            }
            plane.push_back(band);
        }
    for (auto& plane : planes) {
        BandValues sparse;
        sparse.shape = {40, 37, 3, {}};
        std::uniform_int_distribution<int> spike(-200, 200), where(0, 60);
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 40; ++x) {
                sparse.q.push_back(where(random) == 0 ? spike(random) : 0);
                sparse.shape.coded.push_back(x < 32 || y < 16 ? 1 : 0);
            }
        plane.push_back(sparse);
    }
    return planes;
}

std::vector<std::vector<BandShape>> ShapesOf(const Planes& planes) {
    std::vector<std::vector<BandShape>> shapes(planes.size());
    for (std::size_t c = 0; c < planes.size(); ++c)
        for (const BandValues& band : planes[c]) shapes[c].push_back(band.shape);
    return shapes;
}

// Squared error of decoded values (in units of the step) against the indices' midpoints.
double SquaredError(const Planes& planes, const std::vector<std::vector<std::vector<double>>>& decoded) {
    double sum = 0.0;
    for (std::size_t c = 0; c < planes.size(); ++c)
        for (std::size_t b = 0; b < planes[c].size(); ++b)
            for (std::size_t i = 0; i < planes[c][b].q.size(); ++i) {
                const std::int32_t q = planes[c][b].q[i];
                const bool coded = planes[c][b].shape.coded.empty() || planes[c][b].shape.coded[i] != 0;
                const double value = !coded || q == 0 ? 0.0 : q + (q < 0 ? -0.5 : 0.5);
                sum += (value - decoded[c][b][i]) * (value - decoded[c][b][i]);
            }
    return sum;
}

TEST(BitPlaneCoder, WholeStreamGivesEveryCodedIndexBack) {
    for (int planeCount : {1, 3}) {
        const Planes planes = MakePlanes(planeCount, 5u + static_cast<unsigned>(planeCount));
        const EncodedPlanes encoded = EncodePlanes(planes);
        EXPECT_TRUE(encoded.complete);
        const auto decoded =
            DecodePlanes(ShapesOf(planes), encoded.data.data(), encoded.data.size(), encoded.decisions);
        // Masked-out coefficients decode as 0 whatever their index was.
        EXPECT_EQ(SquaredError(planes, decoded), 0.0);
    }
}

TEST(BitPlaneCoder, BudgetCutsTheStreamAndTheErrorFalls) {
    const Planes planes = MakePlanes(3, 21);
    const EncodedPlanes whole = EncodePlanes(planes);
    double previous = INFINITY;
    for (std::size_t limit :
         {whole.data.size() / 20, whole.data.size() / 4, whole.data.size() / 2, whole.data.size() - 1}) {
        const EncodedPlanes cut = EncodePlanes(planes, limit);
        EXPECT_FALSE(cut.complete);
        EXPECT_LE(cut.data.size(), limit);
        EXPECT_GE(cut.data.size() + 4, limit);
        const auto decoded = DecodePlanes(ShapesOf(planes), cut.data.data(), cut.data.size(), cut.decisions);
        const double error = SquaredError(planes, decoded);
        EXPECT_LT(error, previous) << limit;
        previous = error;
    }
    // A budget below the four bytes of an empty stream leaves no data, which decodes as zeros.
    const EncodedPlanes none = EncodePlanes(planes, 3);
    EXPECT_TRUE(none.data.empty());
    EXPECT_EQ(none.decisions, 0u);
    const auto zeros = DecodePlanes(ShapesOf(planes), nullptr, 0, 0);
    EXPECT_EQ(zeros[1][3], std::vector<double>(64, 0.0));
}

TEST(BitPlaneCoder, DecoderRefusesADecisionCountThatDoesNotMatch) {
    const Planes planes = MakePlanes(1, 3);
    const EncodedPlanes encoded = EncodePlanes(planes);
    const auto shapes = ShapesOf(planes);
    const std::uint8_t* data = encoded.data.data();
    // One more than the shapes take; fewer leave bytes unread.
    EXPECT_THROW(DecodePlanes(shapes, data, encoded.data.size(), encoded.decisions + 1), Error);
    EXPECT_THROW(DecodePlanes(shapes, data, encoded.data.size(), encoded.decisions / 2), Error);
    // A band fewer leaves decisions no coefficient takes.
    auto other = shapes;
    other[0].pop_back();
    EXPECT_THROW(DecodePlanes(other, data, encoded.data.size(), encoded.decisions), Error);
}

TEST(BitPlaneCoder, EncoderRefusesBandsThatDoNotAgree) {
    Planes planes = MakePlanes(1, 4);
    planes[0][1].q.pop_back();
    EXPECT_THROW(EncodePlanes(planes), Error);
    planes = MakePlanes(1, 4);
    planes[0][1].q[0] = kMaxMagnitude + 1;
    EXPECT_THROW(EncodePlanes(planes), Error);
    planes = MakePlanes(1, 4);
    planes[0][0].shape.kind = kBandKinds;
    EXPECT_THROW(EncodePlanes(planes), Error);
}

}  // namespace
}  // namespace tesora::codec

#include "codec/PlaneTransform.h"

namespace tesora::codec {
namespace {

// Every pixel's coefficient of a lifting basis is coded exactly once, in any picture shape.
TEST(PlaneTransform, LiftingBandsCoverThePictureOnce) {
    Header h;
    h.width = 45;
    h.height = 23;
    h.pictureLevel = PictureLevelFor(45);
    h.steps = 3;
    h.basis = Basis::Cdf97;
    const PlaneTransform transform(h);
    std::vector<int> cover(static_cast<std::size_t>(transform.Side() * transform.Side()), 0);
    for (const SquareBand& band : transform.Bands())
        for (int i = 0; i < band.shape.height; ++i)
            for (int j = 0; j < band.shape.width; ++j)
                if (band.shape.coded[static_cast<std::size_t>(i * band.shape.width + j)])
                    ++cover[static_cast<std::size_t>((band.firstI + i) * transform.Side() + band.firstJ + j)];
    for (int i = 0; i < transform.Side(); ++i)
        for (int j = 0; j < transform.Side(); ++j)
            ASSERT_EQ(cover[static_cast<std::size_t>(i * transform.Side() + j)], i < 45 && j < 23 ? 1 : 0) << i << j;
}

}  // namespace
}  // namespace tesora::codec
