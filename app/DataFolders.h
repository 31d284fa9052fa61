#pragma once
// Where the dialogs start. Nothing here is fixed at build time: the example pictures
// are found from the executable's folder, so an installed copy and a build inside the
// source tree both find theirs, and a moved tree does not point at a stale path.
#include <QString>

namespace tesora {

// The example pictures for an executable in `executableFolder`: the installed data
// folder ../share/tesora/samples, else samples/ of the source tree the executable was
// built in (a few folders up, beside the top CMakeLists.txt). Empty when neither exists.
QString FindSamplesFolder(const QString& executableFolder);

// FindSamplesFolder for the running program.
QString SamplesFolder();

// The user's pictures folder, else the home folder when that does not exist.
QString UserPicturesFolder();

// The save dialog's folder: that of the last opened picture if it can be written to,
// else the user's pictures folder.
QString SaveFolderFor(const QString& lastOpenedFile);

}  // namespace tesora
