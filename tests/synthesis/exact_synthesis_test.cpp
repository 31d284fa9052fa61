// The exact synthesis against the analysis it inverts: single lines at every scroll
// position and level, and whole pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "blac/DeltaControl.h"
#include "mra/ExactSynthesis.h"
#include "tools/Analysis.h"
#include "tools/Coding.h"

using namespace tesora;

namespace {

// `count` lines (stride kChunk) through one analysis step: c and d into rows 0 ... 2n.
std::vector<double> Analyse(const Filters& filters, int L, const std::vector<double>& lines, std::size_t count) {
    AnalysisSetup setup;
    PrepareAnalysisSetup(setup, filters, L);
    std::vector<double> cd(lines.size());
    SmoothChunk(setup, lines.data(), kChunk, cd.data(), kChunk, count);
    DetailChunk(setup, lines.data(), kChunk, cd.data(), kChunk, count);
    return cd;
}

double MaxAbs(const std::vector<double>& v) {
    double m = 0.0;
    for (double x : v) m = std::max(m, std::fabs(x));
    return m;
}

}  // namespace

TEST(ExactSynthesis, InvertsTheAnalysisAtEveryPositionAndLevel) {
    std::mt19937 random(31);
    std::uniform_real_distribution<double> grey(0.0, 255.0);
    constexpr std::size_t kLines = 3;
    for (int L = 2; L <= 10; ++L) {
        const std::size_t size = (std::size_t{2} << L) + 1;
        for (int position = 0; position <= 100; ++position) {
            const Filters filters = FiltersOf(DeltaFromPosition(position));
            std::vector<double> lines(size * kChunk, 0.0);
            for (std::size_t i = 0; i < size; ++i)
                for (std::size_t m = 0; m < kLines; ++m) lines[i * kChunk + m] = grey(random);
            const std::vector<double> cd = Analyse(filters, L, lines, kLines);

            ExactSynthesis exact;
            exact.Prepare(filters, L);
            std::vector<double> back(lines.size(), 0.0);
            exact.Chunk(cd.data(), kChunk, back.data(), kChunk, kLines);
            double error = 0.0;
            for (std::size_t i = 0; i < size; ++i)
                for (std::size_t m = 0; m < kLines; ++m)
                    error = std::max(error, std::fabs(back[i * kChunk + m] - lines[i * kChunk + m]));
            ASSERT_LE(error, 1e-9 * MaxAbs(lines)) << "level " << L << ", position " << position;

            // The specified synthesis is no inverse once Delta > 0: the test can tell.
            if (position == 50 && L == 3) {
                std::vector<double> specified(lines.size(), 0.0);
                SynthesiseChunk(filters, 1 << L, cd.data(), kChunk, specified.data(), kChunk, kLines);
                double off = 0.0;
                for (std::size_t i = 0; i < size; ++i)
                    off = std::max(off, std::fabs(specified[i * kChunk] - lines[i * kChunk]));
                EXPECT_GT(off, 0.1);
            }
        }
    }
}

TEST(ExactSynthesis, SingleLineWithUnitStridesEqualsTheChunk) {
    const Filters filters = FiltersOf(DeltaFromPosition(73));
    ExactSynthesis exact;
    exact.Prepare(filters, 3);
    std::vector<double> cd(17), line(17);
    for (std::size_t i = 0; i < cd.size(); ++i) cd[i] = std::sin(static_cast<double>(i)) * 40.0;
    exact.Chunk(cd.data(), 1, line.data(), 1, 1);
    std::vector<double> chunk(17 * kChunk, 0.0), out(17 * kChunk, 0.0);
    for (std::size_t i = 0; i < cd.size(); ++i) chunk[i * kChunk + 5] = cd[i];
    exact.Chunk(chunk.data(), kChunk, out.data(), kChunk, 6);
    for (std::size_t i = 0; i < line.size(); ++i) EXPECT_EQ(out[i * kChunk + 5], line[i]) << i;
}

TEST(ExactSynthesis, WholePictureComesBackWithNothingRemoved) {
    analysis::RedPicture picture;
    picture.width = 300;
    picture.height = 180;
    std::mt19937 random(7);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.red.push_back(
                static_cast<std::uint8_t>((x * 3 + y * y / 7 + static_cast<int>(random() % 40)) % 256));
    for (int position : {0, 37, 100}) {
        const Filters filters = FiltersOf(DeltaFromPosition(position));
        TransformWorkspace workspace;
        analysis::Coefficients square = analysis::DecomposePicture(picture, filters, 2, workspace);
        analysis::ReconstructExact(square, analysis::ExactLevels(filters, 2, square.pictureLevel), square.pictureLevel,
                                   workspace);
        const analysis::Quality quality = analysis::Measure(square.View(), picture);
        EXPECT_GE(quality.psnrExact, 150.0) << position;
    }
}

TEST(ExactSynthesis, TransposedLineIsTheAdjoint) {
    ExactSynthesis exact;
    exact.Prepare(FiltersOf(DeltaFromPosition(41)), 4);
    std::mt19937 random(3);
    std::normal_distribution<double> normal;
    std::vector<double> x(33), y(33), sx(33), sty(33);
    for (std::size_t i = 0; i < 33; ++i) x[i] = normal(random), y[i] = normal(random);
    exact.Chunk(x.data(), 1, sx.data(), 1, 1);
    exact.TransposedLine(y.data(), sty.data());
    double left = 0.0, right = 0.0;
    for (std::size_t i = 0; i < 33; ++i) left += sx[i] * y[i], right += x[i] * sty[i];
    EXPECT_NEAR(left, right, 1e-12 * (std::fabs(left) + 1));
}
