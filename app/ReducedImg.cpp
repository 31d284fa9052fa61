#include "app/ReducedImg.h"

#include "app/Style.h"

namespace tesora {

TfrmReducedImg* frmReducedImg = nullptr;

TfrmReducedImg::TfrmReducedImg(QWidget* parent) : QWidget(parent, Qt::Tool) {
    ApplyFormStyle(*this);
    setWindowTitle(QStringLiteral("Reduziertes Bild"));
    // Only closing the main window ends the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    PlaceForm(*this, 556, 129, 334, 301);

    ReducedImg = new ImageSurface(this);
    ReducedImg->setGeometry(0, 0, 321, 265);
    ReducedImg->setToolTip(
        QString::fromUtf8("Die Näherung des Bildes auf dem gewählten Level; nach Calc Delta das Differenzenbild, "
                          "nach Fehler? das Originalbild."));
}

}  // namespace tesora
