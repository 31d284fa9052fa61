#include "app/ImageSurface.h"

#include <QPaintEvent>
#include <QPainter>

namespace tesora {

ImageSurface::ImageSurface(QWidget* parent) : QWidget(parent) {
    // Opaque where the picture lies; the rest shows the window's background.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    sinceRepaint_.start();
}

void ImageSurface::SetImage(const QImage& image) {
    image_ = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    // bits() detaches from the caller's copy, so the core writes into our own buffer.
    // Nothing else calls the non-const bits(), so the bound pointer stays valid until
    // the next SetImage.
    Bind(reinterpret_cast<std::uint32_t*>(image_.bits()), image_.width(), image_.height(),
         static_cast<std::size_t>(image_.bytesPerLine() / 4));
    pending_ = false;
    update();
}

void ImageSurface::Refresh() {
    if (sinceRepaint_.elapsed() < kRefreshIntervalMs) {
        pending_ = true;
        return;
    }
    pending_ = false;
    sinceRepaint_.restart();
    repaint();
}

void ImageSurface::Flush() {
    // The core writes pixels straight into the image, which Qt cannot notice: every
    // handler ends with a repaint, immediate if a refresh is still owed, else scheduled.
    if (!pending_) {
        update();
        return;
    }
    pending_ = false;
    sinceRepaint_.restart();
    repaint();
}

void ImageSurface::paintEvent(QPaintEvent* event) {
    ++paintCount_;
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, palette().window());
    if (!image_.isNull()) painter.drawImage(dirty.topLeft(), image_, dirty);
}

}  // namespace tesora
