// The controls of the main window that behave unlike Qt's defaults: Return clicks a
// button, the arrows move the Delta scroll bar as on the platform, the wheel only moves
// a control that has the keyboard.
#include "app/Controls.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tesora {

namespace {

// Return and keypad Enter click a focused button, as Space does.
class EnterButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
            event->accept();
            click();
            return;
        }
        QPushButton::keyPressEvent(event);
    }
};

// The wheel changes a value only on the control that has the keyboard: a wheel turned
// over the window to scroll must not decompose a level or change Epsilon.
class FocusedWheelOnly : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->hasFocus()) return false;
        event->ignore();
        return true;
    }
};

// Left and right arrows as on the platform's scroll bars: left lowers the position,
// right raises it, like up and down (Qt's horizontal scroll bar turns them round).
class ArrowScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right) {
            QScrollBar::keyPressEvent(event);
            return;
        }
        const bool raise = (event->key() == Qt::Key_Right) != isRightToLeft();
        triggerAction(raise ? SliderSingleStepAdd : SliderSingleStepSub);
        event->accept();
    }
    // The style draws no focus mark on a scroll bar; Tab must show where it went.
    void paintEvent(QPaintEvent* event) override {
        QScrollBar::paintEvent(event);
        if (!hasFocus()) return;
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    void focusInEvent(QFocusEvent* event) override {
        QScrollBar::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QScrollBar::focusOutEvent(event);
        update();
    }
};

}  // namespace

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width, int height,
                        bool enabled) {
    auto* button = new EnterButton(caption, parent);
    button->setGeometry(left, top, width, height);
    button->setEnabled(enabled);
    return button;
}

QComboBox* MakeCombo(QWidget* parent, int left, int top, int width, const QStringList& items, const QString& text) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    // The typed text is the value: no inline completion from the items, no new item.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setCurrentIndex(int(items.indexOf(text)));
    combo->setEditText(text);
    combo->setGeometry(left, top, width, 21);
    return combo;
}

QFrame* MakeDivider(QWidget* parent, QFrame::Shape shape, int left, int top, int width, int height) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(shape);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(left, top, width, height);
    return frame;
}

void ChainTabOrder(std::initializer_list<QWidget*> order) {
    for (auto at = order.begin(); at + 1 < order.end(); ++at) QWidget::setTabOrder(at[0], at[1]);
}

void WheelOnlyWhenFocused(QWidget* owner, std::initializer_list<QWidget*> controls) {
    auto* wheel = new FocusedWheelOnly(owner);
    for (QWidget* control : controls) {
        // The wheel does not take the keyboard either.
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(wheel);
    }
}

QScrollBar* MakeArrowScrollBar(QWidget* parent) { return new ArrowScrollBar(Qt::Horizontal, parent); }

}  // namespace tesora
