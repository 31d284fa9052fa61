#include "cli/Road.h"

#include <QFileInfo>
#include <cstring>

#include "cli/NativeNames.h"
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
    const QString qtName = QtReadableName(path);
    const QFileInfo info(qtName);
    if (info.isDir()) throw Error("\"" + path.toStdString() + "\" ist ein Ordner, kein Bild.");
    // A FIFO or a device exists but would block or never end; the loader would call it missing.
    if (info.exists() && !info.isFile())
        throw Error("\"" + path.toStdString() + "\" ist keine reguläre Datei (etwa ein FIFO oder Gerät), kein Bild.");
    QImage image;
    try {
        // Refuses damaged pictures, and pictures too wide for the working matrix before decoding.
        image = LoadPictureFile(qtName);
    } catch (const Error& e) {
        if (qtName == path) throw;
        // The message names the file as the user did, not by its descriptor.
        std::string message = e.what();
        const std::string alias = qtName.toStdString();
        for (std::size_t at = message.find(alias); at != std::string::npos; at = message.find(alias))
            message.replace(at, alias.size(), path.toStdString());
        throw Error(message);
    }
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

void StartProgram() {
    ResetState();
    InitPowerTables();
    FillLevelMatrixTable();
    RebuildWaveletCoeffs();
}

Road::Road(const QString& path) : path_(path) {
    StartProgram();
    ShowLevelAndDelta(frontend_);  // as the window's creation leaves the labels
    // The state steps of the window's "Öffnen", in its order.
    // One decoded picture at a time: it is dropped once the main picture holds it, and
    // the reduced picture copies the main one.
    {
        const QImage picture = LoadUsable(path);
        CopyToSurface(picture, frontend_.bild);
    }
    PictureWidth = frontend_.bild.Width();
    PictureHeight = frontend_.bild.Height();
    frontend_.SetLabel(Label::DateiName, path.toStdString());
    frontend_.reduced = frontend_.bild;
    frontend_.reloadOriginal = [path](MemorySurface& reduced) { CopyToSurface(LoadUsable(path), reduced); };
    CurrentLevel = FindPictureLevel();
    PictureLevel = CurrentLevel;
    // The track bar's maximum and position follow the level; its change handler runs
    // only when the position moves, and then finds nothing to transform. A level-1
    // picture leaves it quietly at its minimum.
    if (PictureLevel >= 2) MoveTrackBar(CurrentLevel);
    else trackPosition_ = 2;
    ReadColourValues(frontend_);
    frontend_.SetStatus("Level: " + FormatD(CurrentLevel));
    frontend_.SetLabel(Label::DeltaVorgeschlagen, "0");
    frontend_.SetLabel(Label::Prozent, "0 %");
    frontend_.SetLabel(Label::Fehler, "0");
    for (Control control : {Control::trbLevel, Control::butKompress, Control::butCalcDelta,
                            Control::butBMPSave, Control::butFehler})
        frontend_.SetEnabled(control, true);
}

void Road::SetRawDelta(double delta) {
    Delta = delta;
    ShowLevelAndDelta(frontend_);
    RebuildWaveletCoeffs();
}

void Road::MoveTrackBar(int level) {
    // A track bar raises its change event only when the position really moves.
    if (level == trackPosition_) return;
    trackPosition_ = level;
    LevelChange(frontend_, level);
}

void Road::SetEpsilonText(const QString& text) { EpsilonChanged(text.toStdString()); }
void Road::SetSchrankeText(const QString& text) { SchrankeChanged(text.toStdString()); }
int Road::PressReduce() { return Reduce(frontend_); }
double Road::PressFehler() { return MeasureError(frontend_); }
void Road::PressCalcDelta() { CalcDelta(frontend_); }

}  // namespace tesora::cli
