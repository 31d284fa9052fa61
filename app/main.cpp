// Entry point: the application object, the four windows, the message loop. The
// arguments are Qt's own; the program reads none of them.
#include <QApplication>
#include <exception>

#include "app/Forms.h"
#include "app/Seams.h"
#include "app/Startup.h"
#include "app/TesoraSO.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    tesora::PrepareApplication(application);
    try {
        tesora::CreateForms();
        tesora::frmTesora->show();
        application.exec();
    } catch (const std::exception& e) {
        tesora::ShowErrorBox(nullptr, QString::fromUtf8(e.what()));
    } catch (...) {
        tesora::ShowErrorBox(nullptr, QString());
    }
    tesora::DestroyForms();
    return 0;
}
