#include "app/Seams.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace tesora {

QtFileDialogs::QtFileDialogs(QString startFolder) : startFolder_(std::move(startFolder)) {}

std::optional<QString> QtFileDialogs::OpenPicture(QWidget* parent) {
    const QString folder = QDir(startFolder_).exists() ? startFolder_ : QString();
    const QString name = QFileDialog::getOpenFileName(
        parent, QString(), folder, QStringLiteral("BMP-Grafiken (*.bmp);;alle Dateien (*)"));
    if (name.isEmpty()) return std::nullopt;
    return name;
}

std::optional<QString> QtFileDialogs::SavePicture(QWidget* parent) {
    // No default suffix and no overwrite question: the handler adds ".bmp" itself and
    // replaces an existing file.
    const QString name = QFileDialog::getSaveFileName(
        parent, QString(), QString(), QStringLiteral("BMP-Dateien (*.bmp)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty()) return std::nullopt;
    return name;
}

QRect AvailableScreenArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    return screen ? screen->availableGeometry() : QRect();
}

void ShowErrorBox(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QStringLiteral("Fehler"), message);
}

}  // namespace tesora
