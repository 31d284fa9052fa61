#include "cli/Road.h"

#include <QFileInfo>
#include <cstring>

#include "picture/PictureFile.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora::cli {
namespace {

QImage LoadUsable(const QString& path) {
    if (QFileInfo(path).isDir()) throw Error("\"" + path.toStdString() + "\" ist ein Ordner, kein Bild.");
    QImage image = LoadPictureFile(path);
    if (image.width() > kMaxPictureWidth)
        throw Error("Das Bild \"" + path.toStdString() + "\" ist " + FormatD(image.width()) +
                    " Pixel breit; höchstens " + FormatD(kMaxPictureWidth) + " sind möglich.");
    return image;
}

}  // namespace

QImage SurfaceImage(const MemorySurface& surface) {
    return QImage(reinterpret_cast<const uchar*>(surface.Words().data()), surface.Width(),
                  surface.Height(), surface.Width() * 4, QImage::Format_RGB32);
}

void CopyToSurface(const QImage& image, MemorySurface& surface) {
    surface.Resize(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(surface.ScanLine(y), image.constScanLine(y), sizeof(std::uint32_t) * image.width());
}

Road::Road(const QString& path) : path_(path) {
    StartProgram();
    ShowLevelAndDelta(frontend_);  // as the window's creation leaves the labels
    // The state steps of the window's "Öffnen", in its order.
    original_ = LoadUsable(path);
    CopyToSurface(original_, frontend_.bild);
    CopyToSurface(original_, frontend_.reduced);
    frontend_.reloadOriginal = [path](MemorySurface& reduced) { CopyToSurface(LoadUsable(path), reduced); };
    OpenLoadedPicture(frontend_, path.toStdString());
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
