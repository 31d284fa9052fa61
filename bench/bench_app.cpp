// The windows under the offscreen platform: start-up to the first shown main window,
// opening a 1025 x 1025 picture, the track bar moved 10 -> 2 and back, and the three
// tool buttons (each the whole handler, painting into both windows included).
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

#include "platform/Platform.h"
#include "app/Forms.h"
#include "app/TesoraSO.h"
#include "blac/State.h"

namespace {

using namespace tesora;

class FixedFile : public FileDialogs {
public:
    explicit FixedFile(QString path) : path_(std::move(path)) {}
    std::optional<QString> OpenPicture(QWidget*, const QString&) override { return path_; }
    std::optional<QString> SavePicture(QWidget*, const QString&) override { return std::nullopt; }

private:
    QString path_;
};

// A 1025 x 1025 grey picture with structure at every scale, written once per run.
const QString& LargePicture() {
    static QTemporaryDir dir;
    static const QString path = [] {
        QImage picture(1025, 1025, QImage::Format_Grayscale8);
        for (int y = 0; y < 1025; ++y)
            for (int x = 0; x < 1025; ++x)
                picture.scanLine(y)[x] = static_cast<uchar>((x * x / 7 + y * 3 + (x ^ y)) & 255);
        const QString p = dir.filePath("large.bmp");
        if (!picture.save(p, "BMP")) std::abort();
        return p;
    }();
    return path;
}

// The application object of the benchmarks after the start-up one, made on first use.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "bench_app";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

void StartForms() {
    EnsureApplication();
    ResetState();
    CreateForms();
    frmTesora->SetErrorDisplay([](const QString& message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
        std::abort();
    });
    frmTesora->show();
    QCoreApplication::processEvents();
}

// The whole start of the program: the application object, the four windows (with the
// tables FormCreate fills) and the first shown main window.
void BM_StartUp(benchmark::State& state) {
    if (QApplication::instance()) {
        state.SkipWithError("run the start-up benchmark first");
        return;
    }
    int argc = 1;
    char name[] = "bench_app";
    char* argv[] = {name, nullptr};
    for (auto _ : state) {
        auto application = std::make_unique<QApplication>(argc, argv);
        StartForms();
        state.PauseTiming();
        DestroyForms();
        application.reset();
        state.ResumeTiming();
    }
}

void BM_Open1025(benchmark::State& state) {
    StartForms();
    frmTesora->SetFileDialogs(std::make_unique<FixedFile>(LargePicture()));
    for (auto _ : state) {
        frmTesora->butBmpOpen->click();
        QCoreApplication::processEvents();
    }
    if (PictureLevel != 10) state.SkipWithError("picture not loaded");
    DestroyForms();
}

// Both directions are timed apart; the other one runs with the clock paused.
void BM_TrackBar(benchmark::State& state) {
    const bool down = state.range(0) == 0;
    StartForms();
    frmTesora->SetFileDialogs(std::make_unique<FixedFile>(LargePicture()));
    frmTesora->butBmpOpen->click();
    for (auto _ : state) {
        if (!down) {
            state.PauseTiming();
            frmTesora->trbLevel->setValue(2);
            state.ResumeTiming();
        }
        frmTesora->trbLevel->setValue(down ? 2 : 10);
        QCoreApplication::processEvents();
        if (down) {
            state.PauseTiming();
            frmTesora->trbLevel->setValue(10);
            state.ResumeTiming();
        }
    }
    if (CurrentLevel != 10 && CurrentLevel != 2) state.SkipWithError("level change failed");
    DestroyForms();
}

// The three tool buttons as the user presses them, through their handlers: Reduce at
// level 2, Calc Delta, and Fehler? at the picture's level, which reloads the file.
void BM_ToolButton(benchmark::State& state) {
    StartForms();
    frmTesora->SetFileDialogs(std::make_unique<FixedFile>(LargePicture()));
    frmTesora->butBmpOpen->click();
    QPushButton* button = nullptr;
    switch (state.range(0)) {
        case 0:
            frmTesora->trbLevel->setValue(2);
            button = frmTesora->butKompress;
            break;
        case 1: button = frmTesora->butCalcDelta; break;
        default: button = frmTesora->butFehler; break;
    }
    if (!button->isEnabled()) state.SkipWithError("button disabled");
    for (auto _ : state) {
        button->click();
        QCoreApplication::processEvents();
    }
    DestroyForms();
}

BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open1025)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrackBar)->ArgName("up")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
// 0 Reduce, 1 Calc Delta, 2 Fehler?
BENCHMARK(BM_ToolButton)->ArgName("button")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    tesora::platform::SetEnvironment("QT_QPA_PLATFORM", "offscreen", false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
