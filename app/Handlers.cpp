// The handlers of the buttons, the track bar, the scroll bar and the combo boxes: each
// runs its work under the guard and hands the window's frontend to the core.
#include <QDir>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QComboBox>

#include "app/About.h"
#include "app/DataFolders.h"
#include "app/ReducedImg.h"
#include "app/TesoraSO.h"
#include "blac/DeltaControl.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "mra/LevelChange.h"
#include "picture/PictureFile.h"
#include "picture/SameFile.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Reduction.h"

namespace tesora {

void TfrmTesora::butEndeClick() {
    Guarded([&] {
        delete frmReducedImg;
        frmReducedImg = nullptr;
        delete frmAbout;
        frmAbout = nullptr;
        exitProcess_(0);
    });
}

void TfrmTesora::trbLevelChange() {
    Guarded([&] {
        // Below level 2 there is nothing to decompose; a level-1 picture never gets here
        // through the disabled track bar, this keeps it so.
        if (PictureLevel < 2) return;
        // A closed reduced-picture window comes back with the next level it shows.
        if (frmReducedImg && !frmReducedImg->isVisible() && PictureWidth > 0) frmReducedImg->show();
        LevelChange(frontend_, trbLevel->value());
    });
}

void TfrmTesora::scrDeltaChange() {
    Guarded([&] { DeltaPositionChanged(frontend_, scrDelta->value()); });
}

void TfrmTesora::butBMPSaveClick() {
    Guarded([&] {
        const QString folder = SaveFolderFor(loadedFileName_);
        const std::optional<QString> chosen = dialogs_->SavePicture(this, folder);
        if (!chosen) {
            frontend_.SetStatus("Datei nicht gesichert!");
            return;
        }
        // A bare name belongs in the folder the dialog showed, not wherever the process
        // was started. Case-sensitive: "bild.BMP" becomes "bild.BMP.bmp", short names
        // always grow.
        QString name = QDir(folder).filePath(*chosen);
        if (!name.endsWith(QStringLiteral(".bmp"), Qt::CaseSensitive)) name += QStringLiteral(".bmp");
        if (!frmReducedImg) throw Error("Das Fenster \"Reduziertes Bild\" existiert nicht mehr.");
        // "Fehler?" compares with the opened file: replacing it would lose the original.
        if (SameExistingFile(name, loadedFileName_)) {
            frontend_.SetStatus("Datei nicht gesichert!");
            if (notice_)
                notice_(QStringLiteral("Nicht gesichert"),
                        QStringLiteral("„%1“ ist das geöffnete Bild (oder ein Verweis darauf). "
                                       "„Fehler?“ vergleicht mit dieser Datei; sie wird daher nicht "
                                       "überschrieben.\n\nBitte einen anderen Namen wählen.")
                            .arg(name));
            return;
        }
        SavePictureFile(frmReducedImg->ReducedImg->Image(), name);
        frontend_.SetStatus("Datei gesichert!");
    });
}

void TfrmTesora::butKompressClick() {
    Guarded([&] { Reduce(frontend_); });
}

void TfrmTesora::cmbEpsilonChange() {
    Guarded([&] { EpsilonChanged(cmbEpsilon->currentText().toStdString()); });
}

void TfrmTesora::butCalcDeltaClick() {
    Guarded([&] { CalcDelta(frontend_); });
}

void TfrmTesora::cmbSchrankeChange() {
    Guarded([&] { SchrankeChanged(cmbSchranke->currentText().toStdString()); });
}

void TfrmTesora::butFehlerClick() {
    Guarded([&] { MeasureError(frontend_); });
}

}  // namespace tesora
