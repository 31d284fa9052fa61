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
