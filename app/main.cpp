// Entry point: the application object, the four windows, the message loop. Only
// `tesora [FILE]` and the options of Launch.h are read; the rest are Qt's own.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <exception>

#include "app/Forms.h"
#include "app/Launch.h"
#include "app/Seams.h"
#include "app/Startup.h"
#include "app/TesoraSO.h"

namespace {

int Finish(const tesora::EarlyExit& exit) {
    std::fputs(exit.text.toLocal8Bit().constData(), exit.toStandardError ? stderr : stdout);
    return exit.status;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (const auto early =
            tesora::CheckEarlyExit(args, tesora::DisplayAvailable(args), tesora::ExecutableFolder(argv[0])))
        return Finish(*early);

    QApplication application(argc, argv);
    const tesora::PictureArgument picture = tesora::FindPictureArgument(QApplication::arguments());
    if (picture.error) return Finish(*picture.error);
    tesora::PrepareApplication(application);
    try {
        tesora::CreateForms();
        tesora::frmTesora->show();
        if (!picture.file.isEmpty()) {
            // A window manager frames the window some time after show(); sized and
            // placed before that, the window would get its title bar above the screen.
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 1000 && tesora::frmTesora->frameGeometry() == tesora::frmTesora->geometry())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            tesora::frmTesora->OpenFile(picture.file);
        }
        application.exec();
    } catch (const std::exception& e) {
        tesora::ShowErrorBox(nullptr, QString::fromUtf8(e.what()));
    } catch (...) {
        tesora::ShowErrorBox(nullptr, QString());
    }
    tesora::DestroyForms();
    return 0;
}
