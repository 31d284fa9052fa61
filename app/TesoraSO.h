#pragma once
// The main window: every control of the program, its twelve handlers and the adapter
// through which the core paints and reports into it.
#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Guard.h"
#include "app/ImageSurface.h"
#include "app/ScreenFit.h"
#include "app/Seams.h"
#include "blac/Frontend.h"
#include "picture/PictureFile.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QSlider;

namespace tesora {

class TfrmTesora;

// The core's view of the windows. The caption is set up to three times per transformed
// line, so it is stored and pushed to the window at most every 16 ms and at Flush().
class WindowFrontend : public Frontend {
public:
    explicit WindowFrontend(TfrmTesora& form) : form_(form) {}

    PictureSurface& Bild() override;
    PictureSurface& Reduced() override;
    void SetStatus(const std::string& text) override;
    void SetReducedStatus(const std::string& text) override;
    void SetLabel(Label label, const std::string& text) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetDeltaPosition(int position) override;
    void SetLevelRange(int finest) override;
    void ReloadOriginal() override;

    // Shows the last caption and the last painted pixels, and brings the reduced-picture
    // window to the front when something was drawn into it.
    void Flush();

    // Tests switch this on to see every caption in order, not only the last.
    bool recordStatus = false;
    std::vector<std::string> statusHistory;

private:
    TfrmTesora& form_;
    std::string status_;
    bool statusPending_ = false;
    bool reducedDrawn_ = false;
    QElapsedTimer sinceStatus_;
};

class TfrmTesora : public QWidget {
    Q_OBJECT

public:
    explicit TfrmTesora(QWidget* parent = nullptr);
    ~TfrmTesora() override;

    // Seams: the program keeps the defaults, tests answer instead.
    void SetFileDialogs(std::unique_ptr<FileDialogs> dialogs);
    void SetErrorDisplay(ErrorDisplay display) { errorDisplay_ = std::move(display); }
    void SetProcessExit(ProcessExit exitProcess) { exitProcess_ = std::move(exitProcess); }
    void SetScreenArea(ScreenArea area) { screenArea_ = std::move(area); }
    // The window manager's frame as the placement sees it (tests give one offscreen).
    void SetFrameSeam(FrameSeam frame) { frameSeam_ = std::move(frame); }
    void SetQuestion(Question question) { question_ = std::move(question); }
    void SetNotice(Notice notice) { notice_ = std::move(notice); }
    // Where "Öffnen" starts; empty: the user's pictures folder.
    void SetSamplesFolder(QString folder) { samplesFolder_ = std::move(folder); }

    // Opens `path` as "Öffnen" would (the file named on the command line).
    void OpenFile(const QString& path);

    WindowFrontend& Frontend() { return frontend_; }
    // Full name of the last picture that was loaded successfully; "Fehler?" reloads it.
    const QString& LoadedFileName() const { return loadedFileName_; }
    // Whether that picture was scaled down to fit (and "Fehler?" scales it again).
    bool LoadedFitted() const { return loadedFitted_; }

    ImageSurface* imgBild;
    QFrame* Panel1;
    QPushButton* butEnde;
    QSlider* trbLevel;
    QLabel* labLevel;
    QScrollBar* scrDelta;
    QLabel* labDelta;
    QPushButton* butKompress;
    QLabel* labEpsilon;
    QPushButton* butCalcDelta;
    QLabel* labDeltaVorschlag;
    QLabel* labDeltaVorgeschlagen;
    QComboBox* cmbEpsilon;
    QLabel* labProzentTitel;
    QLabel* labProzent;
    QFrame* Panel2;
    QPushButton* butBmpOpen;
    QPushButton* butBMPSave;
    QLabel* labSchranke;
    QComboBox* cmbSchranke;
    QLabel* labDateiName;
    QPushButton* butFehler;
    QLabel* labFehlerText;
    QPushButton* butAbout;
    QLabel* labFehler;
    // Holds imgBild only while the window would not fit on the screen with it.
    QScrollArea* sclBild = nullptr;

public slots:
    void butBmpOpenClick();
    void butEndeClick();
    void FormCreate();
    void trbLevelChange();
    void scrDeltaChange();
    void butBMPSaveClick();
    void butKompressClick();
    void cmbEpsilonChange();
    void butCalcDeltaClick();
    void cmbSchrankeChange();
    void butFehlerClick();
    void butAboutClick();

private:
    friend class WindowFrontend;

    void CreateControls();
    void ConnectHandlers();
    // Runs a handler's work under guard_.
    template <typename Work>
    void Guarded(Work&& work);
    void ShowError(const QString& message);

    void OpenPicture(const QString& path);
    // Asks whether a picture too large for the working matrix should be opened scaled
    // down; the picture when the answer is yes, a null picture when not.
    QImage OfferFittedPicture(const QString& path, const TooLargePictureError& refusal);
    void SizeWindowsToPicture(int width, int height);
    void SetDeltaPosition(int position);
    void SetLevelRange(int finest);
    void WriteLabel(QLabel* label, const QString& text);

    WindowFrontend frontend_;
    std::unique_ptr<FileDialogs> dialogs_;
    QString samplesFolder_;
    // Where "Öffnen" found its last picture in this session; the next dialog starts there.
    QString openFolder_;
    ErrorDisplay errorDisplay_;
    ProcessExit exitProcess_;
    ScreenArea screenArea_;
    FrameSeam frameSeam_;
    Question question_;
    Notice notice_;
    QString loadedFileName_;
    bool loadedFitted_ = false;
    HandlerGuard guard_;
};

extern TfrmTesora* frmTesora;

template <typename Work>
void TfrmTesora::Guarded(Work&& work) {
    guard_.Run(std::forward<Work>(work));
}

}  // namespace tesora
