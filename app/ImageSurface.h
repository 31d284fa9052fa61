#pragma once
// The picture widget of imgBild and ReducedImg: a QImage (always Format_RGB32) that the
// core paints into through PictureSurface, shown at the widget's top-left corner.
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include "blac/Frontend.h"

namespace tesora {

class ImageSurface : public QWidget, public PictureSurface {
    Q_OBJECT

public:
    explicit ImageSurface(QWidget* parent = nullptr);

    // Replaces the picture (converted to Format_RGB32) and rebinds the core's view.
    void SetImage(const QImage& image);
    // A snapshot: the core writes through a raw pointer, which would show through a
    // shallow copy, so callers get a deep one.
    QImage Image() const { return image_.copy(); }

    // Repaints at once, but at most every kRefreshIntervalMs; a skipped repaint is
    // caught up by Flush(), which the slot guard calls at the end of every handler.
    void Refresh() override;
    void Flush();

    static constexpr qint64 kRefreshIntervalMs = 16;

    // How often the widget has been painted; lets tests see that changes reach the screen.
    int PaintCount() const { return paintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QElapsedTimer sinceRepaint_;
    bool pending_ = false;
    int paintCount_ = 0;
};

}  // namespace tesora
