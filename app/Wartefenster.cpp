#include "app/Wartefenster.h"

#include "app/Style.h"

namespace tesora {

TfrmWarten* frmWarten = nullptr;

TfrmWarten::TfrmWarten(QWidget* parent) : QWidget(parent) {
    ApplyFormStyle(*this);
    setWindowTitle(QStringLiteral("Wartefenster"));
    setAttribute(Qt::WA_QuitOnClose, false);
    PlaceForm(*this, 221, 451, 459, 140);
}

}  // namespace tesora
