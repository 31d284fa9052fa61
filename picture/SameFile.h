#pragma once
// Whether two names reach one file: compared by device and inode, so "./a.bmp", a
// symbolic link to it and a hard link all count as the same file.
#include <QString>

namespace tesora {

// False when either name does not exist (a new file can be no opened picture).
bool SameExistingFile(const QString& a, const QString& b);

}  // namespace tesora
