#include "app/About.h"

#include <QLabel>

#include "app/Style.h"

namespace tesora {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(QWidget* parent) : QWidget(parent) {
    ApplyFormStyle(*this);
    setWindowTitle(QStringLiteral("Info"));
    setAttribute(Qt::WA_QuitOnClose, false);
    PlaceForm(*this, 348, 279, 341, 174);
    QPalette sky = palette();
    sky.setColor(QPalette::Window, kSkyBlue);
    setPalette(sky);
    setAutoFillBackground(true);

    Label1 = MakeLabel(this, 120, 16, QStringLiteral("Tesora"), 16, true);
    Label2 = MakeLabel(this, 16, 48, QStringLiteral("Anwendung einer zweidimensionalen MSA mit"), 13);
    Label3 = MakeLabel(this, 16, 64, QStringLiteral("BLaC-Wavelets  in einem Bildkompressions-"), 13);
    Label4 = MakeLabel(this, 16, 80, QStringLiteral("algorithmus."), 13);
    Label5 = MakeLabel(this, 16, 104, QStringLiteral("Von ") + QString::fromUtf8(kAuthorCredit), 13);
    Label6 = MakeLabel(this, 16, 121, QStringLiteral("Geschrieben 2026 als Lehrbeispiel."), 13);
}

}  // namespace tesora
