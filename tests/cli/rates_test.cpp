// best-delta and bd as a researcher calls them: the best Delta against the proposal the
// propose command makes, and Bjøntegaard deltas read from a table.
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

}  // namespace
}  // namespace tesora::testing
