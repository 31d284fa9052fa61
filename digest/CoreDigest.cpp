// tesora-digest: SHA-256 digests of the core's results that must not depend on the
// compiler, the processor or the extended type: the filters at every Delta position,
// one decomposition 10 -> 2 and its reconstruction of a generated 1025 x 1025 picture,
// the Delta proposal of that picture, and the compressed streams of generated pictures.
// Every build must print the same lines.
#include <cstddef>
#include <cstdio>
#include <string>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "digest/CodecDigest.h"
#include "digest/Sha256.h"
#include "mra/LevelChange.h"
#include "tools/DeltaProposal.h"
#include "tools/Loading.h"
#include "tools/MemoryFrontend.h"

using namespace tesora;

namespace {

constexpr int kSide = kMaxSide;
constexpr int kTransformPosition = 61;

// Integer-only pattern: uniform areas, ramps and texture, so every path of the solve
// and of the proposal is taken; no library function decides a pixel.
int GeneratedGrey(int x, int y) {
    if (x < 300 && y < 300) return 128;
    if (x < 300) return (y / 4) % 256;
    if (y < 300) return (x * 3 + y) % 256;
    const unsigned mixed = static_cast<unsigned>(x * 37 + y * 91) ^ (static_cast<unsigned>(x * y) >> 5);
    return static_cast<int>(mixed & 255u);
}

void HashFilters(Sha256& hash) {
    for (int position = 0; position <= 100; ++position) {
        Delta = DeltaFromPosition(position);
        RebuildWaveletCoeffs();
        hash.UpdateDouble(Delta);
        hash.UpdateWord(static_cast<std::uint32_t>(PositionFromDelta(Delta)));
        for (double w : WaveletLeft) hash.UpdateDouble(w);
        for (double w : WaveletInner) hash.UpdateDouble(w);
        for (double w : WaveletRight) hash.UpdateDouble(w);
        hash.UpdateDouble(OneMinusHalfDelta);
        hash.UpdateDouble(HalfDelta);
    }
}

void HashMatrix(Sha256& hash) {
    const double* data = CoeffMatrix.Data();
    for (std::size_t i = 0; i < static_cast<std::size_t>(kSide) * kSide; ++i) hash.UpdateDouble(data[i]);
}

void HashSurface(Sha256& hash, const MemorySurface& surface) {
    for (const std::uint32_t word : surface.Words()) hash.UpdateWord(word);
}

}  // namespace

int main() {
    InitPowerTables();
    FillLevelMatrixTable();
    ResetState();
    RebuildWaveletCoeffs();

    Sha256 filters;
    HashFilters(filters);
    const std::string filtersHex = filters.FinishHex();

    MemoryFrontend frontend;
    frontend.bild.Resize(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) frontend.bild.SetGrey(x, y, GeneratedGrey(x, y));
    frontend.reduced = frontend.bild;
    PictureWidth = PictureHeight = kSide;
    CurrentLevel = PictureLevel = FindPictureLevel();
    ReadColourValues(frontend);
    Delta = DeltaFromPosition(kTransformPosition);
    RebuildWaveletCoeffs();

    Sha256 decomposed;
    for (int L = PictureLevel - 1; L >= 2; --L) {
        CurrentLevel = L;
        DecomposeLevel(frontend, L);
    }
    HashMatrix(decomposed);
    HashSurface(decomposed, frontend.bild);
    const std::string decomposedHex = decomposed.FinishHex();

    Sha256 reconstructed;
    for (int L = 2; L < PictureLevel; ++L) {
        ReconstructLevel(frontend, L);
        CurrentLevel = L + 1;
    }
    HashMatrix(reconstructed);
    HashSurface(reconstructed, frontend.bild);
    const std::string reconstructedHex = reconstructed.FinishHex();

    Sha256 proposal;
    CalcDelta(frontend);
    proposal.UpdateDouble(Delta);
    proposal.UpdateDouble(DifferenceSumBelow);
    proposal.UpdateDouble(DifferenceSumTotal);
    proposal.UpdateWord(static_cast<std::uint32_t>(frontend.deltaPosition));
    HashSurface(proposal, frontend.reduced);
    for (double w : WaveletInner) proposal.UpdateDouble(w);
    const std::string proposalHex = proposal.FinishHex();

    std::printf("filters 0-100        %s\n", filtersHex.c_str());
    std::printf("decomposition 10->2  %s\n", decomposedHex.c_str());
    std::printf("reconstruction 2->10 %s\n", reconstructedHex.c_str());
    std::printf("Delta proposal       %s (Delta %.17g)\n", proposalHex.c_str(), Delta);
    std::printf("coded stream         %s\n", CodecDigestHex().c_str());
    return 0;
}
