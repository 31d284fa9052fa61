#include "app/Startup.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

// Outside any namespace: the resource lives in a static library, and this reference
// keeps the linker from dropping it.
static void InitResources() { Q_INIT_RESOURCE(tesora); }

namespace tesora {

namespace {
constexpr const char* kTranslatorName = "tesora-qtbase-de";
}

QIcon ProgramIcon() {
    InitResources();
    return QIcon(QStringLiteral(":/icons/tesora-32.png"));
}

bool PrepareApplication(QApplication& application) {
    QApplication::setWindowIcon(ProgramIcon());
    if (application.findChild<QTranslator*>(QString::fromLatin1(kTranslatorName))) return true;
    auto* translator = new QTranslator(&application);
    translator->setObjectName(QString::fromLatin1(kTranslatorName));
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QApplication::installTranslator(translator);
    return true;
}

}  // namespace tesora
