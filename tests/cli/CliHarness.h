#pragma once
// Runs tesora-cli in-process and makes the pictures it works on, in a temporary folder.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include "cli/Cli.h"
#include "cli/Road.h"

namespace tesora::testing {

struct CliRun {
    int status;
    QString out;
    QString err;
    QJsonObject Json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

class CliTest : public ::testing::Test {
protected:
    // Leaves the state of a fresh start for the next test, tables included: a test
    // that never ran the tool in-process has not filled them.
    void TearDown() override { cli::StartProgram(); }

    static CliRun Run(QStringList args) {
        args.prepend(QStringLiteral("tesora-cli"));
        CliRun run{0, {}, {}};
        QTextStream out(&run.out), err(&run.err);
        run.status = cli::RunCli(args, out, err);
        return run;
    }

    // A grey picture with value f(x, y) (red = green = blue), written as BMP.
    QString Grey(const QString& name, int width, int height, const std::function<int(int, int)>& f) {
        QImage picture(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int g = f(x, y) & 255;
                picture.setPixel(x, y, qRgb(g, g, g));
            }
        return Save(picture, name);
    }
    // Structure at several scales, so reductions remove some details and keep others.
    QString Scene(const QString& name, int width, int height) {
        return Grey(name, width, height, [](int x, int y) {
            return (x * 7 + y * 3) / 4 % 64 + ((x / 16 + y / 16) % 2) * 120 + (x * y) % 13;
        });
    }
    QString Save(const QImage& picture, const QString& name) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(picture.save(path, "BMP"));
        return path;
    }
    QString Text(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Everything in the folder, temporaries of an interrupted write included.
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir dir;
};

}  // namespace tesora::testing
