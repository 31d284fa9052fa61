#include "picture/PictureFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "picture/CompleteData.h"

#include "picture/ReplacingFile.h"
#include "tools/FitPicture.h"

namespace tesora {
namespace {

// Appended piece by piece: GCC 12 raises a false -Wrestrict alarm for "\"" + s + "\"".
std::string Quoted(const QString& path) {
    std::string quoted(1, '"');
    quoted.append(path.toStdString()).push_back('"');
    return quoted;
}
// A message naming the file: `before` "path" `after`.
std::string Message(const char* before, const QString& path, const std::string& after) {
    std::string text(before);
    text.append(Quoted(path)).append(after);
    return text;
}
// "Das Bild "path" ist 1026 Pixel breit; höchstens 1025 sind möglich."
std::string TooWide(const QString& path, int width, int maxWidth) {
    return Message("Das Bild ", path,
                   " ist " + std::to_string(width) + " Pixel breit; höchstens " +
                       std::to_string(maxWidth) + " sind möglich.");
}

// The largest picture accepted in the widest format a decoder hands back (64-bit RGBA,
// for 16-bit PNGs), in whole MiB: a header that lies about the size cannot make a
// decoder allocate more.
int AllocationLimitMiB(const PictureLimits& limits) {
    return static_cast<int>((8LL * limits.maxPixels + (1 << 20) - 1) >> 20);
}

// The formats whose readers are known to fail, or to be caught here, on a damaged file.
bool Supported(const QByteArray& format) {
    return format == "bmp" || format == "png" || format == "jpeg" || format == "gif";
}

// While alive, catches what the decoders say: Qt's warnings from this thread go to a
// counter instead of standard error, and so does what a library prints there directly
// (libpng writes its errors to stderr itself). Either counts as a damaged file, since
// a decoder that complains may have filled the rest of the picture with anything.
class DecoderComplaints {
public:
    DecoderComplaints() : thread_(QThread::currentThread()) {
        active_ = this;
        previous_ = qInstallMessageHandler(&DecoderComplaints::Handle);
        previousFilter_ = QLoggingCategory::installFilter(&DecoderComplaints::Filter);
        std::fflush(stderr);
        savedStderr_ = ::dup(STDERR_FILENO);
        capture_ = std::tmpfile();
        // Without a place to put it, standard error stays as it is; Qt's warnings still count.
        if (savedStderr_ < 0 || !capture_ || ::dup2(::fileno(capture_), STDERR_FILENO) < 0) RestoreStderr();
    }
    ~DecoderComplaints() {
        RestoreStderr();
        QLoggingCategory::installFilter(previousFilter_);  // the rules as they were
        qInstallMessageHandler(previous_);
        active_ = nullptr;
    }
    DecoderComplaints(const DecoderComplaints&) = delete;
    DecoderComplaints& operator=(const DecoderComplaints&) = delete;

    bool Any() {
        // Written through the duplicated descriptor, so only the descriptor's offset moved.
        if (capture_ && ::lseek(::fileno(capture_), 0, SEEK_END) > 0) printed_ = true;
        return warnings_ > 0 || printed_;
    }
    // The complaint about Qt's allocation limit, told apart for a clearer message.
    bool OverLimit() const { return overLimit_; }

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        DecoderComplaints* self = active_;
        if (!self || QThread::currentThread() != self->thread_) {
            if (self && self->previous_) self->previous_(type, context, message);
            return;
        }
        if (type == QtDebugMsg || type == QtInfoMsg) return;
        ++self->warnings_;
        if (message.contains(QStringLiteral("allocation limit"))) self->overLimit_ = true;
    }
    // Logging rules may silence warnings (QT_LOGGING_RULES="qt.*=false" is common); a
    // silenced warning would never reach Handle, and the damage would pass unseen.
    static void Filter(QLoggingCategory* category) {
        if (previousFilter_) previousFilter_(category);
        category->setEnabled(QtWarningMsg, true);
        category->setEnabled(QtCriticalMsg, true);
    }
    void RestoreStderr() {
        if (savedStderr_ >= 0) {
            std::fflush(stderr);
            ::dup2(savedStderr_, STDERR_FILENO);
            ::close(savedStderr_);
            savedStderr_ = -1;
        }
        if (capture_) {
            std::fclose(capture_);
            capture_ = nullptr;
        }
    }

    static inline DecoderComplaints* active_ = nullptr;
    static inline QLoggingCategory::CategoryFilter previousFilter_ = nullptr;
    QThread* thread_;
    QtMessageHandler previous_ = nullptr;
    int savedStderr_ = -1;
    std::FILE* capture_ = nullptr;
    int warnings_ = 0;
    bool printed_ = false;
    bool overLimit_ = false;
};

// The bytes the header promises are there, for the formats whose Qt readers stop
// silently at the end of the data.
bool DataComplete(const uchar* data, qint64 size, const QByteArray& format) {
    const auto bytes = static_cast<std::size_t>(size);
    if (format == "bmp") return BmpDataComplete(data, bytes);
    if (format == "gif") return GifDataComplete(data, bytes);
    return true;
}

// Decodes the picture `device` holds; `complete` tells whether the bytes the header
// promises are all there. `name` names the file in messages.
QImage Decode(QIODevice& device, const QString& name, const std::function<bool(const QByteArray&)>& complete,
             const PictureLimits& limits) {
    const std::string damaged = Message("Die Datei ", name, " ist beschädigt oder unvollständig.");
    QImage image;
    {
        DecoderComplaints complaints;
        // The format from the content, whatever the name says.
        QImageReader reader(&device);
        // The pixels exactly as stored: no orientation tags or colour profiles applied.
        reader.setAutoTransform(false);
        reader.setAllocationLimit(AllocationLimitMiB(limits));

        // The size from the header decides before any pixel is decoded.
        const QSize size = reader.size();
        const QByteArray format = reader.format();
        if (!size.isValid() || !Supported(format))
            throw Error(Message("Die Datei ", name, " ist kein lesbares Bild."));
        if (size.isEmpty()) throw EmptyPictureError(Message("Die Datei ", name, " enthält kein Bild."));
        if (size.width() > limits.maxWidth)
            throw TooWidePictureError(TooWide(name, size.width(), limits.maxWidth), size.width(), size.height());
        if (static_cast<qint64>(size.width()) * size.height() > limits.maxPixels)
            throw TooLargePictureError(Message("Das Bild ", name,
                                               " hat " + std::to_string(static_cast<qint64>(size.width()) * size.height()) +
                                                   " Pixel; höchstens " + std::to_string(limits.maxPixels) +
                                                   (limits.maxPixels == kMaxPicturePixels ? " (1025 x 4096)" : "") +
                                                   " sind möglich."),
                                       size.width(), size.height());
        if (!complete(format)) throw Error(damaged);

        image = reader.read();
        if (complaints.OverLimit()) throw Error(Message("Das Bild ", name, " ist zu groß für den Speicher."));
        if (image.isNull()) {
            if (reader.error() == QImageReader::DeviceError)
                throw Error(Message("Die Datei ", name, " kann nicht gelesen werden."));
            // The header was read: what failed is the rest of the file.
            throw Error(damaged);
        }
        // A decoder that warned may have filled what it could not read.
        if (complaints.Any() || image.size() != size) throw Error(damaged);
    }
    // Indexed pictures ignore setPixel with a colour: convert before anyone paints. In
    // place where the depth allows, so the largest picture is not held twice.
    image.convertTo(QImage::Format_RGB32);
    if (image.isNull() || image.format() != QImage::Format_RGB32)
        throw Error(Message("Das Bild ", name, " ist zu groß für den Speicher."));
    return image;
}

}  // namespace

QImage LoadPictureFile(const QString& path, const PictureLimits& limits) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw Error(Message("Die Datei ", path, " existiert nicht."));
    if (info.size() == 0)
        throw EmptyPictureError(Message("Die Datei ", path, " enthält kein Bild."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Message("Die Datei ", path, " kann nicht gelesen werden."));
    return Decode(file, path, [&file](const QByteArray& format) {
        if (format != "bmp" && format != "gif") return true;
        // Mapped, not read: the walk copies nothing.
        const qint64 size = file.size();
        if (uchar* data = file.map(0, size)) {
            const bool complete = DataComplete(data, size, format);
            file.unmap(data);
            return complete;
        }
        // A file system without mapping: read it through a second handle, leaving the
        // reader's position alone.
        QFile copy(file.fileName());
        if (!copy.open(QIODevice::ReadOnly)) return false;
        const QByteArray bytes = copy.readAll();
        return DataComplete(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size(), format);
    }, limits);
}

QImage DecodePicture(const QByteArray& bytes, const QString& name, const PictureLimits& limits) {
    if (bytes.isEmpty()) throw EmptyPictureError(Message("Die Datei ", name, " enthält kein Bild."));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return Decode(buffer, name, [&bytes](const QByteArray& format) {
        return DataComplete(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size(), format);
    }, limits);
}

QImage FitPicture(const QImage& picture) {
    const FitSize size = FittedSize(picture.width(), picture.height());
    if (size.width == picture.width() && size.height == picture.height()) return picture;
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    const std::vector<std::uint32_t> words =
        AreaAverage(reinterpret_cast<const std::uint32_t*>(source.constBits()), source.width(), source.height(),
                    source.bytesPerLine() / 4, size);
    QImage fitted(size.width, size.height, QImage::Format_RGB32);
    if (fitted.isNull()) throw Error("Zu wenig Speicher für das verkleinerte Bild.");
    for (int y = 0; y < size.height; ++y)
        std::memcpy(fitted.scanLine(y), words.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width),
                    sizeof(std::uint32_t) * static_cast<std::size_t>(size.width));
    return fitted;
}

QImage LoadFittedPictureFile(const QString& path) { return FitPicture(LoadPictureFile(path, kFitDecodeLimits)); }

void SavePictureFile(const QImage& image, const QString& path) {
    WriteFileReplacing(path, EncodePicture(image, "BMP", path));
}

}  // namespace tesora
