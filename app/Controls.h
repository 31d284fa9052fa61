#pragma once
// Factories for the main window's controls, at the design's pixel positions.
#include <QComboBox>
#include <QFrame>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <initializer_list>

namespace tesora {

// A button that Return and keypad Enter click too.
QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                        bool enabled);
// An editable combo box whose typed text is the value.
QComboBox* MakeCombo(QWidget* parent, int left, int top, int width, const QStringList& items, const QString& text);
QFrame* MakeDivider(QWidget* parent, QFrame::Shape shape, int left, int top, int width, int height);
// A horizontal scroll bar whose arrows move as the platform's do, with a focus mark.
QScrollBar* MakeArrowScrollBar(QWidget* parent);
// Tab moves through `order` in turn.
void ChainTabOrder(std::initializer_list<QWidget*> order);
// The wheel moves these controls only while they have the keyboard.
void WheelOnlyWhenFocused(QWidget* owner, std::initializer_list<QWidget*> controls);

}  // namespace tesora
