// The same picture, level, Delta and Epsilon give the same pictures and texts in the
// desktop program's windows and in tesora-cli, byte for byte.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include "app/WindowHarness.h"
#include "picture/PictureFile.h"
#include "cli/Cli.h"

namespace tesora::testing {
namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class WindowEquivalenceTest : public WindowTest {
protected:
    QJsonObject Cli(QStringList args) {
        args.prepend(QStringLiteral("tesora-cli"));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(cli::RunCli(args, outStream, errStream), 0) << err.toStdString();
        return QJsonDocument::fromJson(out.toUtf8()).object();
    }
    // What "Speichern" writes from a picture component, for pictures it cannot save.
    QByteArray AsSaved(const QImage& image, const QString& name) {
        const QString path = dir.filePath(name);
        SavePictureFile(image, path);
        return Bytes(path);
    }
    static QString Label(const QJsonObject& run, const char* name) {
        return run["labels"].toObject()[QString::fromLatin1(name)].toString();
    }
};

TEST_F(WindowEquivalenceTest, CompressMatchesTheRoadThroughTheWindows) {
    struct Case {
        int width, height, position, level;
        const char* epsilon;
    } cases[] = {{64, 48, 37, 3, "4"}, {100, 130, 0, 5, "2.5"}, {257, 40, 100, 2, "15"}, {33, 20, 10, 5, "2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " P" << c.position << " L" << c.level);
        const QString picture = Write(Pattern(c.width, c.height), "picture.bmp");

        // The user's road.
        Open(picture);
        form->scrDelta->setValue(c.position);
        form->trbLevel->setValue(c.level);
        Save(dir.filePath("window-approximation.bmp"));
        form->cmbEpsilon->setEditText(QString::fromLatin1(c.epsilon));
        form->butKompress->click();
        const QByteArray coefficients = AsSaved(form->imgBild->Image(), "window-coefficients.bmp");
        const QString prozent = form->labProzent->text();
        form->trbLevel->setValue(PictureLevel);
        const QByteArray reconstruction = AsSaved(form->imgBild->Image(), "window-reconstruction.bmp");
        form->butFehler->click();
        ASSERT_TRUE(errors.empty()) << errors.front().toStdString();
        const double windowDelta = Delta;  // a run starts from a freshly started program

        const QJsonObject run =
            Cli({"compress", picture, "--level", QString::number(c.level), "--position", QString::number(c.position),
                 "--epsilon", c.epsilon, "--approximation", dir.filePath("cli-approximation.bmp"), "--coefficients",
                 dir.filePath("cli-coefficients.bmp"), "--reconstruction", dir.filePath("cli-reconstruction.bmp"),
                 "--json"});

        EXPECT_EQ(Bytes(dir.filePath("cli-approximation.bmp")), Bytes(dir.filePath("window-approximation.bmp")));
        EXPECT_EQ(Bytes(dir.filePath("cli-coefficients.bmp")), coefficients);
        EXPECT_EQ(Bytes(dir.filePath("cli-reconstruction.bmp")), reconstruction);
        EXPECT_FALSE(coefficients.isEmpty());
        EXPECT_EQ(Label(run, "lab_prozent"), prozent);
        EXPECT_EQ(Label(run, "lab_fehler"), form->labFehler->text());
        EXPECT_EQ(Label(run, "lab_delta"), form->labDelta->text());
        EXPECT_EQ(Label(run, "lab_level"), form->labLevel->text());
        EXPECT_EQ(run["delta"].toDouble(), windowDelta);
    }
}

TEST_F(WindowEquivalenceTest, ProposeMatchesCalcDeltaInTheWindow) {
    const QString picture = Write(Pattern(90, 70), "picture.bmp");
    Open(picture);
    form->cmbSchranke->setEditText(QStringLiteral("75"));
    form->scrDelta->setValue(12);
    form->butCalcDelta->click();
    Save(dir.filePath("window-difference.bmp"));
    ASSERT_TRUE(errors.empty());
    const double windowDelta = Delta;

    const QJsonObject run = Cli({"propose", picture, "--schranke", "75", "--position", "12", "--difference",
                                 dir.filePath("cli-difference.bmp"), "--json"});
    EXPECT_EQ(Bytes(dir.filePath("cli-difference.bmp")), Bytes(dir.filePath("window-difference.bmp")));
    EXPECT_EQ(Label(run, "lab_delta_vorgeschlagen"), form->labDeltaVorgeschlagen->text());
    EXPECT_EQ(Label(run, "lab_delta"), form->labDelta->text());
    EXPECT_EQ(run["position"].toInt(), form->scrDelta->value());
    EXPECT_EQ(run["delta"].toDouble(), windowDelta);
}

}  // namespace
}  // namespace tesora::testing
