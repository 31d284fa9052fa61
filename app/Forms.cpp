#include "app/Forms.h"

#include "app/About.h"
#include "app/ReducedImg.h"
#include "app/TesoraSO.h"
#include "app/Wartefenster.h"

namespace tesora {

void CreateForms() {
    frmTesora = new TfrmTesora;
    // A window of the main window's: the window manager keeps it above that one.
    frmReducedImg = new TfrmReducedImg(frmTesora);
    frmWarten = new TfrmWarten;
    frmAbout = new TfrmAbout;
}

void DestroyForms() {
    delete frmAbout;
    frmAbout = nullptr;
    delete frmWarten;
    frmWarten = nullptr;
    delete frmReducedImg;
    frmReducedImg = nullptr;
    delete frmTesora;
    frmTesora = nullptr;
}

}  // namespace tesora
