#pragma once
// The wait window: created hidden at start-up; progress goes to the main window's caption.
#include <QWidget>

namespace tesora {

class TfrmWarten : public QWidget {
    Q_OBJECT

public:
    explicit TfrmWarten(QWidget* parent = nullptr);
};

extern TfrmWarten* frmWarten;

}  // namespace tesora
