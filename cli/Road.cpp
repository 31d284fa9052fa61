#include "cli/Road.h"

#include <algorithm>
#include <cstring>

#include "cli/StandardInput.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "report/Opening.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora::cli {

QImage LoadUsable(const QString& path, bool fit) {
    // Standard input through the same loader and checks as a file.
    if (IsStandardStream(path)) return report::DecodeUsable(StandardInputBytes(), path, fit);
    return report::LoadUsable(path, fit);
}

QImage SurfaceImage(const MemorySurface& surface) {
    return QImage(reinterpret_cast<const uchar*>(surface.Words().data()), surface.Width(),
                  surface.Height(), surface.Width() * 4, QImage::Format_RGB32);
}

void CopyToSurface(const QImage& image, MemorySurface& surface) {
    surface.Resize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(surface.ScanLine(y), image.constScanLine(y), sizeof(std::uint32_t) * image.width());
}

Road::Road(const QString& path, bool fit) : Road(path, QImage(), fit) {}

Road::Road(const QString& path, const QImage& opened, bool fit) : path_(path) {
    StartProgram();
    ShowLevelAndDelta(frontend_);  // as the window's creation leaves the labels
    // The state steps of the window's "Öffnen", in its order.
    original_ = opened.isNull() ? LoadUsable(path, fit) : opened;
    CopyToSurface(original_, frontend_.bild);
    frontend_.reduced = frontend_.bild;
    frontend_.reloadOriginal = [path, fit](MemorySurface& reduced) { CopyToSurface(LoadUsable(path, fit), reduced); };
    OpenLoadedPicture(frontend_, path.toStdString());
}

Road::Snapshot Road::Take() const {
    const auto side = static_cast<std::size_t>(Pow2Int[PictureLevel] + 1);
    const double* elements = CoeffMatrix.Data();
    const std::size_t stride = static_cast<std::size_t>(CoeffMatrix.Cols());
    return {frontend_.bild, frontend_.labels, frontend_.enabled,
            std::vector<double>(elements, elements + side * stride), CurrentLevel, frontend_.trackPosition};
}

void Road::CompareWithOpenedPicture() {
    frontend_.reloadOriginal = [this](MemorySurface& reduced) { CopyToSurface(original_, reduced); };
}

void Road::Restore(const Snapshot& snapshot) {
    frontend_.bild = snapshot.bild;
    frontend_.labels = snapshot.labels;
    frontend_.enabled = snapshot.enabled;
    std::copy(snapshot.coefficients.begin(), snapshot.coefficients.end(), CoeffMatrix.Data());
    CurrentLevel = snapshot.currentLevel;
    frontend_.trackPosition = snapshot.trackPosition;
}

void Road::SetRawDelta(double delta) {
    Delta = delta;
    ShowLevelAndDelta(frontend_);
    RebuildWaveletCoeffs();
}

void Road::MoveTrackBar(int level) { frontend_.MoveTrackBar(level); }

void Road::SetEpsilonText(const QString& text) { EpsilonChanged(text.toStdString()); }
void Road::SetSchrankeText(const QString& text) { SchrankeChanged(text.toStdString()); }
int Road::PressReduce() { return Reduce(frontend_); }
double Road::PressFehler() { return MeasureError(frontend_); }
void Road::PressCalcDelta() { CalcDelta(frontend_); }

}  // namespace tesora::cli
