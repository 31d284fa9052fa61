// The rows of compress and sweep as a researcher reads them: several Epsilons from one
// decomposition, the floor, zeros targets, bands, rules and rates, any number of worker
// jobs, the picture's own zeros and tall pictures.
#include <QFile>
#include <QJsonArray>
#include <cmath>

#include "CliHarness.h"
#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/State.h"
#include "cli/Arguments.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "report/DataText.h"
#include "tools/Reduction.h"

namespace tesora::testing {
namespace {

class SweepRowsTest : public CliTest {
protected:
    void SetUp() override { picture = Scene("scene.bmp", 64, 48); }  // level 6
    QStringList CsvLines(const CliRun& run) { return run.out.split('\n', Qt::SkipEmptyParts); }
    static QString Label(const QJsonObject& run, const char* name) {
        return run["labels"].toObject()[QString::fromLatin1(name)].toString();
    }
    QString picture;
};

TEST_F(SweepRowsTest, SeveralEpsilonsReuseOneDecompositionAndEqualSingleRuns) {
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
TEST_F(SweepRowsTest, TheFloorIsTheRunWithNothingRemovedInEveryRow) {
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

TEST_F(SweepRowsTest, ZerosTargetsGiveEpsilonsThatReproduceTheirRows) {
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

TEST_F(SweepRowsTest, BandsRulesAndTheRateAddUp) {
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

TEST_F(SweepRowsTest, TheNewOptionsRefuseWhatMakesNoSense) {
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

TEST_F(SweepRowsTest, TheTableIsTheSameForAnyNumberOfJobs) {
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

TEST_F(SweepRowsTest, OwnZeroShareCountsOnlyThePicturesOwnDetails) {
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

TEST_F(SweepRowsTest, TallPicturesAreMeasuredOverTheirTransformedRows) {
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

}  // namespace
}  // namespace tesora::testing
