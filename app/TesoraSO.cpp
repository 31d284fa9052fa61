#include "app/TesoraSO.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QSignalBlocker>
#include <QSlider>

#include "app/About.h"
#include "app/Controls.h"
#include "app/DataFolders.h"
#include "picture/PictureFile.h"
#include "picture/FitPicture.h"
#include "app/ReducedImg.h"
#include "app/ScreenFit.h"
#include "app/Style.h"
#include "app/ToolTips.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "tools/Loading.h"

namespace tesora {

TfrmTesora* frmTesora = nullptr;

// ---- TfrmTesora ----------------------------------------------------------------------

TfrmTesora::TfrmTesora(QWidget* parent)
    : QWidget(parent),
      frontend_(*this),
      dialogs_(std::make_unique<QtFileDialogs>()),
      samplesFolder_(SamplesFolder()),
      errorDisplay_([this](const QString& message) { ShowErrorBox(this, message); }),
      exitProcess_([](int status) { std::exit(status); }),
      screenArea_(AvailableScreenArea),
      question_([this](const QString& title, const QString& text) { return AskQuestion(this, title, text); }),
      notice_([this](const QString& title, const QString& text) { ShowNotice(this, title, text); }),
      guard_([this](const QString& message) { ShowError(message); }, [this] { frontend_.Flush(); }) {
    ApplyFormStyle(*this);
    setWindowTitle(QStringLiteral("Tesora"));
    PlaceForm(*this, 133, 106, 393, 349);
    CreateControls();
    SetToolTips(*this);
    FormCreate();
    ConnectHandlers();
}

TfrmTesora::~TfrmTesora() = default;

void TfrmTesora::SetFileDialogs(std::unique_ptr<FileDialogs> dialogs) { dialogs_ = std::move(dialogs); }

void TfrmTesora::CreateControls() {
    imgBild = new ImageSurface(this);
    imgBild->setGeometry(144, 0, 193, 161);

    labLevel = MakeLabel(this, 8, 8, QStringLiteral("Level: "));
    trbLevel = new QSlider(Qt::Horizontal, this);
    trbLevel->setGeometry(0, 25, 135, 33);
    trbLevel->setRange(2, 8);
    trbLevel->setValue(8);
    trbLevel->setSingleStep(1);
    trbLevel->setPageStep(1);
    trbLevel->setTickInterval(1);
    trbLevel->setTickPosition(QSlider::TicksBelow);
    trbLevel->setEnabled(false);

    labDelta = MakeLabel(this, 8, 56, QStringLiteral("Delta:"));
    scrDelta = MakeArrowScrollBar(this);
    scrDelta->setGeometry(8, 74, 121, 16);
    scrDelta->setRange(0, 100);
    scrDelta->setValue(0);
    scrDelta->setSingleStep(1);
    scrDelta->setPageStep(1);
    // A tab stop like the other controls; arrows, Page and Home/End keys move it.
    scrDelta->setFocusPolicy(Qt::StrongFocus);

    Panel2 = MakeDivider(this, QFrame::HLine, -8, 104, 144, 2);
    butKompress = MakeButton(this, QStringLiteral("Reduce"), 16, 112, 97, 25, false);
    labProzentTitel = MakeLabel(this, 8, 145, QStringLiteral("Nullkoeffs:"));
    labProzent = MakeLabel(this, 64, 145, QStringLiteral("0 %"), 0, true);
    labEpsilon = MakeLabel(this, 8, 165, QStringLiteral("Epsilon:"));
    cmbEpsilon = MakeCombo(this, 56, 162, 73, {"0.1", "0.5", "1", "2", "3", "5", "10", "15"}, QStringLiteral("5"));
    butCalcDelta = MakeButton(this, QStringLiteral("Calc Delta"), 16, 192, 97, 25, false);
    labDeltaVorschlag = MakeLabel(this, 8, 224, QStringLiteral("Vorschlag:"));
    labDeltaVorgeschlagen = MakeLabel(this, 64, 224, QStringLiteral("0"), 0, true);
    labSchranke = MakeLabel(this, 8, 243, QStringLiteral("Schranke:"));
    cmbSchranke = MakeCombo(this, 64, 240, 65, {"25", "50", "75", "80", "90", "100"}, QStringLiteral("50"));
    butFehler = MakeButton(this, QStringLiteral("Fehler?"), 16, 272, 97, 25, false);
    labFehlerText = MakeLabel(this, 8, 304, QStringLiteral("Fehler:"));
    labFehler = MakeLabel(this, 48, 304, QStringLiteral("0"), 0, true);

    Panel1 = MakeDivider(this, QFrame::VLine, 136, 0, 2, 321);
    butAbout = MakeButton(this, QStringLiteral("?"), 152, 272, 25, 25, true);
    labDateiName = MakeLabel(this, 160, 304, QStringLiteral("Kein Bild geladen!"));
    butBmpOpen = MakeButton(this, QStringLiteral("Öffnen"), 192, 272, 57, 25, true);
    butBMPSave = MakeButton(this, QStringLiteral("Speichern"), 256, 272, 57, 25, false);
    butEnde = MakeButton(this, QStringLiteral("Ende"), 320, 272, 57, 25, true);

    // The dividers take no focus; they stand where the design puts them.
    ChainTabOrder({Panel1, butEnde, trbLevel, scrDelta, butKompress, butCalcDelta, cmbEpsilon, Panel2, butBmpOpen,
                   butBMPSave, cmbSchranke, butFehler, butAbout});
    WheelOnlyWhenFocused(this, {trbLevel, scrDelta, cmbEpsilon, cmbSchranke});
}

// All wiring in one place; connected after the design values are set, so building the
// controls runs no handler.
void TfrmTesora::ConnectHandlers() {
    connect(butBmpOpen, &QPushButton::clicked, this, &TfrmTesora::butBmpOpenClick);
    connect(butBMPSave, &QPushButton::clicked, this, &TfrmTesora::butBMPSaveClick);
    connect(butEnde, &QPushButton::clicked, this, &TfrmTesora::butEndeClick);
    connect(butAbout, &QPushButton::clicked, this, &TfrmTesora::butAboutClick);
    connect(trbLevel, &QSlider::valueChanged, this, &TfrmTesora::trbLevelChange);
    connect(scrDelta, &QScrollBar::valueChanged, this, &TfrmTesora::scrDeltaChange);
    connect(butKompress, &QPushButton::clicked, this, &TfrmTesora::butKompressClick);
    connect(cmbEpsilon, &QComboBox::editTextChanged, this, &TfrmTesora::cmbEpsilonChange);
    connect(butCalcDelta, &QPushButton::clicked, this, &TfrmTesora::butCalcDeltaClick);
    connect(cmbSchranke, &QComboBox::editTextChanged, this, &TfrmTesora::cmbSchrankeChange);
    connect(butFehler, &QPushButton::clicked, this, &TfrmTesora::butFehlerClick);
}

void TfrmTesora::ShowError(const QString& message) {
    if (errorDisplay_) errorDisplay_(message);
}

void TfrmTesora::SetDeltaPosition(int position) {
    guard_.RunNested([&] { scrDelta->setValue(position); });
}

void TfrmTesora::WriteLabel(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

// ---- Handlers ------------------------------------------------------------------------

void TfrmTesora::FormCreate() {
    StartProgram();
    ShowLevelAndDelta(frontend_);
    setWindowTitle(QStringLiteral("Tesora - von ") + QString::fromUtf8(kAuthorCredit));
}

void TfrmTesora::butBmpOpenClick() {
    Guarded([&] {
        QString folder = openFolder_;
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = samplesFolder_.isEmpty() ? UserPicturesFolder() : samplesFolder_;
        const std::optional<QString> path = dialogs_->OpenPicture(this, folder);
        if (!path) return;
        openFolder_ = QFileInfo(*path).absolutePath();
        OpenPicture(*path);
    });
}

void TfrmTesora::OpenFile(const QString& path) {
    Guarded([&] { OpenPicture(QFileInfo(path).absoluteFilePath()); });
}

// Decodes the file once and checks it completely before anything changes, so sizes,
// level, matrix and both pictures always belong to the same picture.
void TfrmTesora::OpenPicture(const QString& path) {
    QImage picture;
    bool fitted = false;
    try {
        picture = LoadPictureFile(path);
    } catch (const EmptyPictureError&) {
        frontend_.SetStatus("Kein Bild geladen...");
        return;
    } catch (const TooLargePictureError& refusal) {
        // Known from the header: nothing of the picture was decoded yet.
        picture = OfferFittedPicture(path, refusal);
        if (picture.isNull()) {
            if (dynamic_cast<const TooWidePictureError*>(&refusal)) {
                frontend_.SetStatus("Bild zu breit (max. " + std::to_string(kMaxSide) + " Pixel)!");
                return;
            }
            throw;
        }
        fitted = true;
    }

    // The window's own part: geometry and its two images; the rest is the core's.
    imgBild->SetImage(picture);
    SizeWindowsToPicture(picture.width(), picture.height());
    // Whatever "Fehler?" or "Calc Delta" named it before, it now shows the new picture.
    frmReducedImg->setWindowTitle(QStringLiteral("Reduziertes Bild"));
    frmReducedImg->show();
    frmReducedImg->raise();
    frmReducedImg->ReducedImg->SetImage(picture);
    loadedFileName_ = path;
    loadedFitted_ = fitted;
    OpenLoadedPicture(frontend_, path.toStdString());
    if (fitted)
        frontend_.SetStatus("Level: " + std::to_string(CurrentLevel) + " (verkleinert auf " +
                            std::to_string(picture.width()) + " x " + std::to_string(picture.height()) + ")");
}

QImage TfrmTesora::OfferFittedPicture(const QString& path, const TooLargePictureError& refusal) {
    const int width = refusal.Width(), height = refusal.Height();
    // Beyond what may be decoded for scaling, there is nothing to offer.
    if (width > kFitDecodeLimits.maxWidth || qint64{width} * height > kFitDecodeLimits.maxPixels) return {};
    const FitSize fit = FittedSize(width, height);
    const QString limits =
        QStringLiteral("%1 Pixel Breite und %1 × %2 Pixel Fläche").arg(kMaxSide).arg(kMaxPicturePixels / kMaxSide);
    const QString text = (QStringLiteral("Das Bild „%1“ ist %2 × %3 Pixel groß. Tesora zerlegt Bilder bis ") + limits +
                          QStringLiteral(".\n\n"
                                         "Soll es verkleinert auf %4 × %5 Pixel geöffnet werden? Jedes neue Pixel ist "
                                         "dann der Mittelwert der Fläche, die es im Original bedeckt; „Fehler?“ "
                                         "vergleicht mit diesem verkleinerten Bild.\n\n„Nein“ öffnet das Bild nicht."))
                             .arg(QFileInfo(path).fileName())
                             .arg(width)
                             .arg(height)
                             .arg(fit.width)
                             .arg(fit.height);
    if (!question_ || !question_(QStringLiteral("Bild zu groß"), text)) return {};
    return LoadFittedPictureFile(path);
}

void TfrmTesora::SetLevelRange(int finest) {
    if (finest >= 2) {
        // The whole range every time: a lowered minimum would otherwise stay behind.
        guard_.RunNested([&] {
            trbLevel->setRange(2, finest);
            trbLevel->setValue(finest);
        });
    } else {
        // A level-1 picture has no coarser level to go to: its change handler must not
        // see a position above the picture's level.
        const QSignalBlocker quiet(trbLevel);
        trbLevel->setRange(2, 2);
        trbLevel->setValue(2);
    }
}

void TfrmTesora::SizeWindowsToPicture(int width, int height) {
    imgBild->resize(width + 1, height + 1);
    const QSize designed(width <= 250 ? 383 : width + 145, height <= 250 ? 322 : height + 65);
    // Larger than the screen: the picture scrolls, the controls stay where they are.
    const QRect screen = screenArea_ ? screenArea_(*this) : QRect();
    const QMargins frame = frameSeam_ ? frameSeam_(*this) : FrameMargins(*this);
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const FittedClient client =
        FitClient(designed, imgBild->size(), QSize(144, 64), QSize(383, 322), screen.size() - frameSize, bar);
    const int clientHeight = client.size.height();
    Panel1->resize(Panel1->width(), clientHeight - 1);
    resize(client.size);
    PlacePicture(*this, *imgBild, sclBild, QRect(144, 0, client.size.width() - 144, clientHeight - 64), client.scrolls);
    // The whole frame on the screen, title bar included, so the window can be dragged.
    if (const QPoint onScreen = MoveInside(OuterRect(*this, frame), screen); onScreen != pos()) move(onScreen);

    const int buttonTop = clientHeight - 45;
    for (QWidget* control : {static_cast<QWidget*>(butBmpOpen), static_cast<QWidget*>(butBMPSave),
                             static_cast<QWidget*>(butEnde), static_cast<QWidget*>(butAbout)})
        control->move(control->x(), buttonTop);
    labDateiName->move(labDateiName->x(), clientHeight - 15);

    TfrmReducedImg& reduced = *frmReducedImg;
    reduced.ReducedImg->resize(width, height);
    const QMargins reducedFrame = frameSeam_ ? frameSeam_(reduced) : FrameMargins(reduced);
    // Beside the main window; over its picture only when the screen leaves no other
    // place, and never over its title bar, its column of controls or its buttons.
    const QPoint clientCorner = pos() + QPoint(frame.left(), frame.top());
    const QRect mayCover(clientCorner + QPoint(Panel1->x() + Panel1->width() + 4, 0),
                         QPoint(screen.right(), clientCorner.y() + buttonTop - 4));
    const QRect outer = PlaceBeside(OuterRect(*this, frame), mayCover, QSize(width, height).grownBy(reducedFrame),
                                    screen, QSize(160, 120).grownBy(reducedFrame));
    const FittedClient reducedClient = FitClient(QSize(width, height), QSize(width, height), QSize(0, 0), QSize(0, 0),
                                                 outer.size().shrunkBy(reducedFrame), bar);
    reduced.resize(reducedClient.size);
    PlacePicture(reduced, *reduced.ReducedImg, reduced.sclReduced, QRect(QPoint(0, 0), reducedClient.size),
                 reducedClient.scrolls);
    reduced.move(outer.topLeft());
}

void TfrmTesora::butAboutClick() {
    Guarded([&] {
        if (!frmAbout) return;
        frmAbout->show();
        frmAbout->raise();
        frmAbout->activateWindow();
    });
}

}  // namespace tesora
