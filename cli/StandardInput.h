#pragma once
// The picture named "-": read from standard input. The bytes are read once and kept,
// because a run opens its picture more than once ("Fehler?" reads it again) and the
// workers of a sweep inherit them.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace tesora::cli {

inline bool IsStandardStream(const QString& path) { return path == QLatin1String("-"); }

// Every byte of standard input, read on the first call.
const QByteArray& StandardInputBytes();

// Decodes bytes as a picture file would be decoded, to Format_RGB32. Throws
// tesora::Error (EmptyPictureError for no pixels) naming `name` in its message.
QImage DecodePicture(const QByteArray& bytes, const QString& name);

}  // namespace tesora::cli
