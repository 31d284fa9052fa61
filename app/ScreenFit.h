#pragma once
// Keeps every control of a window on the screen: a window that would be larger than the
// available area shows its picture in a scroll area, and a window that sticks out is
// moved onto the area. Whatever fits keeps the designed geometry.
#include <QPoint>
#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

namespace tesora {

// Outer minus client size of a window; empty while the platform has drawn no frame.
QSize FrameSize(const QWidget& window);

struct FittedClient {
    QSize size;
    bool scrolls = false;
};

// The client size for a window designed at `wanted` to show `content` (a picture) in
// the client area less `chrome`: `wanted` when that fits into `room` (or `room` is
// empty). Otherwise the picture scrolls: a direction that does not fit is cut to `room`,
// a scroll bar of `barExtent` is added where the other direction scrolls, and the size
// never drops below `minimum`.
FittedClient FitClient(QSize wanted, QSize content, QSize chrome, QSize minimum, QSize room, int barExtent);

// The top-left corner that puts `outer` inside `area`, moving it as little as possible;
// one larger than the area keeps the area's left or top edge.
QPoint MoveInside(const QRect& outer, const QRect& area);

// Shows `picture` at `view` (client coordinates of `window`): directly, or, when it
// scrolls, inside a frameless scroll area filling `view`, which is created on first need
// and kept in `area`. Returning to the direct view moves the picture back to `view`'s corner.
void PlacePicture(QWidget& window, QWidget& picture, QScrollArea*& area, const QRect& view, bool scrolls);

}  // namespace tesora
