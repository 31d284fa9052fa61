#pragma once
// What the main window asks the outside world: file names, the error box and the
// process exit. The program uses the real dialogs; tests answer them instead.
#include <QRect>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace tesora {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen file's path, or nothing when the user cancelled. The dialog starts in
    // `folder`.
    virtual std::optional<QString> OpenPicture(QWidget* parent, const QString& folder) = 0;
    virtual std::optional<QString> SavePicture(QWidget* parent, const QString& folder) = 0;
};

// QFileDialog with the program's filters. The open dialog keeps the filter last chosen
// for the rest of the session, so JPEG after JPEG needs "alle Dateien" only once.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> OpenPicture(QWidget* parent, const QString& folder) override;
    std::optional<QString> SavePicture(QWidget* parent, const QString& folder) override;

private:
    QString openFilter_;
};

// The standard error box (QMessageBox::critical).
void ShowErrorBox(QWidget* parent, const QString& message);

// A question answered "Ja" (true) or "Nein" (QMessageBox::question, "Nein" preset).
using Question = std::function<bool(const QString& title, const QString& text)>;
bool AskQuestion(QWidget* parent, const QString& title, const QString& text);

// A notice with "OK" (QMessageBox::warning): something the user asked for was not done.
using Notice = std::function<void(const QString& title, const QString& text)>;
void ShowNotice(QWidget* parent, const QString& title, const QString& text);

// The part of the screen a window may cover; an empty rectangle sets no limit. The
// program asks the window's screen, tests give a small screen instead.
using ScreenArea = std::function<QRect(const QWidget& window)>;
QRect AvailableScreenArea(const QWidget& window);

using ErrorDisplay = std::function<void(const QString& message)>;
using ProcessExit = std::function<void(int status)>;

}  // namespace tesora
