#include "app/ScreenFit.h"

#include <QScrollArea>
#include <QWidget>
#include <algorithm>

namespace tesora {

QSize FrameSize(const QWidget& window) { return window.frameGeometry().size() - window.size(); }

FittedClient FitClient(QSize wanted, QSize content, QSize chrome, QSize minimum, QSize room, int barExtent) {
    if (room.isEmpty() || (wanted.width() <= room.width() && wanted.height() <= room.height()))
        return {wanted, false};
    // A scroll bar in one direction takes room from the other, which may then scroll too.
    const QSize view = room - chrome;
    bool across = content.width() > view.width();
    bool down = content.height() > view.height();
    if (down && !across) across = content.width() + barExtent > view.width();
    if (across && !down) down = content.height() + barExtent > view.height();
    if (!across && !down) return {wanted, false};  // only the window's minimum is too large
    const int width = across ? room.width()
                             : std::max(wanted.width(), content.width() + barExtent + chrome.width());
    const int height = down ? room.height()
                            : std::max(wanted.height(), content.height() + barExtent + chrome.height());
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
