#pragma once
// The About window ("?"): six labels on sky blue, shown non-modally; "OK" or Escape
// closes it.
#include <QWidget>

class QLabel;
class QPushButton;

namespace tesora {

class TfrmAbout : public QWidget {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QPushButton* butOK;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

extern TfrmAbout* frmAbout;

}  // namespace tesora
