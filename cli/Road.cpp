#include "cli/Road.h"

#include <cstring>

#include "cli/StandardInput.h"
#include "blac/DeltaControl.h"
#include "report/Opening.h"
#include "tools/DeltaProposal.h"
#include "tools/Loading.h"

namespace tesora::cli {

QImage LoadUsable(const QString& path, bool fit) {
    // Standard input through the same loader and checks as a file.
    if (IsStandardStream(path)) return report::DecodeUsable(StandardInputBytes(), path, fit);
    return report::LoadUsable(path, fit);
}

QImage SurfaceImage(const MemorySurface& surface) {
    return QImage(reinterpret_cast<const uchar*>(surface.Words().data()), surface.Width(), surface.Height(),
                  surface.Width() * 4, QImage::Format_RGB32);
}

void CopyToSurface(const QImage& image, MemorySurface& surface) {
    surface.Resize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(surface.ScanLine(y), image.constScanLine(y), sizeof(std::uint32_t) * image.width());
}

Road::Road(const QString& path, bool fit) {
    StartProgram();
    ShowLevelAndDelta(frontend_);  // as the window's creation leaves the labels
    // The state steps of the window's "Öffnen", in its order.
    CopyToSurface(LoadUsable(path, fit), frontend_.bild);
    frontend_.reduced = frontend_.bild;
    frontend_.reloadOriginal = [path, fit](MemorySurface& reduced) { CopyToSurface(LoadUsable(path, fit), reduced); };
    OpenLoadedPicture(frontend_, path.toStdString());
}

void Road::SetSchrankeText(const QString& text) { SchrankeChanged(text.toStdString()); }
void Road::PressCalcDelta() { CalcDelta(frontend_); }

}  // namespace tesora::cli
