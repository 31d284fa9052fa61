// libFuzzer target: a picture file's bytes through the loader, then the program's whole
// road on the in-memory frontend: open, track bar two levels down, "Reduce", back up,
// "Fehler?", "Calc Delta". A crash, a sanitizer report or a wrong result ends the run.
#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "mra/LevelChange.h"
#include "picture/PictureFile.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Loading.h"
#include "tools/MemoryFrontend.h"
#include "tools/Reduction.h"

namespace {

using namespace tesora;

// Larger pictures only decode: one road over a 1025-wide picture takes seconds under
// the sanitizers, and the small ones reach every branch of the road.
constexpr int kRoadMaxWidth = 129;
constexpr int kRoadMaxHeight = 300;

void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "wrong result: %s\n", what);
    std::abort();
}

void CopyInto(const QImage& picture, MemorySurface& surface) {
    surface.Resize(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(surface.ScanLine(y), picture.constScanLine(y), 4 * static_cast<std::size_t>(picture.width()));
}

void Road(const QImage& picture) {
    // The state of a fresh start; the tables stay from the first run. "Calc Delta" of the
    // previous run moved Delta, so the filters are built again.
    ResetState();
    RebuildWaveletCoeffs();
    MemoryFrontend frontend;
    ShowLevelAndDelta(frontend);
    CopyInto(picture, frontend.bild);
    CopyInto(picture, frontend.reduced);
    frontend.reloadOriginal = [&picture](MemorySurface& reduced) { CopyInto(picture, reduced); };
    PictureWidth = picture.width();
    PictureHeight = picture.height();
    CurrentLevel = FindPictureLevel();
    PictureLevel = CurrentLevel;
    ReadColourValues(frontend);
    Require(MeasureError(frontend) == 0.0, "Fehler? right after opening is not 0");

    const int down = std::max(2, PictureLevel - 2);
    if (PictureLevel >= 2) LevelChange(frontend, down);
    Reduce(frontend);
    if (PictureLevel >= 2) LevelChange(frontend, PictureLevel);
    const double error = MeasureError(frontend);
    Require(std::isfinite(error) && error >= 0.0 && error <= 255.0, "Fehler? outside 0 to 255");
    Require(frontend.bild.Width() == picture.width() && frontend.bild.Height() == picture.height(),
            "the main picture changed its size");
    CalcDelta(frontend);
    Require(Delta >= 0.0 && Delta <= 1.0, "the proposed Delta lies outside 0 to 1");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    AllocateMatrixBank();
    InitPowerTables();
    FillLevelMatrixTable();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QImage picture;
    try {
        picture = DecodePictureData(data, size, QStringLiteral("fuzz"), 0x00);
    } catch (const Error&) {
        return 0;  // refused: what the program must do with a bad file
    }
    Require(picture.format() == QImage::Format_RGB32, "not RGB32");
    Require(picture.width() >= 1 && picture.width() <= kMaxSide, "width out of bounds");
    Require(picture.height() >= 1 && static_cast<qint64>(picture.width()) * picture.height() <= kMaxPicturePixels,
            "more pixels than the bound");
    // A complete decode depends on the bytes alone: into memory filled with other bytes
    // it must give the same picture, or some pixel was never written.
    Require(DecodePictureData(data, size, QStringLiteral("fuzz"), 0xA5) == picture, "two decodes differ");
    if (picture.width() <= kRoadMaxWidth && picture.height() <= kRoadMaxHeight) Road(picture);
    return 0;
}
