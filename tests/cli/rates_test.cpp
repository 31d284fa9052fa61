// best-delta, bd and sweeps over rates and bases as a researcher calls them: the best
// Delta against the proposal the propose command makes, Bjøntegaard deltas read from a
// table, one row per picture x basis x rate, and the exact synthesis in every command.
#include <QFile>
#include <QJsonArray>
#include <cmath>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

class RatesTest : public CliTest {};

TEST_F(RatesTest, BestDeltaBeatsDeltaZeroAndTheProposalItNames) {
    const QString picture = Scene("scene.bmp", 64, 48);
    const CliRun run = Run({"best-delta", picture, "--bpp", "1", "--steps", "3", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject best = run.Json()["runs"].toArray().at(0).toObject();
    EXPECT_EQ(best["level"].toInt(), 3);
    EXPECT_GE(best["best_psnr"].toDouble(), best["delta0_psnr"].toDouble());
    EXPECT_GE(best["regret_db"].toDouble(), 0.0);
    EXPECT_EQ(best["regret_db"].toDouble(), best["best_psnr"].toDouble() - best["proposal_psnr"].toDouble());
    EXPECT_EQ(best["proposal_delta"].toDouble(), Run({"propose", picture, "--json"}).Json()["delta"].toDouble());
    // The rate is a number above 0; levels have no place here.
    EXPECT_EQ(Run({"best-delta", picture, "--bpp", "0"}).status, 2);
    EXPECT_EQ(Run({"best-delta", picture, "--bpp", "1", "--rule", "levels:1"}).status, 2);
}

TEST_F(RatesTest, BdReadsCurvesFromATable) {
    // Delta 0.5 lies 1 dB above Delta 0 at every rate; basis columns and others are ignored.
    QByteArray csv = "picture,delta,entropy_bpp,psnr_exact,psnr\n";
    for (int k = 0; k < 5; ++k)
        for (const char* delta : {"0", "0.5"})
            csv += QStringLiteral("a.png,%1,%2,%3,1\n")
                       .arg(delta)
                       .arg(std::exp(k), 0, 'g', 17)
                       .arg(30 + 5 * k + (delta[1] ? 1 : 0))
                       .toUtf8();
    const QString table = Text("t.csv", csv);
    const CliRun run = Run({"bd", table, "--by", "delta", "--reference", "0.0", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject curve = run.Json()["curves"].toArray().at(0).toObject();
    EXPECT_EQ(curve["delta"].toString(), "0.5");
    EXPECT_NEAR(curve["bd_psnr"].toDouble(), 1.0, 1e-9);
    EXPECT_NEAR(curve["bd_rate"].toDouble(), (std::exp(-0.2) - 1) * 100, 1e-9);
    const CliRun missing = Run({"bd", table, "--by", "delta", "--reference", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("Bezugskurve")) << missing.err.toStdString();
}

TEST_F(RatesTest, BestDeltaTakesTheSynthesisAndShowsItsProgress) {
    const QString picture = Scene("scene.bmp", 64, 48);
    const CliRun run =
        Run({"best-delta", picture, "--bpp", "1", "--steps", "3", "--synthesis", "exact", "--progress", "--json"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject best = run.Json()["runs"].toArray().at(0).toObject();
    EXPECT_EQ(best["synthesis"].toString(), "exact");
    // Delta 0's figure is the exact road's own row at that rate.
    const CliRun delta0 =
        Run({"compress", picture, "--steps", "3", "--delta", "0", "--bpp", "1", "--synthesis", "exact", "--json"});
    EXPECT_EQ(best["delta0_psnr"].toDouble(), delta0.Json()["psnr_exact"].toDouble());
    // A line per tenth reached, 100 % last and once: after the golden section, not before it.
    const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2) << run.err.toStdString();
    EXPECT_TRUE(lines.last().startsWith("Fortschritt: 100 % (")) << lines.last().toStdString();
    EXPECT_EQ(run.err.count("100 %"), 1);
}

TEST_F(RatesTest, SweepGivesOneRowPerPictureBasisAndRateInOrder) {
    const QString a = Scene("a.bmp", 64, 48), b = Scene("b.bmp", 40, 33);
    const QStringList args{"sweep", a,       b,       "--steps",     "3",     "--bases", "cdf97,blac", "--deltas",
                           "0,0.5", "--bpp", "0.5,1", "--synthesis", "exact", "--csv",   "-"};
    const CliRun one = Run(QStringList(args) << "--jobs"
                                             << "1");
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    // The rows travel from worker processes bit for bit.
    EXPECT_EQ(Run(QStringList(args) << "--jobs"
                                    << "2")
                  .out,
              one.out);
    const QStringList lines = one.out.split('\n', Qt::SkipEmptyParts);
    const QStringList header = lines.at(0).split(',');
    ASSERT_EQ(lines.size(), 1 + 2 * 3 * 2);
    const auto at = [&](int row, const char* column) {
        return lines.at(row + 1).split(',').at(header.indexOf(QString::fromLatin1(column)));
    };
    QStringList order;
    for (int r = 0; r < 12; ++r) {
        order << QStringLiteral("%1 %2 %3 %4")
                     .arg(at(r, "picture").section('/', -1), at(r, "basis"), at(r, "delta"), at(r, "bpp"));
        EXPECT_LE(at(r, "entropy_bpp").toDouble(), at(r, "bpp").toDouble());
        EXPECT_EQ(at(r, "synthesis"), at(r, "basis") == "blac" ? "exact" : "specified");
    }
    EXPECT_EQ(order.join(';'),
              "a.bmp cdf97  0.5;a.bmp cdf97  1;a.bmp blac 0 0.5;a.bmp blac 0 1;"
              "a.bmp blac 0.5 0.5;a.bmp blac 0.5 1;b.bmp cdf97  0.5;b.bmp cdf97  1;"
              "b.bmp blac 0 0.5;b.bmp blac 0 1;b.bmp blac 0.5 0.5;b.bmp blac 0.5 1");
    // A row is what compress gives for the same settings.
    const CliRun cdf97 = Run({"compress", b, "--steps", "3", "--basis", "cdf97", "--bpp", "1", "--json"});
    EXPECT_EQ(at(7, "psnr_exact").toDouble(), cdf97.Json()["psnr_exact"].toDouble());
    EXPECT_EQ(at(7, "quantise").toDouble(), cdf97.Json()["quantise"].toDouble());
}

TEST_F(RatesTest, SweepListsAreCheckedBeforeAnyWork) {
    const QString picture = Scene("scene.bmp", 64, 48);
    const QStringList base{"sweep", picture, "--level", "3", "--deltas", "0"};
    // Each step is used, not just accepted: a coarser step costs fewer bits.
    const QStringList steps = Run(QStringList(base) << "--quantise"
                                                    << "2,8"
                                                    << "--csv"
                                                    << "-")
                                  .out.split('\n');
    const qsizetype rate = steps.at(0).split(',').indexOf("entropy_bpp");
    ASSERT_GE(rate, 0);
    EXPECT_GT(steps.at(1).split(',').at(rate).toDouble(), steps.at(2).split(',').at(rate).toDouble());
    EXPECT_TRUE(steps.at(2).endsWith(",blac,zero,8,")) << steps.at(2).toStdString();
    // 10,000 Epsilons at 1,001 rates: the rates count in the limit.
    QStringList rates;
    for (int k = 1; k <= 1001; ++k) rates << QString::number(k);
    const CliRun many = Run(QStringList(base) << "--epsilons"
                                              << "0:9999:1"
                                              << "--quantise" << rates.join(','));
    EXPECT_EQ(many.status, 2);
    EXPECT_TRUE(many.err.contains("10010000 Zeilen")) << many.err.toStdString();
    for (const QStringList& bad : QList<QStringList>{{"--bases", "blac,blac", "--quantise", "1"},
                                                     {"--basis", "cdf53", "--bases", "haar", "--quantise", "1"},
                                                     {"--bases", "haar", "--quantise", "1"},  // with --deltas
                                                     {"--quantise", "1,0"},
                                                     {"--quantise", "1", "--bpp", "1"}})
        EXPECT_EQ(Run(QStringList(base) << bad).status, 2) << bad.join(' ').toStdString();
}

TEST_F(RatesTest, AnalyseAndSynthesiseTakeTheExactSynthesis) {
    const QString picture = Scene("scene.bmp", 64, 48), matrix = dir.filePath("c.npy");
    const QString coded = dir.filePath("coded.npy");
    ASSERT_EQ(Run({"analyse", picture, "--steps", "3", "--delta", "0.7", "--save", matrix, "--coded", coded,
                   "--synthesis", "exact"})
                  .status,
              0);
    // The mask is the set the rate counts.
    QFile file(coded);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray mask = file.readAll().right(65 * 65);
    const CliRun row = Run(
        {"compress", picture, "--steps", "3", "--delta", "0.7", "--quantise", "1", "--synthesis", "exact", "--json"});
    EXPECT_EQ(mask.count('\x01'), row.Json()["coded_count"].toInt());
    // Exact comes back to the picture within the byte's truncation; the window's synthesis does not.
    const auto worst = [&](const char* synthesis) {
        const QString out = dir.filePath(QStringLiteral("r-%1.png").arg(synthesis));
        const CliRun run = Run({"synthesise", matrix, "--level", "3", "--width", "64", "--height", "48", "--delta",
                                "0.7", "--synthesis", synthesis, "--reconstruction", out, "--json"});
        EXPECT_EQ(run.Json()["synthesis"].toString(), synthesis);
        const QImage back(out), original(picture);
        int difference = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                difference = std::max(difference, std::abs(qRed(back.pixel(x, y)) - qRed(original.pixel(x, y))));
        return difference;
    };
    EXPECT_LE(worst("exact"), 1);
    EXPECT_GT(worst("specified"), 1);
}

}  // namespace
}  // namespace tesora::testing
