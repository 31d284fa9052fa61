#include "app/ScreenFit.h"

#include "app/Style.h"

#include <QScrollArea>
#include <QWidget>
#include <algorithm>

namespace tesora {

QSize FrameSize(const QWidget& window) { return window.frameGeometry().size() - window.size(); }

QMargins FrameMargins(const QWidget& window) {
    const QRect outer = window.frameGeometry(), inner = window.geometry();
    const QMargins known(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    if (!known.isNull()) return known;
    const int side = kFrameWidth / 2;
    return {side, kFrameHeight - side, side, side};
}

QRect OuterRect(const QWidget& window, const QMargins& frame) { return {window.pos(), window.size().grownBy(frame)}; }

QRect PlaceBeside(const QRect& mainFrame, const QRect& mayCover, QSize wanted, const QRect& screen, QSize minimum) {
    if (screen.isEmpty()) return {QPoint(mainFrame.right() + 1, mainFrame.top()), wanted};
    enum Anchor { Right, Left, Below, Above, Over };
    struct Region {
        QRect area;
        Anchor anchor;
    };
    const Region regions[] = {
        {QRect(QPoint(mainFrame.right() + 1, screen.top()), screen.bottomRight()), Right},
        {QRect(screen.topLeft(), QPoint(mainFrame.left() - 1, screen.bottom())), Left},
        {QRect(QPoint(screen.left(), mainFrame.bottom() + 1), screen.bottomRight()), Below},
        {QRect(screen.topLeft(), QPoint(screen.right(), mainFrame.top() - 1)), Above},
        {mayCover.intersected(screen), Over},
    };
    const auto clamp = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };
    const auto place = [&](const Region& region, QSize size) {
        const QRect& a = region.area;
        const int alongY = clamp(mainFrame.top(), a.top(), a.bottom() + 1 - size.height());
        const int alongX = clamp(mainFrame.left(), a.left(), a.right() + 1 - size.width());
        switch (region.anchor) {
            case Right: return QRect(QPoint(a.left(), alongY), size);
            case Left: return QRect(QPoint(a.right() + 1 - size.width(), alongY), size);
            case Below: return QRect(QPoint(alongX, a.top()), size);
            case Above: return QRect(QPoint(alongX, a.bottom() + 1 - size.height()), size);
            case Over: break;
        }
        return QRect(QPoint(a.right() + 1 - size.width(), a.top()), size);
    };
    for (const Region& region : regions)
        if (!region.area.isEmpty() && wanted.width() <= region.area.width() && wanted.height() <= region.area.height())
            return place(region, wanted);
    const Region* best = nullptr;
    qint64 bestArea = 0;
    for (const Region& region : regions) {
        if (region.area.isEmpty()) continue;
        const QSize cut = wanted.boundedTo(region.area.size());
        if (cut.width() < minimum.width() || cut.height() < minimum.height()) continue;
        const qint64 shown = qint64{cut.width()} * cut.height();
        if (shown > bestArea) best = &region, bestArea = shown;
    }
    if (best) return place(*best, wanted.boundedTo(best->area.size()));
    const QSize cut = wanted.boundedTo(screen.size());
    return {MoveInside(QRect(QPoint(mainFrame.right() + 1, mainFrame.top()), cut), screen), cut};
}

FittedClient FitClient(QSize wanted, QSize content, QSize chrome, QSize minimum, QSize room, int barExtent) {
    if (room.isEmpty() || (wanted.width() <= room.width() && wanted.height() <= room.height())) return {wanted, false};
    // A scroll bar in one direction takes room from the other, which may then scroll too.
    const QSize view = room - chrome;
    bool across = content.width() > view.width();
    bool down = content.height() > view.height();
    if (down && !across) across = content.width() + barExtent > view.width();
    if (across && !down) down = content.height() + barExtent > view.height();
    if (!across && !down) return {wanted, false};  // only the window's minimum is too large
    const int width = across ? room.width() : std::max(wanted.width(), content.width() + barExtent + chrome.width());
    const int height = down ? room.height() : std::max(wanted.height(), content.height() + barExtent + chrome.height());
    return {QSize(width, height).expandedTo(minimum), true};
}

QPoint MoveInside(const QRect& outer, const QRect& area) {
    if (area.isEmpty()) return outer.topLeft();
    const int left = std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width()));
    const int top = std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height()));
    return {left, top};
}

void PlacePicture(QWidget& window, QWidget& picture, QScrollArea*& area, const QRect& view, bool scrolls) {
    if (scrolls) {
        if (!area) {
            area = new QScrollArea(&window);
            area->setFrameShape(QFrame::NoFrame);
            area->setBackgroundRole(QPalette::Window);
        }
        if (area->widget() != &picture) area->setWidget(&picture);
        area->setGeometry(view);
        area->show();
        return;
    }
    if (area && area->widget() == &picture) {
        area->takeWidget();
        area->hide();
        picture.setParent(&window);
        picture.move(view.topLeft());
        picture.lower();
        picture.show();
    }
}

}  // namespace tesora
