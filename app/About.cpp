#include "app/About.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/Style.h"

namespace tesora {

TfrmAbout* frmAbout = nullptr;

TfrmAbout::TfrmAbout(QWidget* parent) : QWidget(parent) {
    ApplyFormStyle(*this);
    setWindowTitle(QStringLiteral("Info"));
    setAttribute(Qt::WA_QuitOnClose, false);
    // Taller than the six labels need: room for the button that closes it.
    PlaceForm(*this, 348, 279, 341, 210);
    QPalette sky = palette();
    sky.setColor(QPalette::Window, kSkyBlue);
    setPalette(sky);
    setAutoFillBackground(true);

    Label1 = MakeLabel(this, 120, 16, QStringLiteral("Tesora"), 16, true);
    // "MSA" is spelled out once: students meet the abbreviation nowhere else.
    Label2 = MakeLabel(this, 16, 48, QStringLiteral("Anwendung einer zweidimensionalen Multiskalen-"), 13);
    Label3 = MakeLabel(this, 16, 64, QStringLiteral("analyse (MSA) mit BLaC-Wavelets in einem"), 13);
    Label4 = MakeLabel(this, 16, 80, QStringLiteral("Bildkompressionsalgorithmus."), 13);
    Label5 = MakeLabel(this, 16, 104, QStringLiteral("Von ") + QString::fromUtf8(kAuthorCredit), 13);
    Label6 = MakeLabel(this, 16, 121, QStringLiteral("Geschrieben 2026 als Lehrbeispiel."), 13);

    butOK = new QPushButton(QStringLiteral("OK"), this);
    butOK->setGeometry((width() - 75) / 2, 148, 75, 25);
    butOK->setDefault(true);
    connect(butOK, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tesora
