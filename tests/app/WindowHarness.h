#pragma once
// Drives the real windows under the offscreen platform: the dialogs answer from a
// script, errors and the process exit are recorded, pictures go to a temporary folder.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <deque>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "app/About.h"
#include "app/Forms.h"
#include "app/ReducedImg.h"
#include "app/Seams.h"
#include "app/Startup.h"
#include "app/TesoraSO.h"
#include "blac/Bank.h"
#include "blac/Start.h"
#include "blac/State.h"

namespace tesora::testing {

class ScriptedDialogs : public FileDialogs {
public:
    std::optional<QString> OpenPicture(QWidget*, const QString& folder) override {
        openFolder = folder;
        return Next(open);
    }
    std::optional<QString> SavePicture(QWidget*, const QString& folder) override {
        saveFolder = folder;
        return Next(save);
    }

    std::deque<std::optional<QString>> open;
    std::deque<std::optional<QString>> save;
    int asked = 0;
    QString openFolder, saveFolder;  // where the last dialogs started

private:
    std::optional<QString> Next(std::deque<std::optional<QString>>& answers) {
        ++asked;
        if (answers.empty()) return std::nullopt;
        const bool cancelled = !answers.front().has_value();
        const QString path = cancelled ? QString() : *answers.front();
        answers.pop_front();
        if (cancelled) return std::nullopt;
        return path;
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareApplication(*qApp);
        CreateForms();  // starts the program
        form = frmTesora;
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        form->SetFileDialogs(std::move(scripted));
        form->SetErrorDisplay([this](const QString& message) { errors.push_back(message); });
        form->SetProcessExit([this](int status) { exits.push_back(status); });
        // No box may wait for a person: questions take the scripted answer ("Nein"
        // when none is left), notices are recorded.
        form->SetQuestion([this](const QString&, const QString& text) {
            questions.push_back(text);
            if (answers.empty()) return false;
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        });
        form->SetNotice([this](const QString&, const QString& text) { notices.push_back(text); });
        form->Frontend().recordStatus = true;
        form->show();
    }
    void TearDown() override {
        DestroyForms();
        StartProgram();
    }

    // A picture whose red byte at (x, y) is (3x + 5y) mod 256; green and blue differ.
    static QImage Pattern(int width, int height) {
        QImage picture(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y, qRgb((3 * x + 5 * y) % 256, (x + 100) % 256, (y + 7) % 256));
        return picture;
    }
    QString Write(const QImage& picture, const QString& name) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(picture.save(path, "BMP"));
        return path;
    }
    void Open(const std::optional<QString>& answer) {
        dialogs->open.push_back(answer);
        form->butBmpOpen->click();
    }
    void Save(const std::optional<QString>& answer) {
        dialogs->save.push_back(answer);
        form->butBMPSave->click();
    }
    // A screen large enough for every picture, for tests of the designed geometry.
    void LargeScreen() {
        form->SetScreenArea([](const QWidget&) { return QRect(0, 0, 4000, 4000); });
    }
    QString Caption() const { return form->windowTitle(); }
    const std::vector<std::string>& Statuses() const { return form->Frontend().statusHistory; }
    QImage Reduced() const { return frmReducedImg->ReducedImg->Image(); }

    QTemporaryDir dir;
    TfrmTesora* form = nullptr;
    ScriptedDialogs* dialogs = nullptr;
    std::vector<QString> errors;
    std::vector<int> exits;
    std::deque<bool> answers;
    std::vector<QString> questions, notices;
};

// Everything a load may change, to compare before and after a refused one.
struct Snapshot {
    int width, height, level, pictureLevel;
    double m11, m22;
    QString file, caption, dateiName;
    QSize bild, reduced;
    bool enabled[5];
};

inline Snapshot Take(TfrmTesora* form) {
    return {PictureWidth,
            PictureHeight,
            CurrentLevel,
            PictureLevel,
            CoeffMatrix.Get(1, 1),
            CoeffMatrix.Get(2, 2),
            form->LoadedFileName(),
            form->windowTitle(),
            form->labDateiName->text(),
            form->imgBild->Image().size(),
            frmReducedImg->ReducedImg->Image().size(),
            {form->trbLevel->isEnabled(), form->butKompress->isEnabled(), form->butCalcDelta->isEnabled(),
             form->butBMPSave->isEnabled(), form->butFehler->isEnabled()}};
}

inline void ExpectSame(const Snapshot& a, const Snapshot& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.pictureLevel, b.pictureLevel);
    EXPECT_EQ(a.m11, b.m11);
    EXPECT_EQ(a.m22, b.m22);
    EXPECT_EQ(a.file, b.file);
    EXPECT_EQ(a.dateiName, b.dateiName);
    EXPECT_EQ(a.bild, b.bild);
    EXPECT_EQ(a.reduced, b.reduced);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a.enabled[i], b.enabled[i]) << i;
}

}  // namespace tesora::testing
