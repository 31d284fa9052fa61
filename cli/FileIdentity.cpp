#include "cli/FileIdentity.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/Arguments.h"
#include "cli/StandardInput.h"
#include "report/NativeNames.h"

namespace tesora::cli {

using report::NativeName;
using report::NativeParts;
using report::SplitNativeName;

namespace {

struct Identity {
    dev_t device;
    ino_t inode;
    QByteArray name;  // for a file not yet there: its name in the folder device/inode
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(const QString& path) {
    struct stat status;
    // "-" as an input is whatever standard input reads: `< in.bmp` makes it in.bmp.
    if (IsStandardStream(path)) {
        if (fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
        return Identity{status.st_dev, status.st_ino, {}};
    }
    const QByteArray native = NativeName(path);
    if (stat(native.constData(), &status) == 0) return Identity{status.st_dev, status.st_ino, {}};
    // Not there yet: the folder it will be made in, as the system resolves it ("..",
    // links), and the name in it.
    const NativeParts parts = SplitNativeName(path);
    if (stat(parts.folder.constData(), &status) != 0) return std::nullopt;
    return Identity{status.st_dev, status.st_ino, parts.leaf};
}

}  // namespace

void CheckOutputsApart(const QStringList& inputs, const std::vector<OutputOption>& outputs, InputKind input) {
    std::vector<std::pair<const OutputOption*, Identity>> seen;
    for (const OutputOption& output : outputs) {
        if (output.path.isEmpty() || IsStandardStream(output.path)) continue;  // "-": standard output
        const std::optional<Identity> identity = IdentityOf(output.path);
        if (!identity) continue;
        for (const QString& name : inputs)
            if (IdentityOf(name) == identity)
                throw UsageError(QStringLiteral("%1 \"%2\" würde %3 \"%4\" überschreiben, %5 gelesen wird.")
                                     .arg(output.option, output.path, QString::fromUtf8(input.noun), name,
                                          QString::fromUtf8(input.pronoun)));
        for (const auto& [other, otherIdentity] : seen)
            if (otherIdentity == *identity)
                throw UsageError(QStringLiteral("%1 \"%2\" und %3 \"%4\" nennen dieselbe Datei.")
                                     .arg(other->option, other->path, output.option, output.path));
        seen.emplace_back(&output, *identity);
    }
}

}  // namespace tesora::cli
