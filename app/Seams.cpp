#include "app/Seams.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace tesora {

std::optional<QString> QtFileDialogs::OpenPicture(QWidget* parent, const QString& folder) {
    const QString name = QFileDialog::getOpenFileName(
        parent, QString(), folder, QStringLiteral("BMP-Grafiken (*.bmp);;alle Dateien (*)"), &openFilter_);
    if (name.isEmpty()) return std::nullopt;
    return name;
}

std::optional<QString> QtFileDialogs::SavePicture(QWidget* parent, const QString& folder) {
    // No default suffix and no overwrite question: the handler adds ".bmp" itself and
    // replaces an existing file.
    const QString name = QFileDialog::getSaveFileName(parent, QString(), folder, QStringLiteral("BMP-Dateien (*.bmp)"),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
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

bool AskQuestion(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void ShowNotice(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
}

}  // namespace tesora
