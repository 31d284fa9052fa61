// tesora-cli as a researcher uses it: clean data on standard output, numbers that read
// back exactly, one documented data shape, rate-distortion curves over several Epsilons
// in worker processes, the drawn basis functions, and figures over the picture's own
// area.
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "CliHarness.h"
#include "TesoraVersion.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "cli/Arguments.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "plot/FilterPlot.h"
#include "plot/Layout.h"
#include "report/DataText.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

QString Label(const QJsonObject& run, const char* name) {
    return run["labels"].toObject()[QString::fromLatin1(name)].toString();
}

// Every key of a document, nested ones included.
void Keys(const QJsonValue& value, QStringList& keys) {
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        keys << it.key();
        Keys(it.value(), keys);
    }
    if (value.isArray())
        for (const QJsonValue& element : value.toArray()) Keys(element, keys);
}

class ResearchTest : public CliTest {
protected:
    void SetUp() override { picture = Scene("scene.bmp", 64, 48); }  // level 6
    QStringList CsvLines(const CliRun& run) { return run.out.split('\n', Qt::SkipEmptyParts); }
    QString picture;
};

TEST_F(ResearchTest, EveryDocumentHasTheFormatAndSnakeCaseKeys) {
    const QList<QStringList> commands = {
        {"info", picture, "--json"},
        {"filters", "--position", "30", "--json"},
        {"compress", picture, "--level", "3", "--epsilon", "2", "--json"},
        {"propose", picture, "--json"},
        {"sweep", picture, "--level", "3", "--epsilons", "1,2", "--positions", "0:10:10", "--json"}};
    static const QRegularExpression snake(QStringLiteral("^[a-z][a-z0-9_]*$"));
    for (const QStringList& command : commands) {
        const CliRun run = Run(command);
        ASSERT_EQ(run.status, 0) << command.join(' ').toStdString() << run.err.toStdString();
        EXPECT_EQ(run.Json()["format"].toInt(), 1) << command.first().toStdString();
        QStringList keys;
        Keys(run.Json(), keys);
        for (const QString& key : keys) EXPECT_TRUE(snake.match(key).hasMatch()) << key.toStdString();
    }
}

TEST_F(ResearchTest, DataNumbersAreTheShortestThatReadBackExactly) {
    const CliRun csv = Run({"sweep", picture, "--level", "3", "--epsilon", "2", "--positions", "10:10:1"});
    const QStringList row = CsvLines(csv).value(1).split(',');
    ASSERT_EQ(row.size(), 18) << csv.out.toStdString();
    EXPECT_EQ(row[3], QStringLiteral("0.1"));
    for (int i = 6; i <= 13; ++i) {
        const double value = row[i].toDouble();
        char shortest[32];
        const auto end = std::to_chars(shortest, shortest + sizeof shortest, value).ptr;
        EXPECT_EQ(row[i].toStdString(), std::string(shortest, end)) << i;
    }
    // The same figure in the text report, and the label beside it unchanged ("%g").
    const CliRun text = Run({"compress", picture, "--level", "3", "--position", "10", "--epsilon", "2"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nDelta: 0.1 (Position 10)\n"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nPSNR: %1 dB\n").arg(row[9]))) << text.out.toStdString();
    const QJsonObject json =
        Run({"compress", picture, "--level", "3", "--position", "10", "--epsilon", "2", "--json"}).Json();
    EXPECT_EQ(Label(json, "lab_fehler"), QString::fromStdString(FormatG(row[8].toDouble())));
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nFehler: %1\n").arg(Label(json, "lab_fehler"))));
}

TEST_F(ResearchTest, EpsilonTextsConvertAsTheBoxConvertsThem) {
    const CliRun comma = Run({"compress", picture, "--level", "3", "--epsilon", "2,5", "--json"});
    ASSERT_EQ(comma.status, 0) << comma.err.toStdString();
    EXPECT_EQ(comma.err.count('\n'), 1);
    EXPECT_TRUE(comma.err.contains(QStringLiteral("als 2 gelesen"))) << comma.err.toStdString();
    const CliRun two = Run({"compress", picture, "--level", "3", "--epsilon", "2", "--json"});
    EXPECT_TRUE(two.err.isEmpty());
    EXPECT_EQ(comma.Json(), two.Json());
    // A prefix with an exponent, a bound with letters after it.
    EXPECT_EQ(Run({"compress", picture, "--level", "3", "--epsilon", "1e1x", "--json"}).Json()["epsilon"].toDouble(),
              10.0);
    const CliRun schranke = Run({"propose", picture, "--schranke", "75 Grauwerte", "--json"});
    EXPECT_EQ(schranke.Json()["schranke"].toDouble(), 75.0);
    EXPECT_EQ(schranke.err.count('\n'), 1);
    for (const char* bad : {"x2", ",5", ""}) {
        const CliRun run = Run({"compress", picture, "--level", "3", "--epsilon", bad});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_TRUE(run.out.isEmpty()) << bad;
    }
}

TEST_F(ResearchTest, VersionAndUnexpectedExceptions) {
    const CliRun version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("tesora-cli %1\n").arg(QStringLiteral(TESORA_VERSION)));

    QString err;
    QTextStream stream(&err);
    EXPECT_EQ(cli::RunGuarded(stream, []() -> int { throw std::out_of_range("Index 7"); }), 1);
    EXPECT_EQ(cli::RunGuarded(stream, []() -> int { throw Error("kaputt"); }), 1);
    EXPECT_EQ(cli::RunGuarded(stream, []() -> int { throw cli::UsageError("falsch"); }), 2);
    EXPECT_EQ(cli::RunGuarded(stream, [] { return 0; }), 0);
    stream.flush();
    EXPECT_EQ(err, QStringLiteral("tesora-cli: Unerwarteter Fehler: Index 7\ntesora-cli: kaputt\n"
                                  "tesora-cli: falsch\n"));
}

TEST_F(ResearchTest, SeveralEpsilonsReuseOneDecompositionAndEqualSingleRuns) {
    const QString second = Grey("tall.bmp", 33, 50, [](int x, int y) { return x * x + 9 * y; });
    const CliRun sweep =
        Run({"sweep", picture, second, "--level", "3", "--epsilons", "0.5:2.5:1", "--positions", "20:60:40", "--json"});
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    const QJsonArray runs = sweep.Json()["runs"].toArray();
    ASSERT_EQ(runs.size(), 2 * 2 * 3);
    for (int i = 0; i < runs.size(); ++i) {
        const QJsonObject row = runs[i].toObject();
        // Order: picture, then position, then Epsilon.
        EXPECT_EQ(row["picture"].toString(), i < 6 ? picture : second);
        EXPECT_EQ(row["position"].toInt(), (i / 3) % 2 == 0 ? 20 : 60);
        EXPECT_EQ(row["epsilon"].toDouble(), 0.5 + (i % 3));
        const QJsonObject single = Run({"compress", row["picture"].toString(), "--level", "3", "--epsilon",
                                        QString::number(row["epsilon"].toDouble()), "--position",
                                        QString::number(row["position"].toInt()), "--json"})
                                       .Json();
        QJsonObject withoutFormat = single;
        withoutFormat.remove(QStringLiteral("format"));
        EXPECT_EQ(row, withoutFormat) << i;
    }
    for (const char* bad : {"1:0:1", "0:1:0", "1,,2", "a:b:c", "1:2"}) {
        const CliRun run = Run({"sweep", picture, "--level", "3", "--epsilons", bad});
        EXPECT_EQ(run.status, 2) << bad;
    }
    EXPECT_EQ(Run({"sweep", picture, "--level", "3", "--epsilons", "1", "--epsilon", "1"}).status, 2);
}

// The floor, rules, targets, steps, Deltas and the rate, as a researcher combines them.
TEST_F(ResearchTest, TheFloorIsTheRunWithNothingRemovedInEveryRow) {
    const CliRun sweep = Run({"sweep", picture, "--steps", "3", "--epsilons", "2,6", "--deltas", "0,0.37,1", "--json"});
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    const QJsonArray runs = sweep.Json()["runs"].toArray();
    ASSERT_EQ(runs.size(), 6);
    for (const QJsonValue& value : runs) {
        const QJsonObject row = value.toObject();
        EXPECT_EQ(row["level"].toInt(), 3);
        EXPECT_TRUE(row["position"].isNull());
        const QJsonObject nothing = Run({"compress", picture, "--level", "3", "--delta",
                                         QString::number(row["delta"].toDouble(), 'g', 17), "--epsilon", "0", "--json"})
                                        .Json();
        EXPECT_EQ(row["floor_mean_error"].toDouble(), nothing["mean_error"].toDouble());
        EXPECT_EQ(row["floor_psnr"], nothing["psnr"]);
        EXPECT_TRUE(row["entropy_bpp"].isNull());
    }
    // Delta 0 loses only the truncation to bytes; Delta 1 loses more.
    EXPECT_LT(runs[0].toObject()["floor_mean_error"].toDouble(), 1.0);
    EXPECT_GT(runs[4].toObject()["floor_mean_error"].toDouble(), runs[0].toObject()["floor_mean_error"].toDouble());
    const CliRun text = Run({"compress", picture, "--level", "3", "--epsilon", "2"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("Fehler ohne Reduce: "))) << text.out.toStdString();
}

TEST_F(ResearchTest, ZerosTargetsGiveEpsilonsThatReproduceTheirRows) {
    const QString board = Grey("board.bmp", 40, 36, [](int x, int y) { return ((x / 4 + y / 3) % 2) * 180 + 30; });
    for (const char* rule : {"flat", "norm"}) {
        const CliRun sweep = Run({"sweep", board, "--level", "3", "--zeros", "50,80,95", "--rule",
                                  QString::fromLatin1(rule), "--positions", "40:40:1", "--json"});
        ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
        const QJsonArray runs = sweep.Json()["runs"].toArray();
        ASSERT_EQ(runs.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QJsonObject row = runs[i].toObject();
            const double target = QList<double>{50, 80, 95}[i];
            EXPECT_EQ(row["zeros_target"].toDouble(), target);
            EXPECT_GE(row["own_zero_share"].toDouble(), target);
            // Written in the shortest form, the Epsilon reads back as the same double.
            QJsonObject again =
                Run({"compress", board, "--level", "3", "--position", "40", "--rule", QString::fromLatin1(rule),
                     "--epsilon", report::Shortest(row["epsilon"].toDouble()), "--json"})
                    .Json();
            row.remove(QStringLiteral("zeros_target"));
            again.remove(QStringLiteral("zeros_target"));
            again.remove(QStringLiteral("format"));
            EXPECT_EQ(row, again) << rule << " " << target;
        }
    }
}

TEST_F(ResearchTest, BandsRulesAndTheRateAddUp) {
    const CliRun run = Run({"compress", picture, "--steps", "3", "--rule", "levels:8,4,2", "--quantise", "2",
                            "--position", "50", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject r = run.Json();
    EXPECT_EQ(r["rule"].toString(), QStringLiteral("levels:8,4,2"));
    EXPECT_TRUE(r["epsilon"].isNull());
    const QJsonArray bands = r["bands"].toArray();
    ASSERT_EQ(bands.size(), 1 + 3 * 3);
    EXPECT_EQ(bands[0].toObject()["kind"].toString(), QStringLiteral("smoothing"));
    EXPECT_EQ(bands[3].toObject()["kind"].toString(), QStringLiteral("both"));
    EXPECT_EQ(bands[9].toObject()["level"].toInt(), 5);
    double details = 0, zeros = 0, bits = 0;
    for (int b = 0; b < bands.size(); ++b) {
        const QJsonObject band = bands[b].toObject();
        bits += band["entropy_bits"].toDouble();
        if (b == 0) continue;
        details += band["own_count"].toDouble();
        zeros += band["zeros"].toDouble();
    }
    EXPECT_EQ(details, r["own_detail_count"].toDouble());
    EXPECT_EQ(zeros, r["own_zero_count"].toDouble());
    EXPECT_DOUBLE_EQ(r["entropy_bpp"].toDouble(), bits / (64.0 * 48.0));
    EXPECT_GT(r["entropy_bpp"].toDouble(), 0.0);

    // The road's pictures follow a rule other than "Reduce": its markers count the rule's
    // zeros, its reconstruction has the reported error.
    const QString marked = dir.filePath("marked.png"), rebuilt = dir.filePath("rebuilt.png");
    const CliRun norm = Run({"compress", picture, "--level", "3", "--rule", "norm", "--epsilon", "40", "--quantise",
                             "1", "--coefficients", marked, "--reconstruction", rebuilt, "--json"});
    ASSERT_EQ(norm.status, 0) << norm.err.toStdString();
    const QImage markers(marked), reconstruction(rebuilt), original(picture);
    int red = 0;
    long long difference = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            red += markers.pixel(x, y) == qRgb(255, 0, 0);
            difference += std::abs(qRed(reconstruction.pixel(x, y)) - qRed(original.pixel(x, y)));
        }
    EXPECT_GT(red, 0);
    EXPECT_LE(red, norm.Json()["zero_count"].toInt());
    EXPECT_EQ(static_cast<double>(difference) / (64 * 48), norm.Json()["mean_error"].toDouble());
}

TEST_F(ResearchTest, TheNewOptionsRefuseWhatMakesNoSense) {
    const QList<QStringList> bad = {
        {"compress", picture, "--level", "3", "--steps", "2"},
        {"compress", picture, "--steps", "5", "--epsilon", "1"},  // level 6 allows 4
        {"compress", picture, "--level", "3", "--zeros", "0"},
        {"compress", picture, "--level", "3", "--zeros", "100.5"},
        {"compress", picture, "--level", "3", "--zeros", "50", "--epsilon", "2"},
        {"compress", picture, "--level", "3", "--rule", "levels:1,2"},
        {"compress", picture, "--level", "3", "--rule", "levels:1,2,3", "--zeros", "50"},
        {"compress", picture, "--level", "3", "--rule", "sharp", "--epsilon", "1"},
        {"compress", picture, "--level", "3", "--quantise", "0"},
        {"sweep", picture, "--level", "3", "--epsilon", "1", "--deltas", "0,0.5", "--positions", "0:10:10"},
        {"sweep", picture, "--level", "3", "--epsilon", "1", "--deltas", "0,1.5"},
    };
    for (const QStringList& args : bad) EXPECT_EQ(Run(args).status, 2) << args.join(' ').toStdString();
}

TEST_F(ResearchTest, TheTableIsTheSameForAnyNumberOfJobs) {
    const QString second = Grey("second.bmp", 40, 30, [](int x, int y) { return (x * 13) ^ (y * 7); });
    const QStringList args{"sweep", picture, second, "--level", "2", "--epsilons", "1,4,16", "--positions", "0:100:25"};
    const CliRun one = Run(QStringList(args) << "--jobs"
                                             << "1");
    const CliRun three = Run(QStringList(args) << "--jobs"
                                               << "3");
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    ASSERT_EQ(three.status, 0) << three.err.toStdString();
    EXPECT_EQ(CsvLines(one).size(), 1 + 2 * 5 * 3);
    EXPECT_EQ(one.out.toUtf8(), three.out.toUtf8());
    // A worker's failure is the same one line a serial run gives, and no table.
    const QString broken = Text("broken.bmp", "kein Bild");
    for (const char* jobs : {"1", "3"}) {
        const CliRun run = Run({"sweep", picture, broken, second, "--level", "2", "--epsilon", "1", "--jobs", jobs});
        EXPECT_EQ(run.status, 1) << jobs;
        EXPECT_TRUE(run.out.isEmpty()) << jobs;
        EXPECT_EQ(run.err.count('\n'), 1) << jobs;
        EXPECT_TRUE(run.err.contains(QStringLiteral("kein lesbares Bild"))) << run.err.toStdString();
    }
    EXPECT_EQ(Run(QStringList(args) << "--jobs"
                                    << "0")
                  .status,
              2);
}

TEST_F(ResearchTest, OwnZeroShareCountsOnlyThePicturesOwnDetails) {
    // 40 x 30 at level 6 (a 65-square block): at level 2 the smoothing values stand every
    // 16 pixels, 3 x 2 of them inside the picture.
    const QString small = Scene("small.bmp", 40, 30);
    const QJsonObject all = Run({"compress", small, "--level", "2", "--epsilon", "1e300", "--json"}).Json();
    EXPECT_EQ(all["own_detail_count"].toInt(), 40 * 30 - 3 * 2);
    EXPECT_EQ(all["own_zero_share"].toDouble(), 100.0);
    EXPECT_GT(all["zero_share"].toDouble(), 100.0);  // the label's figure counts the padding
    EXPECT_EQ(Label(all, "lab_prozent"), QString::fromStdString(FormatShare(all["zero_share"].toDouble())));
    // Tiny Epsilon: the padding is zero, the picture's details are not.
    const QJsonObject tiny = Run({"compress", small, "--level", "2", "--epsilon", "1e-9", "--json"}).Json();
    EXPECT_GT(tiny["zero_share"].toDouble(), 50.0);
    EXPECT_LT(tiny["own_zero_share"].toDouble(), 5.0);
    const CliRun text = Run({"compress", small, "--level", "2", "--epsilon", "1e300"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nEigene Nullkoeffs: 100 % (1194 von 1194 Details im Bild)\n")))
        << text.out.toStdString();
    const CliRun csv = Run({"sweep", small, "--level", "2", "--epsilon", "1e300", "--positions", "0:0:1"});
    EXPECT_EQ(CsvLines(csv).value(1).split(',').value(7), QStringLiteral("100"));
}

TEST_F(ResearchTest, TallPicturesAreMeasuredOverTheirTransformedRows) {
    // Width 17: level 4, so 17 of 1000 rows are transformed.
    const QString tall = Grey("tall.bmp", 17, 1000, [](int x, int y) { return (x * 7919 + y * 104729) % 251; });
    const QString rebuilt = dir.filePath("r.bmp");
    const CliRun run =
        Run({"compress", tall, "--level", "2", "--epsilon", "20", "--reconstruction", rebuilt, "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject r = run.Json();
    EXPECT_EQ(r["transformed_rows"].toInt(), 17);
    const QImage original(tall), back(rebuilt);
    double squared = 0, absolute = 0;
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 17; ++x) {
            const double d = qRed(back.pixel(x, y)) - qRed(original.pixel(x, y));
            if (y < 17) squared += d * d;
            absolute += std::abs(d);
        }
    ASSERT_GT(squared, 0);
    EXPECT_NEAR(r["psnr"].toDouble(), 10 * std::log10(255.0 * 255.0 * 17 * 17 / squared), 1e-9);
    // "Fehler" stays the window's figure over every pixel.
    EXPECT_DOUBLE_EQ(r["mean_error"].toDouble(), absolute / (17 * 1000));
    const CliRun text = Run({"compress", tall, "--level", "2", "--epsilon", "20"});
    EXPECT_TRUE(text.out.contains(QStringLiteral("\nHinweis: nur die oberen 17 Zeilen werden transformiert.\n")));
    EXPECT_FALSE(Run({"compress", picture, "--level", "2"}).out.contains(QStringLiteral("Hinweis")));
}

TEST_F(ResearchTest, PlotsInBothFormatsAndAxes) {
    const QString svg = dir.filePath("rd.svg"), png = dir.filePath("rd.png");
    const CliRun run = Run({"sweep", picture, "--level", "3", "--epsilons", "1,3,9", "--positions", "0:100:50",
                            "--plot", svg, "--plot-y", "psnr", "--plot-x", "eigene"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("<svg")) << bytes.left(200).toStdString();
    EXPECT_TRUE(bytes.contains("PSNR"));
    ASSERT_EQ(Run({"sweep", picture, "--level", "3", "--epsilon", "3", "--plot", png}).status, 0);
    EXPECT_EQ(QImage(png).size(), QSize(900, 600));
    EXPECT_EQ(Run({"sweep", picture, "--level", "3", "--epsilon", "3", "--plot-y", "dB"}).status, 2);
}

TEST(PlotLayoutTest, CurvesFollowPictureAndDeltaAndLabelsNeverOverlap) {
    QString csv = QStringLiteral("picture,delta,epsilon,zero_share,mean_error,psnr\n");
    for (int position : {0, 50})
        for (int e = 0; e < 30; ++e)
            // Dense points, some on top of each other: the hard case for labels.
            csv += QStringLiteral("/p/a.bmp,%1,%2,%3,%4,%5\n")
                       .arg(position / 100.0)
                       .arg(1 + e * 0.1)
                       .arg(40 + e * 0.3 + position * 0.01)
                       .arg(1 + e * 0.02)
                       .arg(40 - e * 0.1);
    const plot::PlotOptions options;
    const plot::RateDistortionPlot plot = plot::PlotOfTable(plot::ParseTable(csv.toUtf8(), "t.csv"), options);
    ASSERT_EQ(plot.curves.size(), 2u);
    EXPECT_EQ(plot.curves[1].name, QStringLiteral("a.bmp, Delta 0.5"));
    EXPECT_EQ(plot.curves[0].points[3].label, QStringLiteral("1.3"));
    EXPECT_TRUE(plot.notes.contains(QStringLiteral("Punkt: ein Epsilon")));
    EXPECT_TRUE(plot.notes.contains(QStringLiteral("rechts unten")));

    QImage canvas(900, 600, QImage::Format_RGB32);
    canvas.setDotsPerMeterX(3780);
    canvas.setDotsPerMeterY(3780);
    const plot::PlotFonts fonts(canvas);
    const plot::PlotLayout layout = plot::LayOutPlot(plot, options.page.points, fonts);
    const std::vector<plot::PlacedLabel>& labels = layout.labels;
    EXPECT_GT(labels.size(), 10u);
    for (std::size_t a = 0; a < labels.size(); ++a) {
        EXPECT_TRUE(layout.area.contains(labels[a].box)) << a;
        for (std::size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(labels[a].box.intersects(labels[b].box)) << a << " " << b;
        for (const plot::PlotCurve& curve : plot.curves)
            for (const plot::PlotPoint& point : curve.points)
                EXPECT_FALSE(labels[a].box.contains(layout.At(point.x, point.y))) << a;
    }
}

TEST_F(ResearchTest, TheDrawnBasisFunctionsAreTheFilters) {
    cli::StartProgram();  // the tables, also when this test runs alone
    for (double delta : {0.0, 0.5, 1.0}) {
        SCOPED_TRACE(delta);
        Delta = delta;
        RebuildWaveletCoeffs();
        const plot::BasisFunctions f = plot::ComputeBasisFunctions();
        const auto sample = [&](int kind, int point) { return plot::SampleAt(f.polylines[kind], point / 2.0); };
        // Scaling function 2 of level 2 on the 9 points of level 3.
        EXPECT_DOUBLE_EQ(sample(plot::kScaling, 3), OneMinusHalfDelta);
        EXPECT_DOUBLE_EQ(sample(plot::kScaling, 4), 1.0);
        EXPECT_DOUBLE_EQ(sample(plot::kScaling, 5), HalfDelta);
        for (int p : {0, 1, 2, 6, 7, 8}) EXPECT_EQ(sample(plot::kScaling, p), 0.0) << p;
        for (int p = 0; p <= 8; ++p) {
            EXPECT_EQ(sample(plot::kLeftWavelet, p), p <= 3 ? WaveletLeft[p] : 0.0) << p;
            EXPECT_EQ(sample(plot::kInnerWavelet, p), p >= 1 && p <= 5 ? WaveletInner[p - 1] : 0.0) << p;
            EXPECT_EQ(sample(plot::kRightWavelet, p), p >= 5 ? WaveletRight[p - 5] : 0.0) << p;
        }
    }
    // Delta 0 draws boxes: constant between the coarse points; Delta 1 a hat.
    Delta = 0;
    RebuildWaveletCoeffs();
    const plot::BasisFunctions box = plot::ComputeBasisFunctions();
    EXPECT_EQ(plot::SampleAt(box.polylines[plot::kScaling], 1.25), 1.0);
    EXPECT_EQ(plot::SampleAt(box.polylines[plot::kScaling], 2.25), 0.0);
    Delta = 1;
    RebuildWaveletCoeffs();
    EXPECT_DOUBLE_EQ(plot::SampleAt(plot::ComputeBasisFunctions().polylines[plot::kScaling], 2.25), 0.75);

    const QString plot = dir.filePath("filters.png");
    const CliRun run = Run({"filters", "--delta", "0,0.5,1", "--plot", plot});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(QImage(plot).size(), QSize(plot::kBasisPlotWidth, plot::kBasisPlotHeight));
    EXPECT_EQ(Run({"filters", "--delta", "0,1"}).status, 2);  // a list only for the plot
}

TEST_F(ResearchTest, ExactSynthesisShowsItsFloorAndCountsTheCodedCoefficients) {
    const CliRun run = Run({"compress", picture, "--steps", "3", "--position", "70", "--rule", "norm", "--epsilon", "3",
                            "--quantise", "2", "--synthesis", "exact", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject r = run.Json();
    EXPECT_EQ(r["synthesis"].toString(), QStringLiteral("exact"));
    EXPECT_TRUE(r["floor_psnr_exact"].isNull() || r["floor_psnr_exact"].toDouble() >= 150.0);
    double coded = 0;
    for (const QJsonValue band : r["bands"].toArray()) coded += band.toObject()["coded_count"].toDouble();
    EXPECT_EQ(coded, r["coded_count"].toDouble());
    EXPECT_GE(coded, r["own_detail_count"].toDouble());

    const CliRun specified = Run({"compress", picture, "--steps", "3", "--position", "70", "--json"});
    ASSERT_EQ(specified.status, 0) << specified.err.toStdString();
    EXPECT_EQ(specified.Json()["synthesis"].toString(), QStringLiteral("specified"));
    EXPECT_LT(specified.Json()["floor_psnr_exact"].toDouble(), 100.0);
    EXPECT_TRUE(specified.Json()["coded_count"].isNull());
    EXPECT_EQ(Run({"compress", picture, "--steps", "3", "--synthesis", "inverse"}).status, 2);
}

TEST_F(ResearchTest, RateTargetsAndLiftingBasesCountTheCodedCoefficients) {
    const CliRun exact =
        Run({"compress", picture, "--steps", "3", "--rule", "norm", "--bpp", "1", "--synthesis", "exact", "--json"});
    ASSERT_EQ(exact.status, 0) << exact.err.toStdString();
    const QJsonObject r = exact.Json();
    EXPECT_EQ(r["synthesis"].toString(), QStringLiteral("exact"));
    EXPECT_LE(r["entropy_bpp"].toDouble(), 1.0);
    EXPECT_GE(r["coded_count"].toDouble(), r["own_detail_count"].toDouble());

    const CliRun haar = Run({"compress", picture, "--steps", "2", "--basis", "haar", "--quantise", "4", "--json"});
    ASSERT_EQ(haar.status, 0) << haar.err.toStdString();
    double coded = 0;
    for (const QJsonValue band : haar.Json()["bands"].toArray()) coded += band.toObject()["coded_count"].toDouble();
    EXPECT_GT(coded, 0);
    EXPECT_EQ(coded, haar.Json()["coded_count"].toDouble());
    // The exact synthesis inverts BLaC's decomposition only.
    EXPECT_EQ(Run({"compress", picture, "--steps", "2", "--basis", "haar", "--synthesis", "exact"}).status, 2);
}

}  // namespace
}  // namespace tesora::testing
