#pragma once
// No output may destroy an input or another output. Files are compared by what they
// are (device and inode), not by how they are spelt, so "./a.bmp", a symbolic link to
// it and a hard link all count as the same file.
#include <QString>
#include <QStringList>
#include <vector>

namespace tesora::cli {

struct OutputOption {
    QString option;  // "--approximation", ...
    QString path;    // empty: not asked for
};

// Throws UsageError when an output names one of the inputs or when two outputs name the
// same file. Paths that cannot be examined are left to the later checks. `input` names
// what is read, with its relative pronoun ("das Bild", "das"; "die Tabelle", "die").
struct InputKind {
    const char* noun = "das Bild";
    const char* pronoun = "das";
};
void CheckOutputsApart(const QStringList& inputs, const std::vector<OutputOption>& outputs,
                       InputKind input = InputKind{});

}  // namespace tesora::cli
