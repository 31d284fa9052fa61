#include "report/NativeNames.h"

#include <fcntl.h>
#include <map>
#include <unistd.h>

namespace tesora::report {
namespace {

constexpr char16_t kEscape = 0xDC00;

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at bytes[i], or 0.
int SequenceLength(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    const qsizetype left = bytes.size() - i;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && Continuation(at(i + 1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !Continuation(at(i + 1)) || !Continuation(at(i + 2))) return 0;
        if (lead == 0xE0 && at(i + 1) < 0xA0) return 0;   // overlong
        if (lead == 0xED && at(i + 1) >= 0xA0) return 0;  // a surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !Continuation(at(i + 1)) || !Continuation(at(i + 2)) || !Continuation(at(i + 3))) return 0;
        if (lead == 0xF0 && at(i + 1) < 0x90) return 0;   // overlong
        if (lead == 0xF4 && at(i + 1) >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

QString Decode(const QByteArray& bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = SequenceLength(bytes, i);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(kEscape + static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            text += QString::fromUtf8(bytes.mid(i, length));
            i += length;
        }
    }
    return text;
}

bool Escaped(const QString& name, qsizetype i) {
    const char16_t c = name[i].unicode();
    return c >= kEscape + 0x80 && c <= kEscape + 0xFF && (i == 0 || !name[i - 1].isHighSurrogate());
}

}  // namespace

QStringList DecodeArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << Decode(QByteArray(argv[i]));
    return arguments;
}

QString DecodeName(const QByteArray& bytes) { return Decode(bytes); }

QByteArray NativeName(const QString& name) {
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!Escaped(name, i)) continue;
        bytes += name.mid(start, i - start).toUtf8();
        bytes += static_cast<char>(name[i].unicode() - kEscape);
        start = i + 1;
    }
    return bytes + name.mid(start).toUtf8();
}

NativeParts SplitNativeName(const QString& name) {
    const QByteArray native = NativeName(name);
    const qsizetype slash = native.lastIndexOf('/');
    return {slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash), native.mid(slash + 1)};
}

QString JsonName(const QString& name) {
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (Escaped(name, i))
            text += QLatin1String("\\x") + QString::number(name[i].unicode() - kEscape, 16).toUpper();
        else if (name[i] == QLatin1Char('\\'))
            text += QLatin1String("\\\\");
        else
            text += name[i];
    }
    return text;
}

bool QtCanName(const QString& name) { return NativeName(name) == name.toUtf8(); }

QString QtReadableName(const QString& name) {
    if (QtCanName(name)) return name;
    static std::map<QString, QString> held;  // the descriptors stay open until exit
    const auto found = held.find(name);
    if (found != held.end()) return found->second;
    const int descriptor = open(NativeName(name).constData(), O_PATH | O_CLOEXEC);
    if (descriptor < 0) return name;
    return held[name] = QStringLiteral("/proc/self/fd/%1").arg(descriptor);
}

}  // namespace tesora::report
