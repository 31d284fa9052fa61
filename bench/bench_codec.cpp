// The compressed file on the largest picture (camera-512 enlarged to 1025 x 1025, red
// channel, BLaC at Delta 0 or cdf97, five steps, the norm rule) at 1 bit per pixel: the bit-plane
// coder alone (megabytes of picture per second) and the whole road of a file, transform
// included, each way (with a workspace kept from run to run, as a caller coding many
// pictures keeps it).
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "codec/BitPlaneCoder.h"
#include "codec/PictureCodec.h"
#include "codec/PlaneTransform.h"
#include "tests/support/BmpReader.h"

namespace {

using namespace tesora;
using namespace tesora::codec;

constexpr int kSide = 1025;
constexpr std::size_t kBytes = std::size_t{kSide} * kSide / 8;  // 1 bit per pixel

const analysis::RedPicture& Picture() {
    static const analysis::RedPicture picture = [] {
        const MemorySurface camera = testing::ReadBmp(std::string(TESORA_SOURCE_DIR) + "/samples/camera-512.bmp");
        analysis::RedPicture p{kSide, kSide, {}};
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                p.red.push_back(static_cast<std::uint8_t>(
                    camera.GetPixel(x * camera.Width() / kSide, y * camera.Height() / kSide) & 0xFF));
        return p;
    }();
    return picture;
}

// The picture's quantisation indices, read back from a whole stream (every index decoded
// to its last bit comes back as q + sign(q) / 2).
std::vector<std::vector<BandValues>> Indices() {
    const auto file = EncodePicture({Picture()}, EncodeRequest{});
    const File read = ReadFile(file.data(), file.size());
    std::vector<std::vector<BandShape>> shapes(1);
    for (const SquareBand& band : PlaneTransform(read.header).Bands()) shapes[0].push_back(band.shape);
    const auto values = DecodePlanes(shapes, read.data.data(), read.data.size(), read.header.decisions);
    std::vector<std::vector<BandValues>> indices(1);
    for (std::size_t b = 0; b < shapes[0].size(); ++b) {
        BandValues band{shapes[0][b], {}};
        for (double v : values[0][b]) band.q.push_back(static_cast<std::int32_t>(std::trunc(v)));
        indices[0].push_back(std::move(band));
    }
    return indices;
}

void BM_BitPlaneEncode1bpp(benchmark::State& state) {
    const auto indices = Indices();
    for (auto _ : state) benchmark::DoNotOptimize(EncodePlanes(indices, kBytes).data.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_BitPlaneEncode1bpp)->Unit(benchmark::kMillisecond);

void BM_BitPlaneDecode1bpp(benchmark::State& state) {
    const auto indices = Indices();
    const EncodedPlanes encoded = EncodePlanes(indices, kBytes);
    std::vector<std::vector<BandShape>> shapes(1);
    for (const BandValues& band : indices[0]) shapes[0].push_back(band.shape);
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodePlanes(shapes, encoded.data.data(), encoded.data.size(), encoded.decisions));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_BitPlaneDecode1bpp)->Unit(benchmark::kMillisecond);

// Argument: the basis (0 BLaC at Delta 0, 3 cdf97).
void BM_EncodePicture1bpp(benchmark::State& state) {
    EncodeRequest request;
    request.bytes = kBytes;
    request.basis = static_cast<codec::Basis>(state.range(0));
    TransformWorkspace workspace;
    for (auto _ : state) benchmark::DoNotOptimize(EncodePicture({Picture()}, request, &workspace).size());
}
BENCHMARK(BM_EncodePicture1bpp)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_DecodePicture1bpp(benchmark::State& state) {
    EncodeRequest request;
    request.bytes = kBytes;
    request.basis = static_cast<codec::Basis>(state.range(0));
    const auto file = EncodePicture({Picture()}, request);
    TransformWorkspace workspace;
    for (auto _ : state) benchmark::DoNotOptimize(DecodePicture(file.data(), file.size(), &workspace).planes.size());
}
BENCHMARK(BM_DecodePicture1bpp)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
