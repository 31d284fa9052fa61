#pragma once
// A picture file opened as "Öffnen" opens it, with every check of the program: what the
// command-line tool and the Python module read is one and the same picture.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace tesora::report {

// The file read and checked. Throws tesora::Error when it is no usable picture (also
// wider than 1025). With `fit`, a picture too large for the working matrix is scaled down
// to fit (FitPicture), as the window does when the user agrees. Every name is a file:
// "-" too (the command line's standard input is the command line's own).
QImage LoadUsable(const QString& path, bool fit = false);

// The same for a file's bytes already read; `name` names it in messages.
QImage DecodeUsable(const QByteArray& bytes, const QString& name, bool fit = false);

}  // namespace tesora::report
