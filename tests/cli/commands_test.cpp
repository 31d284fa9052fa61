// What the subcommands report and write, checked against the files they write and
// against the core's own formulas where the report restates a window's label.
#include <QJsonArray>
#include <clocale>
#include <cmath>

#include "CliHarness.h"
#include "picture/PictureFile.h"
#include "blac/Bank.h"
#include "blac/DeltaControl.h"
#include "matrix/Numbers.h"

namespace tesora::testing {
namespace {

QString Label(const QJsonObject& run, const char* name) {
    return run["labels"].toObject()[QString::fromLatin1(name)].toString();
}
QString G(double value) { return QString::fromStdString(FormatG(value)); }

using InfoAndFiltersTest = CliTest;

TEST_F(InfoAndFiltersTest, InfoGivesSizeAndTheLevelOfTheWidth) {
    const QString a = Grey("a.bmp", 129, 40, [](int x, int) { return x; });
    const QString b = Grey("b.bmp", 130, 10, [](int, int y) { return y; });
    const QString c = Grey("c.bmp", 3, 200, [](int, int) { return 9; });

    const CliRun json = Run({"info", a, b, c, "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonArray pictures = json.Json()["pictures"].toArray();
    ASSERT_EQ(pictures.size(), 3);
    EXPECT_EQ(pictures[0].toObject()["level"].toInt(), 7);
    EXPECT_EQ(pictures[1].toObject()["level"].toInt(), 8);
    EXPECT_EQ(pictures[2].toObject()["level"].toInt(), 1);  // the height plays no part
    EXPECT_EQ(pictures[2].toObject()["height"].toInt(), 200);
    EXPECT_EQ(pictures[1].toObject()["picture"].toString(), b);

    const CliRun text = Run({"info", a});
    EXPECT_EQ(text.out, a + QStringLiteral(": 129 x 40 Pixel, Level 7\n"));
}

TEST_F(InfoAndFiltersTest, InfoReportsEveryGoodPictureAndOneLinePerBadOne) {
    const QString a = Grey("a.bmp", 40, 30, [](int x, int) { return x; });
    const QString wide = Grey("wide.bmp", 1100, 4, [](int x, int) { return x; });
    const QString b = Grey("b.bmp", 20, 10, [](int, int y) { return y; });
    const CliRun run = Run({"info", a, wide, dir.filePath("missing.bmp"), b});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, a + ": 40 x 30 Pixel, Level 6\n" + b + ": 20 x 10 Pixel, Level 5\n");
    const QStringList errors = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(errors.size(), 2) << run.err.toStdString();
    EXPECT_TRUE(errors[0].contains(QStringLiteral("1100 Pixel breit")));
    EXPECT_TRUE(errors[1].contains(QStringLiteral("existiert nicht")));

    // --fit opens the wide one scaled down, as "Ja" in the window does.
    const CliRun fitted = Run({"info", wide, "--fit", "--json"});
    ASSERT_EQ(fitted.status, 0) << fitted.err.toStdString();
    const QJsonObject picture = fitted.Json()["pictures"].toArray()[0].toObject();
    EXPECT_EQ(picture["width"].toInt(), 1025);
    EXPECT_EQ(picture["height"].toInt(), 4);  // 3.73 rounded
    EXPECT_EQ(picture["level"].toInt(), 10);
}

TEST_F(InfoAndFiltersTest, FitScalesLikeTheWindowAndFehlerComparesWithTheScaledPicture) {
    const QString wide = Grey("wide.bmp", 2050, 60, [](int x, int y) { return (x / 2 + y * 3) % 256; });
    EXPECT_EQ(Run({"compress", wide, "--level", "8"}).status, 1);
    const CliRun run =
        Run({"compress", wide, "--level", "10", "--fit", "--reconstruction", dir.filePath("r.bmp"), "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.Json()["width"].toInt(), 1025);
    EXPECT_EQ(run.Json()["height"].toInt(), 30);
    // Nothing transformed, nothing removed: the reconstruction is the scaled picture.
    EXPECT_EQ(run.Json()["mean_error"].toDouble(), 0.0);
    const QImage scaled = FitPicture(QImage(wide).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QImage(dir.filePath("r.bmp")).convertToFormat(QImage::Format_RGB32), scaled);
    // Pixel (7, 5) covers x 14, 15 and y 10, 11: values 37, 37, 40, 40, mean 38.5, halves up.
    EXPECT_EQ(qRed(scaled.pixel(7, 5)), 39);
}

TEST_F(InfoAndFiltersTest, FiltersOfAPositionAreTheScrollBarsToFullPrecision) {
    const CliRun json = Run({"filters", "--position", "61", "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    // The globals now hold what the scroll bar's handler computed; JSON must carry every
    // bit of them back.
    const QJsonObject doc = json.Json();
    EXPECT_EQ(doc["delta"].toDouble(), DeltaFromPosition(61));
    EXPECT_EQ(doc["position"].toInt(), 61);
    const QJsonArray inner = doc["wavelet_inner"].toArray();
    ASSERT_EQ(inner.size(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(inner[i].toDouble(), WaveletInner[i]) << i;
    ASSERT_EQ(doc["wavelet_left"].toArray().size(), 4);
    ASSERT_EQ(doc["wavelet_right"].toArray().size(), 4);
    EXPECT_EQ(doc["wavelet_right"].toArray()[3].toDouble(), WaveletRight[3]);
    EXPECT_EQ(doc["half_delta"].toDouble(), HalfDelta);
    // The next run starts afresh: position 0 moves nothing and Delta is 0 again.
    EXPECT_EQ(Run({"filters", "--position", "0", "--json"}).Json()["delta"].toDouble(), 0.0);

    // Text gives the shortest digits that read back exactly, with a point whatever the
    // locale says.
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    const CliRun text = Run({"filters", "--position", "61"});
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("Delta: 0.61 (Position 61)\n"))) << text.out.toStdString();
    const QString innerText = text.out.section(QStringLiteral("WaveletInner: "), 1).section('\n', 0, 0);
    const QStringList numbers = innerText.split(' ');
    ASSERT_EQ(numbers.size(), 5) << innerText.toStdString();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(numbers[i].toDouble(), WaveletInner[i]) << i;
        EXPECT_LE(numbers[i].size(), QString::number(WaveletInner[i], 'g', 17).size()) << i;
    }
}

TEST_F(InfoAndFiltersTest, RawDeltaZeroGivesTheFiltersOfPositionZero) {
    const QJsonObject byPosition = Run({"filters", "--position", "0", "--json"}).Json();
    const QJsonObject byDelta = Run({"filters", "--delta", "0", "--json"}).Json();
    EXPECT_EQ(byPosition["wavelet_left"], byDelta["wavelet_left"]);
    EXPECT_EQ(byPosition["wavelet_inner"], byDelta["wavelet_inner"]);
    EXPECT_TRUE(byDelta["position"].isNull());
    const QJsonObject other = Run({"filters", "--delta", "0.37", "--json"}).Json();
    EXPECT_EQ(other["delta"].toDouble(), 0.37);
    EXPECT_NE(other["wavelet_inner"], byDelta["wavelet_inner"]);
}

TEST_F(InfoAndFiltersTest, EverySubcommandHasGermanHelp) {
    for (const char* command : {"info", "filters", "compress", "propose", "sweep"}) {
        const CliRun run = Run({command, "--help"});
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("Aufruf: tesora-cli ") + command)) << command;
        EXPECT_TRUE(run.out.contains(QStringLiteral("--json"))) << command;
        EXPECT_TRUE(run.out.contains(QStringLiteral("Optionen:"))) << command;
        EXPECT_TRUE(run.err.isEmpty()) << command;
    }
    const CliRun overview = Run({"--help"});
    EXPECT_EQ(overview.status, 0);
    for (const char* command : {"info", "filters", "compress", "propose", "sweep"})
        EXPECT_TRUE(overview.out.contains(QStringLiteral("  ") + command)) << command;
}

class CompressTest : public CliTest {
protected:
    void SetUp() override { picture = Scene("scene.bmp", 64, 48); }  // level 6
    QString picture;
};

TEST_F(CompressTest, AtThePicturesOwnLevelNothingIsLost) {
    const CliRun json = Run({"compress", picture, "--level", "6", "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject r = json.Json();
    EXPECT_EQ(r["mean_error"].toDouble(), 0.0);
    EXPECT_TRUE(r["psnr"].isNull());  // infinite
    EXPECT_EQ(r["energy_kept"].toDouble(), 100.0);
    EXPECT_EQ(r["zero_count"].toInt(), 0);
    EXPECT_TRUE(r["epsilon"].isNull());
    EXPECT_EQ(Label(r, "lab_fehler"), QStringLiteral("0"));
    EXPECT_EQ(Label(r, "lab_prozent"), QStringLiteral("0 %"));

    const CliRun text = Run({"compress", picture, "--level", "6"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nPSNR: inf\n"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nEnergie erhalten: 100 %\n")));
}

TEST_F(CompressTest, FiguresAgreeWithTheReconstructionItWrites) {
    const QString reconstruction = dir.filePath("r.bmp");
    const CliRun run = Run({"compress", picture, "--level", "3", "--position", "50", "--epsilon", "4",
                            "--reconstruction", reconstruction, "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject r = run.Json();
    EXPECT_EQ(r["picture_level"].toInt(), 6);
    EXPECT_EQ(r["delta"].toDouble(), DeltaFromPosition(50));
    EXPECT_EQ(r["epsilon"].toDouble(), 4.0);
    const int count = r["zero_count"].toInt();
    ASSERT_GT(count, 0);
    EXPECT_EQ(r["zero_share"].toDouble(), count * 100.0 / 4096.0);
    EXPECT_EQ(Label(r, "lab_prozent"), G(count * 100.0 / 4096.0) + " %");
    EXPECT_EQ(Label(r, "lab_fehler"), G(r["mean_error"].toDouble()));
    EXPECT_EQ(Label(r, "lab_level"), QStringLiteral("Level: 6"));

    // Mean error, PSNR and energy from the two files themselves.
    const QImage original(picture), rebuilt(reconstruction);
    ASSERT_EQ(rebuilt.size(), QSize(64, 48));
    double absolute = 0, squared = 0, energyOriginal = 0, energyRebuilt = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const double a = qRed(rebuilt.pixel(x, y)), b = qRed(original.pixel(x, y));
            absolute += std::abs(a - b);
            squared += (a - b) * (a - b);
            energyOriginal += b * b;
            energyRebuilt += a * a;
        }
    ASSERT_GT(squared, 0);
    EXPECT_DOUBLE_EQ(r["mean_error"].toDouble(), absolute / (64 * 48));
    EXPECT_NEAR(r["psnr"].toDouble(), 10 * std::log10(255.0 * 255.0 / (squared / (64 * 48))), 1e-12);
    EXPECT_NEAR(r["energy_kept"].toDouble(), energyRebuilt / energyOriginal * 100, 1e-12);
}

TEST_F(CompressTest, WritesEachPictureInTheFormatOfItsExtension) {
    const QString a = dir.filePath("a.png"), c = dir.filePath("c.bmp"), r = dir.filePath("r.png");
    const CliRun run = Run({"compress", picture, "--level", "2", "--epsilon", "1e300", "--approximation", a,
                            "--coefficients", c, "--reconstruction", r, "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    // Everything outside the 5 x 5 smoothing block of level 2 goes: 65^2 - 25 elements.
    EXPECT_EQ(run.Json()["zero_count"].toInt(), 65 * 65 - 25);
    EXPECT_EQ(Label(run.Json(), "lab_prozent"), QStringLiteral("102.539 %"));

    auto head = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
    };
    EXPECT_EQ(head(a), QByteArray("\x89PNG", 4));
    EXPECT_EQ(head(c).left(2), QByteArray("BM"));
    EXPECT_EQ(head(r), QByteArray("\x89PNG", 4));
    const QImage coefficients(c);
    ASSERT_EQ(coefficients.size(), QSize(64, 48));
    // Red markers everywhere but on the smoothing block, which keeps its greys.
    EXPECT_EQ(coefficients.pixel(63, 47), qRgb(255, 0, 0));
    EXPECT_EQ(coefficients.pixel(5, 0), qRgb(255, 0, 0));
    const QRgb kept = coefficients.pixel(2, 2);
    EXPECT_TRUE(qRed(kept) == qGreen(kept) && qGreen(kept) == qBlue(kept));
    EXPECT_EQ(QImage(a).size(), QSize(64, 48));
    // Only the three outputs were added: no temporaries left over.
    EXPECT_EQ(Files(), (QStringList{"a.png", "c.bmp", "r.png", "scene.bmp"}));
}

TEST_F(CompressTest, SweepRowsEqualSingleRunsWhateverRanBefore) {
    const QString second = Grey("second.bmp", 33, 20, [](int x, int y) { return x * x + 9 * y; });
    const CliRun sweep =
        Run({"sweep", picture, second, "--level", "3", "--epsilon", "2.5", "--positions", "0:60:30", "--json"});
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    const QJsonArray runs = sweep.Json()["runs"].toArray();
    ASSERT_EQ(runs.size(), 6);
    // Each row is a fresh program: the same as compress on its own, run afterwards.
    for (const QJsonValue& value : runs) {
        const QJsonObject row = value.toObject();
        QJsonObject single = Run({"compress", row["picture"].toString(), "--level", "3", "--epsilon", "2.5",
                                  "--position", QString::number(row["position"].toInt()), "--json"})
                                 .Json();
        single.remove(QStringLiteral("format"));  // the document's, not the row's
        EXPECT_EQ(row, single) << row["picture"].toString().toStdString() << " " << row["position"].toInt();
    }
    EXPECT_EQ(runs[1].toObject()["position"].toInt(), 30);
    EXPECT_EQ(runs[5].toObject()["picture"].toString(), second);
}

TEST_F(CompressTest, SweepWritesCsvAndPlot) {
    const QString csv = dir.filePath("s.csv"), plot = dir.filePath("s.png");
    const CliRun run = Run(
        {"sweep", picture, "--level", "4", "--epsilon", "3", "--positions", "10:40:10", "--csv", csv, "--plot", plot});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("picture,level,position,delta,epsilon,schranke,zero_share,"
                                       "own_zero_share,mean_error,psnr,energy_kept,floor_mean_error,floor_psnr,"
                                       "psnr_exact,entropy_bpp,synthesis,floor_psnr_exact,coded_count"));
    const QStringList row = lines[2].split(',');
    ASSERT_EQ(row.size(), 18);
    EXPECT_EQ(row[1], QStringLiteral("4"));
    EXPECT_EQ(row[2], QStringLiteral("20"));
    EXPECT_EQ(row[3], QStringLiteral("0.2"));  // shortest, and it reads back exactly
    EXPECT_EQ(row[3].toDouble(), DeltaFromPosition(20));
    EXPECT_EQ(row[4], QStringLiteral("3"));
    EXPECT_EQ(row[5], QStringLiteral("50"));
    // Standard output stays empty: the notes on both files are messages.
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("4 Läufe, Tabelle in %1\nDiagramm in %2\n").arg(csv, plot));

    const QImage image(plot);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(900, 600));
    int curvePixels = 0;  // the first curve's colour, inside its markers
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) curvePixels += image.pixel(x, y) == qRgb(0, 114, 178);
    EXPECT_GT(curvePixels, 40);
    // Without --csv the table goes to standard output.
    const CliRun table = Run({"sweep", picture, "--level", "4", "--epsilon", "3", "--positions", "10:40:10"});
    EXPECT_EQ(table.out.split('\n', Qt::SkipEmptyParts), lines);
}

TEST_F(CompressTest, SweepShowsProgressOnlyWhenAskedTo) {
    const QStringList args{"tesora-cli", "sweep", picture, "--level", "5", "--epsilon", "1", "--positions", "0:10:10"};
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    ASSERT_EQ(cli::RunCli(args, outStream, errStream, true), 0);
    // Rows done of all rows: a picture at two positions, one Epsilon.
    EXPECT_TRUE(err.contains(QStringLiteral("\r1/2 Zeilen, ")) && err.contains(QStringLiteral("\r2/2 Zeilen, ")))
        << err.toStdString();
    // The progress line is blanked, so whatever comes next starts on a clean line.
    EXPECT_TRUE(err.endsWith('\r'));
    EXPECT_TRUE(err.section('\r', -2, -2).trimmed().isEmpty()) << err.toStdString();
    EXPECT_EQ(out.count('\n'), 3);  // the table alone: progress never reaches stdout

    // Not a terminal: nothing unless asked for, then a plain line per tenth.
    const CliRun quiet = Run(QStringList(args.mid(1)));
    EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
    const CliRun asked = Run(QStringList(args.mid(1)) << "--progress");
    EXPECT_EQ(asked.out, quiet.out);
    EXPECT_FALSE(asked.err.contains('\r'));
    EXPECT_TRUE(asked.err.startsWith(QStringLiteral("Fortschritt: 50 % (1/2 Zeilen, "))) << asked.err.toStdString();
    EXPECT_TRUE(asked.err.contains(QStringLiteral("\nFortschritt: 100 % (2/2 Zeilen, "))) << asked.err.toStdString();

    QString closing, unused;
    QTextStream closingStream(&closing), unusedStream(&unused);
    ASSERT_EQ(cli::RunCli(QStringList(args) << "--csv" << dir.filePath("t.csv"), unusedStream, closingStream, true), 0);
    EXPECT_TRUE(closing.section('\r', -1).startsWith(QStringLiteral("2 Läufe, Tabelle in "))) << closing.toStdString();
    EXPECT_TRUE(closing.section('\r', -2, -2).trimmed().isEmpty()) << closing.toStdString();
}

class ProposeTest : public CliTest {};

TEST_F(ProposeTest, ReportsWhatCalcDeltaShowsAndSets) {
    const QString picture = Scene("scene.bmp", 50, 40);
    const QString difference = dir.filePath("d.bmp");
    const CliRun run = Run({"propose", picture, "--difference", difference, "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject r = run.Json();
    const double proposal = r["difference_sum_below"].toDouble() / r["difference_sum_total"].toDouble();
    EXPECT_EQ(Label(r, "lab_delta_vorgeschlagen"), " " + G(proposal));
    const int position = PositionFromDelta(proposal);
    EXPECT_EQ(r["position"].toInt(), position);
    EXPECT_EQ(r["delta"].toDouble(), position == 0 ? proposal : DeltaFromPosition(position));
    EXPECT_EQ(r["schranke"].toDouble(), 50.0);

    const QImage image(difference);
    ASSERT_EQ(image.size(), QSize(50, 40));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));  // the frame stays black
    EXPECT_EQ(image.pixel(49, 20), qRgb(0, 0, 0));

    const CliRun text = Run({"propose", picture, "--schranke", "0"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nVorschlag: 0\nPosition: 0\nDelta: 0\n"))) << text.out.toStdString();

    // Beyond a double's range the bound is infinity, as the combo box reads it.
    const CliRun unbounded = Run({"propose", picture, "--schranke", "1e999"});
    ASSERT_EQ(unbounded.status, 0) << unbounded.err.toStdString();
    EXPECT_TRUE(unbounded.out.contains(QStringLiteral("\nVorschlag: 1\nPosition: 100\nDelta: 1\n")))
        << unbounded.out.toStdString();
}

TEST_F(CompressTest, EpsilonBeyondTheRangeOfADoubleRemovesEveryDetail) {
    const QJsonObject huge = Run({"compress", picture, "--level", "3", "--epsilon", "1e300", "--json"}).Json();
    const CliRun infinite = Run({"compress", picture, "--level", "3", "--epsilon", "1e999", "--json"});
    ASSERT_EQ(infinite.status, 0) << infinite.err.toStdString();
    EXPECT_EQ(Label(infinite.Json(), "lab_prozent"), Label(huge, "lab_prozent"));
    EXPECT_EQ(Label(infinite.Json(), "lab_fehler"), Label(huge, "lab_fehler"));
}

TEST_F(ProposeTest, WithoutDifferencesTheScrollBarStepsDownAsInTheWindow) {
    // Both sums 0: Delta stays 0.61, and 0.61 * 100 truncates to 60.
    const QString flat = Grey("flat.bmp", 20, 20, [](int, int) { return 0; });
    const QJsonObject r = Run({"propose", flat, "--position", "61", "--json"}).Json();
    EXPECT_EQ(Label(r, "lab_delta_vorgeschlagen"), QStringLiteral(" 0.61"));
    EXPECT_EQ(r["position"].toInt(), 60);
    EXPECT_EQ(r["delta"].toDouble(), DeltaFromPosition(60));
}

}  // namespace
}  // namespace tesora::testing
