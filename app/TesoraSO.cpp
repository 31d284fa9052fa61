#include "app/TesoraSO.h"

#include <QComboBox>
#include <QDir>
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
#include "app/DataFolders.h"
#include "picture/PictureFile.h"
#include "picture/SameFile.h"
#include "tools/FitPicture.h"
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

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height, bool enabled) {
    auto* button = new EnterButton(caption, parent);
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

    auto* wheel = new FocusedWheelOnly(this);
    for (QWidget* control : {static_cast<QWidget*>(trbLevel), static_cast<QWidget*>(scrDelta),
                             static_cast<QWidget*>(cmbEpsilon), static_cast<QWidget*>(cmbSchranke)}) {
        // The wheel does not take the keyboard either.
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(wheel);
    }
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
                frontend_.SetStatus("Bild zu breit (max. 1025 Pixel)!");
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
    const QString text =
        QStringLiteral("Das Bild „%1“ ist %2 × %3 Pixel groß. Tesora zerlegt Bilder bis "
                       "1025 Pixel Breite und 1025 × 4096 Pixel Fläche.\n\n"
                       "Soll es verkleinert auf %4 × %5 Pixel geöffnet werden? Jedes neue Pixel ist "
                       "dann der Mittelwert der Fläche, die es im Original bedeckt; „Fehler?“ "
                       "vergleicht mit diesem verkleinerten Bild.\n\n„Nein“ öffnet das Bild nicht.")
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
    const FittedClient client = FitClient(designed, imgBild->size(), QSize(144, 64), QSize(383, 322),
                                          screen.size() - frameSize, bar);
    const int clientHeight = client.size.height();
    Panel1->resize(Panel1->width(), clientHeight - 1);
    resize(client.size);
    PlacePicture(*this, *imgBild, sclBild, QRect(144, 0, client.size.width() - 144, clientHeight - 64),
                 client.scrolls);
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
    const FittedClient reducedClient = FitClient(QSize(width, height), QSize(width, height), QSize(0, 0),
                                                 QSize(0, 0), outer.size().shrunkBy(reducedFrame), bar);
    reduced.resize(reducedClient.size);
    PlacePicture(reduced, *reduced.ReducedImg, reduced.sclReduced, QRect(QPoint(0, 0), reducedClient.size),
                 reducedClient.scrolls);
    reduced.move(outer.topLeft());
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
        // A closed reduced-picture window comes back with the next level it shows.
        if (frmReducedImg && !frmReducedImg->isVisible() && PictureWidth > 0) frmReducedImg->show();
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
        // "Fehler?" compares with the opened file: replacing it would lose the original.
        if (SameExistingFile(name, loadedFileName_)) {
            frontend_.SetStatus("Datei nicht gesichert!");
            if (notice_)
                notice_(QStringLiteral("Nicht gesichert"),
                        QStringLiteral("„%1“ ist das geöffnete Bild (oder ein Verweis darauf). "
                                       "„Fehler?“ vergleicht mit dieser Datei; sie wird daher nicht "
                                       "überschrieben.\n\nBitte einen anderen Namen wählen.")
                            .arg(name));
            return;
        }
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
