#include "cli/StandardInput.h"

#include <cerrno>
#include <optional>
#include <string>
#include <unistd.h>

#include "picture/PictureFile.h"

namespace tesora::cli {
namespace {

struct Input {
    QByteArray bytes;
    std::optional<std::string> failure;
};

Input ReadAll() {
    Input input;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n > 0) {
            // One byte past the bound is enough to know: the rest is never read.
            if (input.bytes.size() + n > kMaxPictureFileBytes) {
                input.bytes.clear();
                input.failure = "Die Eingabe \"-\" ist größer als " + std::to_string(kMaxPictureFileBytes >> 20) +
                                " MiB; so große Bilddateien werden nicht gelesen.";
                break;
            }
            input.bytes.append(buffer, static_cast<qsizetype>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            input.bytes.clear();
            input.failure = "Die Eingabe \"-\" kann nicht gelesen werden.";
            break;
        }
    }
    return input;
}

}  // namespace

const QByteArray& StandardInputBytes() {
    static const Input input = ReadAll();
    if (input.failure) throw Error(*input.failure);
    return input.bytes;
}

}  // namespace tesora::cli
