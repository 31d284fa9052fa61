#include "app/Style.h"

#include <QFont>
#include <QLabel>
#include <QWidget>

namespace tesora {

void ApplyFormStyle(QWidget& form) {
    // A narrow sans-serif keeps the design's fixed label positions from touching;
    // the platform's default sans-serif stands in where it is missing.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    form.setFont(font);
}

void PlaceForm(QWidget& form, int left, int top, int outerWidth, int outerHeight) {
    form.move(left, top);
    form.resize(outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

QLabel* MakeLabel(QWidget* parent, int left, int top, const QString& text, int pixelHeight, bool bold) {
    auto* label = new QLabel(text, parent);
    if (pixelHeight > 0 || bold) {
        QFont font = label->font();
        if (pixelHeight > 0) font.setPixelSize(pixelHeight);
        font.setBold(bold);
        label->setFont(font);
    }
    label->move(left, top);
    label->adjustSize();
    return label;
}

}  // namespace tesora
