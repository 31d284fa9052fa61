#pragma once
// What the application object gets before the first window: Qt's own German texts and
// the program's icon. The entry point and the window tests both call it.
class QApplication;
class QIcon;

namespace tesora {

// Installs the German Qt translation (dialogs, message box buttons) whatever the
// desktop's language, and sets the icon every window inherits. Safe to call again.
// False when the translation file was not found; the program then runs with Qt's
// English texts.
bool PrepareApplication(QApplication& application);

// The windows' icon: 32 x 32 pixels in 16 colours.
QIcon ProgramIcon();

}  // namespace tesora
