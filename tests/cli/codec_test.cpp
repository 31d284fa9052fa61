// encode and decode: the file's size, the picture it decodes to, and files refused.
#include <QFile>
#include <QJsonArray>
#include <QImage>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

using CodecCommandTest = CliTest;

TEST_F(CodecCommandTest, DecodedPictureIsTheEncodingRunsReconstruction) {
    const QString picture = Scene("scene.bmp", 200, 150);
    QImage colours(90, 70, QImage::Format_RGB32);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x) colours.setPixel(x, y, qRgb(x * 2, (x * y) % 256, 255 - y * 3));
    const QString colour = Save(colours, "colour.bmp");
    struct Case {
        QString picture;
        QStringList options;
    };
    for (const Case& c : {Case{picture, {"--bytes", "2000", "--delta", "0.3"}}, Case{picture, {"--quantise", "4"}},
                          Case{colour, {"--bpp", "1.5", "--colour", "--rule", "flat"}},
                          Case{picture, {"--bytes", "2000", "--basis", "cdf53"}},
                          Case{colour, {"--bpp", "1", "--colour", "--delta", "0.5", "--synthesis", "exact"}}}) {
        const QString file = dir.filePath("out.tsr"), reconstruction = dir.filePath("rec.png");
        const CliRun encoded =
            Run(QStringList{"encode", c.picture, "-o", file, "--reconstruction", reconstruction, "--json"} + c.options);
        ASSERT_EQ(encoded.status, 0) << encoded.err.toStdString();
        const qint64 bytes = QFile(file).size();
        EXPECT_EQ(encoded.Json()["bytes"].toInteger(), bytes);
        // Colour reports Y beside RGB (this scene's texture keeps both near 20 dB; a wrong plane gives ~5).
        if (c.options.contains("--colour")) {
            EXPECT_GT(encoded.Json()["psnr_y"].toDouble(), 15.0) << c.options.join(' ').toStdString();
        }
        if (c.options.first() == QLatin1String("--bytes")) {
            EXPECT_LE(bytes, 2000);
            EXPECT_GE(bytes, 1980);
        }
        const CliRun decoded = Run({"decode", file, "-o", dir.filePath("dec.png")});
        ASSERT_EQ(decoded.status, 0) << decoded.err.toStdString();
        EXPECT_EQ(QImage(dir.filePath("dec.png")), QImage(reconstruction)) << c.options.join(' ').toStdString();
    }
}

TEST_F(CodecCommandTest, DamagedCutOrForeignFilesAreRefusedWithOneLine) {
    const QString picture = Scene("scene.bmp", 64, 40);
    const QString file = dir.filePath("a.tsr");
    ASSERT_EQ(Run({"encode", picture, "-o", file, "--bpp", "2", "--delta", "0.5"}).status, 0);
    const QJsonObject info = Run({"info", file, "--json"}).Json()["files"].toArray()[0].toObject();
    EXPECT_EQ(info["width"].toInt(), 64);
    EXPECT_EQ(info["delta"].toDouble(), 0.5);
    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray bytes = read.readAll();
    QByteArray damaged = bytes;
    damaged[70] = static_cast<char>(damaged[70] ^ 4);
    for (const QString& bad : {Text("damaged.tsr", damaged), Text("cut.tsr", bytes.left(bytes.size() - 1)), picture}) {
        EXPECT_EQ(Run({"info", bad}).status, bad == picture ? 0 : 1);
        const CliRun run = Run({"decode", bad, "-o", dir.filePath("never.png")});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("never.png")));
    }
    EXPECT_EQ(Run({"encode", picture, "-o", file, "--bpp", "1", "--bytes", "100"}).status, 2);
}

}  // namespace
}  // namespace tesora::testing
