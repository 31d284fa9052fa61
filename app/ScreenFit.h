#pragma once
// Keeps every control of a window on the screen: a window that would be larger than the
// available area shows its picture in a scroll area, and a window that sticks out is
// moved onto the area. Whatever fits keeps the designed geometry.
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

class QScrollArea;
class QWidget;

namespace tesora {

// Outer minus client size of a window; empty while the platform has drawn no frame.
QSize FrameSize(const QWidget& window);

// The frame around a window's client area: the window manager's, or, before it has
// drawn one (a window placed right after show(), at start with a file), the design's
// standard frame, so that nothing is placed as if the title bar took no room.
QMargins FrameMargins(const QWidget& window);
using FrameSeam = std::function<QMargins(const QWidget& window)>;

// The outer rectangle of a top-level window with `frame`: pos() is the frame's corner.
QRect OuterRect(const QWidget& window, const QMargins& frame);

// Where the reduced-picture window goes, as an outer rectangle of at most `wanted`:
// directly right of `mainFrame` when it fits there, else left of it, below or above it,
// else over the part `mayCover` of the main window (its picture, right of the controls
// and above the buttons). When it fits nowhere whole, the place that shows most of it,
// cut to size (it then scrolls), as long as that is at least `minimum`; only a screen
// with no such place lets it cover the controls, moved onto the screen.
QRect PlaceBeside(const QRect& mainFrame, const QRect& mayCover, QSize wanted, const QRect& screen, QSize minimum);

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
