#include "app/TesoraSO.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QSignalBlocker>
#include <QSlider>

#include "app/About.h"
#include "app/DataFolders.h"
#include "picture/PictureFile.h"
#include "app/ReducedImg.h"
#include "app/ScreenFit.h"
#include "app/Style.h"
#include "app/ToolTips.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "blac/State.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "mra/LevelChange.h"
#include "tools/DeltaProposal.h"
#include "tools/ErrorMeasurement.h"
#include "tools/Loading.h"
#include "tools/Reduction.h"

namespace tesora {

TfrmTesora* frmTesora = nullptr;

namespace {

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height, bool enabled) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, width, height);
    button->setEnabled(enabled);
    return button;
}

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
};

QComboBox* MakeCombo(QWidget* parent, int left, int top, int width, const QStringList& items,
                     const QString& text) {
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

}  // namespace

// ---- TfrmTesora ----------------------------------------------------------------------

TfrmTesora::TfrmTesora(QWidget* parent)
    : QWidget(parent),
      frontend_(*this),
      dialogs_(std::make_unique<QtFileDialogs>()),
      samplesFolder_(SamplesFolder()),
      errorDisplay_([this](const QString& message) { ShowErrorBox(this, message); }),
      exitProcess_([](int status) { std::exit(status); }),
      screenArea_(AvailableScreenArea),
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
    scrDelta = new ArrowScrollBar(Qt::Horizontal, this);
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
    cmbEpsilon = MakeCombo(this, 56, 162, 73,
                           {"0.1", "0.5", "1", "2", "3", "5", "10", "15"}, QStringLiteral("5"));
    butCalcDelta = MakeButton(this, QStringLiteral("Calc Delta"), 16, 192, 97, 25, false);
    labDeltaVorschlag = MakeLabel(this, 8, 224, QStringLiteral("Vorschlag:"));
    labDeltaVorgeschlagen = MakeLabel(this, 64, 224, QStringLiteral("0"), 0, true);
    labSchranke = MakeLabel(this, 8, 243, QStringLiteral("Schranke:"));
    cmbSchranke = MakeCombo(this, 64, 240, 65, {"25", "50", "75", "80", "90", "100"},
                            QStringLiteral("50"));
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
    QWidget* const tabOrder[] = {Panel1,     butEnde,    trbLevel,   scrDelta,    butKompress,
                                 butCalcDelta, cmbEpsilon, Panel2,   butBmpOpen,  butBMPSave,
                                 cmbSchranke, butFehler,  butAbout};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
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

template <typename Work>
void TfrmTesora::Guarded(Work&& work) {
    guard_.Run(std::forward<Work>(work));
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
        const QString folder = samplesFolder_.isEmpty() ? UserPicturesFolder() : samplesFolder_;
        const std::optional<QString> path = dialogs_->OpenPicture(this, folder);
        if (!path) return;
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
    try {
        picture = LoadPictureFile(path);
    } catch (const EmptyPictureError&) {
        frontend_.SetStatus("Kein Bild geladen...");
        return;
    } catch (const TooWidePictureError&) {
        // Known from the header: nothing of the picture was decoded.
        frontend_.SetStatus("Bild zu breit (max. 1025 Pixel)!");
        return;
    }

    // The window's own part: geometry and its two images; the rest is the core's.
    imgBild->SetImage(picture);
    SizeWindowsToPicture(picture.width(), picture.height());
    frmReducedImg->show();
    frmReducedImg->ReducedImg->SetImage(picture);
    loadedFileName_ = path;
    OpenLoadedPicture(frontend_, path.toStdString());
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
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const FittedClient client = FitClient(designed, imgBild->size(), QSize(144, 64), QSize(383, 322),
                                          screen.size() - FrameSize(*this), bar);
    const int clientHeight = client.size.height();
    Panel1->resize(Panel1->width(), clientHeight - 1);
    resize(client.size);
    PlacePicture(*this, *imgBild, sclBild, QRect(144, 0, client.size.width() - 144, clientHeight - 64),
                 client.scrolls);
    if (const QPoint onScreen = MoveInside(frameGeometry(), screen); onScreen != pos()) move(onScreen);

    const int buttonTop = clientHeight - 45;
    for (QWidget* control : {static_cast<QWidget*>(butBmpOpen), static_cast<QWidget*>(butBMPSave),
                             static_cast<QWidget*>(butEnde), static_cast<QWidget*>(butAbout)})
        control->move(control->x(), buttonTop);
    labDateiName->move(labDateiName->x(), clientHeight - 15);

    TfrmReducedImg& reduced = *frmReducedImg;
    reduced.ReducedImg->resize(width, height);
    // Before it is first shown the window has no frame yet; it gets one like ours.
    QSize reducedFrame = FrameSize(reduced);
    if (reducedFrame.isEmpty()) reducedFrame = FrameSize(*this);
    const FittedClient reducedClient = FitClient(QSize(width, height), QSize(width, height), QSize(0, 0),
                                                 QSize(0, 0), screen.size() - reducedFrame, bar);
    reduced.resize(reducedClient.size);
    PlacePicture(reduced, *reduced.ReducedImg, reduced.sclReduced, QRect(QPoint(0, 0), reducedClient.size),
                 reducedClient.scrolls);
    // Beside the main window, as far as the screen allows.
    const QPoint beside(x() + frameGeometry().width(), y());
    reduced.move(MoveInside(QRect(beside, reducedClient.size + reducedFrame), screen));
}

void TfrmTesora::butEndeClick() {
    Guarded([&] {
        delete frmReducedImg;
        frmReducedImg = nullptr;
        delete frmAbout;
        frmAbout = nullptr;
        exitProcess_(0);
    });
}

void TfrmTesora::trbLevelChange() {
    Guarded([&] {
        // Below level 2 there is nothing to decompose; a level-1 picture never gets here
        // through the disabled track bar, this keeps it so.
        if (PictureLevel < 2) return;
        LevelChange(frontend_, trbLevel->value());
    });
}

void TfrmTesora::scrDeltaChange() {
    Guarded([&] { DeltaPositionChanged(frontend_, scrDelta->value()); });
}

void TfrmTesora::butBMPSaveClick() {
    Guarded([&] {
        const QString folder = SaveFolderFor(loadedFileName_);
        const std::optional<QString> chosen = dialogs_->SavePicture(this, folder);
        if (!chosen) {
            frontend_.SetStatus("Datei nicht gesichert!");
            return;
        }
        // A bare name belongs in the folder the dialog showed, not wherever the process
        // was started. Case-sensitive: "bild.BMP" becomes "bild.BMP.bmp", short names
        // always grow.
        QString name = QDir(folder).filePath(*chosen);
        if (!name.endsWith(QStringLiteral(".bmp"), Qt::CaseSensitive)) name += QStringLiteral(".bmp");
        if (!frmReducedImg) throw Error("Das Fenster \"Reduziertes Bild\" existiert nicht mehr.");
        SavePictureFile(frmReducedImg->ReducedImg->Image(), name);
        frontend_.SetStatus("Datei gesichert!");
    });
}

void TfrmTesora::butKompressClick() {
    Guarded([&] { Reduce(frontend_); });
}

void TfrmTesora::cmbEpsilonChange() {
    Guarded([&] { EpsilonChanged(cmbEpsilon->currentText().toStdString()); });
}

void TfrmTesora::butCalcDeltaClick() {
    Guarded([&] { CalcDelta(frontend_); });
}

void TfrmTesora::cmbSchrankeChange() {
    Guarded([&] { SchrankeChanged(cmbSchranke->currentText().toStdString()); });
}

void TfrmTesora::butFehlerClick() {
    Guarded([&] { MeasureError(frontend_); });
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
