#pragma once
// The picture named "-": read from standard input. The bytes are read once and kept,
// because a run opens its picture more than once ("Fehler?" reads it again) and the
// workers of a sweep inherit them. They are decoded by the same loader as a file.
#include <QByteArray>
#include <QString>

namespace tesora::cli {

inline bool IsStandardStream(const QString& path) { return path == QLatin1String("-"); }

// Every byte of standard input, read on the first call: at most kMaxPictureFileBytes, as
// for a file. Throws tesora::Error (on every call) when there is more or it cannot be read;
// `files` names what is too large ("Bilddateien", "Tabellen").
const QByteArray& StandardInputBytes(const char* files = "Bilddateien");

}  // namespace tesora::cli
