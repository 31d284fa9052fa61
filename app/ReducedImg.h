#pragma once
// The reduced-picture window: shows what the program computes from the picture and is
// the picture that "Speichern" writes. Its caption is a second status line. A tool
// window of the main window's, so it stays above that one.
#include <QWidget>

#include "app/ImageSurface.h"

class QScrollArea;

namespace tesora {

class TfrmReducedImg : public QWidget {
    Q_OBJECT

public:
    explicit TfrmReducedImg(QWidget* parent = nullptr);

    ImageSurface* ReducedImg;
    // Holds ReducedImg only while the picture is larger than the screen allows.
    QScrollArea* sclReduced = nullptr;
};

extern TfrmReducedImg* frmReducedImg;

}  // namespace tesora
