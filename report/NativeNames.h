#pragma once
// File names are bytes. Qt names files by UTF-8 text and turns every byte that is not
// UTF-8 into U+FFFD, which names a different file. The tool therefore decodes its
// command line without loss: such a byte b becomes the lone surrogate U+DC00 + b, which
// no decoded text contains, and every file access turns the name back into its bytes.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tesora::report {

QStringList DecodeArguments(int argc, char** argv);
// One name's bytes decoded the same way.
QString DecodeName(const QByteArray& bytes);
// The bytes of a decoded name: the inverse of DecodeArguments.
QByteArray NativeName(const QString& name);
// The bytes of the folder a name lies in ("." for a bare name) and of the name in it.
struct NativeParts {
    QByteArray folder, leaf;
};
NativeParts SplitNativeName(const QString& name);
// A name as JSON text can hold it: a byte that is not UTF-8 becomes the four characters
// \xHH (two upper-case hex digits) and a backslash becomes \\, so that every name is
// valid JSON and stays apart from every other.
QString JsonName(const QString& name);
// Whether Qt's own conversion reaches the same file.
bool QtCanName(const QString& name);
// A name under which Qt reaches the same existing file: `name` itself when it can, else
// /proc/self/fd/N of a descriptor held until the run ends. A name that does not exist
// comes back unchanged.
QString QtReadableName(const QString& name);

}  // namespace tesora::report
