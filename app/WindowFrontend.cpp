#include "app/TesoraSO.h"

#include <QLabel>
#include <QSlider>
#include <QPushButton>

#include "app/ReducedImg.h"
#include "matrix/Error.h"
#include "picture/PictureFile.h"

namespace tesora {
namespace {

// The caption is the status line; written at most this often while a handler runs, and
// once more when it ends, so long loops are not slowed down by repainting it.
constexpr qint64 kStatusIntervalMs = 16;

QString ToQString(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

PictureSurface& WindowFrontend::Bild() { return *form_.imgBild; }

PictureSurface& WindowFrontend::Reduced() {
    if (!frmReducedImg) throw Error("Das Fenster \"Reduziertes Bild\" existiert nicht mehr.");
    reducedDrawn_ = true;
    return *frmReducedImg->ReducedImg;
}

void WindowFrontend::SetStatus(const std::string& text) {
    if (recordStatus) statusHistory.push_back(text);
    status_ = text;
    if (sinceStatus_.isValid() && sinceStatus_.elapsed() < kStatusIntervalMs) {
        statusPending_ = true;
        return;
    }
    statusPending_ = false;
    sinceStatus_.start();
    form_.setWindowTitle(ToQString(status_));
}

void WindowFrontend::SetReducedStatus(const std::string& text) {
    if (!frmReducedImg) return;
    QString caption = ToQString(text);
    // The comparison is with the scaled picture; the caption says so.
    if (form_.loadedFitted_ && text == "Originalbild") caption += QStringLiteral(" (verkleinert)");
    frmReducedImg->setWindowTitle(caption);
}

void WindowFrontend::SetLabel(Label label, const std::string& text) {
    QLabel* target = nullptr;
    switch (label) {
        case Label::Level: target = form_.labLevel; break;
        case Label::Delta: target = form_.labDelta; break;
        case Label::DeltaVorgeschlagen: target = form_.labDeltaVorgeschlagen; break;
        case Label::Prozent: target = form_.labProzent; break;
        case Label::Fehler: target = form_.labFehler; break;
        case Label::DateiName: target = form_.labDateiName; break;
    }
    if (target) form_.WriteLabel(target, ToQString(text));
}

void WindowFrontend::SetEnabled(Control control, bool enabled) {
    QWidget* target = nullptr;
    switch (control) {
        case Control::trbLevel: target = form_.trbLevel; break;
        case Control::butKompress: target = form_.butKompress; break;
        case Control::butCalcDelta: target = form_.butCalcDelta; break;
        case Control::butBMPSave: target = form_.butBMPSave; break;
        case Control::butFehler: target = form_.butFehler; break;
    }
    if (target) target->setEnabled(enabled);
}

void WindowFrontend::SetDeltaPosition(int position) { form_.SetDeltaPosition(position); }

void WindowFrontend::SetLevelRange(int finest) { form_.SetLevelRange(finest); }

void WindowFrontend::ReloadOriginal() {
    if (form_.loadedFileName_.isEmpty()) throw Error("Kein Bild geladen!");
    // Decoded completely before the window's picture is replaced.
    const QImage picture =
        form_.loadedFitted_ ? LoadFittedPictureFile(form_.loadedFileName_) : LoadPictureFile(form_.loadedFileName_);
    if (!frmReducedImg) throw Error("Das Fenster \"Reduziertes Bild\" existiert nicht mehr.");
    frmReducedImg->ReducedImg->SetImage(picture);
}

void WindowFrontend::Flush() {
    if (statusPending_) {
        statusPending_ = false;
        sinceStatus_.start();
        form_.setWindowTitle(ToQString(status_));
    }
    form_.imgBild->Flush();
    if (frmReducedImg) frmReducedImg->ReducedImg->Flush();
    // What was just computed must not stay hidden behind the main window.
    if (reducedDrawn_ && frmReducedImg && frmReducedImg->isVisible()) frmReducedImg->raise();
    reducedDrawn_ = false;
}

}  // namespace tesora
