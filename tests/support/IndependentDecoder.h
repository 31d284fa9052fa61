#pragma once
// A second opinion on picture files: Debian's Python imaging library (python3-pil), run
// as a separate program, decodes or writes a file; the tests compare its pixels with ours.
#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

namespace tesora::testing {

// Debian's interpreter, where the Debian package installs the library.
inline const char* const kPython = "/usr/bin/python3";

inline std::optional<QByteArray> RunPython(const char* script, const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(QString::fromLatin1(kPython), QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + args);
    if (!process.waitForStarted(10000)) return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

inline bool IndependentDecoderAvailable() { return RunPython("import PIL.Image", {}).has_value(); }

// The first frame of the file as the library decodes it, as RGB32; null when it refuses.
inline QImage IndependentDecode(const QString& path) {
    static const char* const script =
        "import sys, PIL.Image\n"
        "im = PIL.Image.open(sys.argv[1]); im.seek(0); rgb = im.convert('RGB')\n"
        "sys.stdout.buffer.write(b'%d %d\\n' % rgb.size + rgb.tobytes())\n";
    const std::optional<QByteArray> out = RunPython(script, {path});
    if (!out) return {};
    const qsizetype line = out->indexOf('\n');
    const QList<QByteArray> size = out->left(line).split(' ');
    const int width = size.value(0).toInt(), height = size.value(1).toInt();
    const QByteArray rgb = out->mid(line + 1);
    if (width <= 0 || height <= 0 || rgb.size() != qsizetype{width} * height * 3) return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uchar*>(rgb.constData()) + (qsizetype{y} * width + x) * 3;
            image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
        }
    return image;
}

// The file as a netpbm converter (bmptopnm, giftopnm, ...) decodes it, for what the Python
// library reads wrongly (its RLE4); null when the tool is missing or refuses the file.
inline QImage NetpbmDecode(const char* tool, const QString& path) {
    QProcess process;
    process.start(QString::fromLatin1(tool), {path});
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000) || process.exitCode() != 0) return {};
    const QByteArray out = process.readAllStandardOutput();
    // "P6 W H 255" then RGB, or "P5 ..." then grey, each header field ended by whitespace.
    QList<QByteArray> fields;
    qsizetype at = 0;
    while (fields.size() < 4 && at < out.size()) {
        const qsizetype end = out.indexOf('\n', at) < 0 ? out.size() : out.indexOf('\n', at);
        for (const QByteArray& f : out.mid(at, end - at).simplified().split(' '))
            if (!f.isEmpty()) fields << f;
        at = end + 1;
    }
    if (fields.size() != 4 || (fields[0] != "P6" && fields[0] != "P5") || fields[3] != "255") return {};
    const int width = fields[1].toInt(), height = fields[2].toInt(), channels = fields[0] == "P6" ? 3 : 1;
    const QByteArray pixels = out.mid(at);
    if (width <= 0 || height <= 0 || pixels.size() != qsizetype{width} * height * channels) return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* p = reinterpret_cast<const uchar*>(pixels.constData()) + (qsizetype{y} * width + x) * channels;
            image.setPixel(x, y, channels == 3 ? qRgb(p[0], p[1], p[2]) : qRgb(p[0], p[0], p[0]));
        }
    return image;
}

// The picture written by the library as `format` with its keyword options (Python syntax,
// "progressive=True"); the pixels travel as raw RGB.
inline std::optional<QByteArray> IndependentEncode(const QImage& picture, const char* format, const char* options) {
    const QString script = QStringLiteral(
                               "import sys, io, PIL.Image\n"
                               "w, h = int(sys.argv[1]), int(sys.argv[2])\n"
                               "im = PIL.Image.frombytes('RGB', (w, h), sys.stdin.buffer.read())\n"
                               "if sys.argv[3] == 'GIF': im = im.quantize(256)\n"
                               "out = io.BytesIO(); im.save(out, sys.argv[3], %1)\n"
                               "sys.stdout.buffer.write(out.getvalue())\n")
                               .arg(QString::fromLatin1(options));
    QByteArray rgb;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            rgb.append(static_cast<char>(qRed(c)))
                .append(static_cast<char>(qGreen(c)))
                .append(static_cast<char>(qBlue(c)));
        }
    const QByteArray utf8 = script.toUtf8();
    return RunPython(utf8.constData(),
                     {QString::number(picture.width()), QString::number(picture.height()), QString::fromLatin1(format)},
                     rgb);
}

// The largest difference of any channel of any pixel; -1 when the sizes differ.
inline int LargestDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max(
                {largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

}  // namespace tesora::testing
