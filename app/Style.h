#pragma once
// Look shared by the four windows: the default sans-serif at the design's pixel
// heights, the window placement by outer size, and the labels that size themselves.
#include <QColor>
#include <QString>

class QLabel;
class QWidget;

namespace tesora {

// Wording of the credit is ours; the title line and the About window share it.
inline constexpr const char* kAuthorCredit = "den Tesora-Entwicklern";

inline const QColor kSkyBlue(166, 202, 240);

// Default sans-serif, 11 pixels high, for a whole window.
void ApplyFormStyle(QWidget& form);

// Places a top-level window at the design position; the design gives outer sizes,
// the client area is that minus a standard frame and title bar.
void PlaceForm(QWidget& form, int left, int top, int outerWidth, int outerHeight);
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 27;

// A label at (left, top) that takes the size of its text; pixelHeight 0 keeps the
// window's font.
QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text, int pixelHeight = 0, bool bold = false);

}  // namespace tesora
