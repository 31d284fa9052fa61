#include "cli/StandardInput.h"

#include <algorithm>
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
    // Address space only: pages cost memory as they fill, and nothing is copied on growth.
    input.bytes.reserve(kMaxPictureFileBytes + 1);
    for (;;) {
        // One byte past the bound is enough to know: the rest is never read.
        const qsizetype at = input.bytes.size();
        if (at > kMaxPictureFileBytes) {
            input.bytes = QByteArray();
            input.failure = "Die Eingabe \"-\" ist größer als " + std::to_string(kMaxPictureFileBytes >> 20) +
                            " MiB; so große %s werden nicht gelesen.";
            break;
        }
        const qsizetype room = std::min<qsizetype>(qsizetype{1} << 20, kMaxPictureFileBytes + 1 - at);
        input.bytes.resize(at + room);
        const ssize_t n = ::read(STDIN_FILENO, input.bytes.data() + at, static_cast<std::size_t>(room));
        input.bytes.resize(at + std::max<qsizetype>(n, 0));
        if (n == 0) break;
        if (n < 0 && errno != EINTR) {
            input.bytes = QByteArray();
            input.failure = "Die Eingabe \"-\" kann nicht gelesen werden.";
            break;
        }
    }
    return input;
}

}  // namespace

const QByteArray& StandardInputBytes(const char* files) {
    static const Input input = ReadAll();
    if (input.failure) {
        std::string message = *input.failure;
        if (const std::size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, files);
        throw Error(message);
    }
    return input.bytes;
}

}  // namespace tesora::cli
