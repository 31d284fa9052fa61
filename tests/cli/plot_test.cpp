// Plots for papers: tables read by column name, layouts that keep every text on the
// page and apart at any count of curves, files that say what was asked (size, texts,
// embedded fonts), and progress that estimates the time left.
#include <QBuffer>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <set>

#include "CliHarness.h"
#include "cli/Arguments.h"
#include "cli/Plot.h"
#include "cli/PlotTable.h"
#include "cli/Progress.h"
#include "matrix/Error.h"

namespace tesora::testing {
namespace {

// A sweep-like table: every picture x Delta x Epsilon, rate and error rising with Epsilon.
QString Table(int pictures, int deltas, int epsilons) {
    QString csv = QStringLiteral("picture,level,position,delta,epsilon,zero_share,mean_error,psnr\n");
    for (int p = 0; p < pictures; ++p)
        for (int d = 0; d < deltas; ++d)
            for (int e = 1; e <= epsilons; ++e) {
                const double delta = deltas > 1 ? d / double(deltas - 1) : 0.3;
                csv += QStringLiteral("/pictures/picture-%1.bmp,4,%2,%3,%4,%5,%6,%7\n")
                           .arg(p)
                           .arg(d)
                           .arg(delta)
                           .arg(e)
                           .arg(40 + 55 * (1 - std::exp(-e / 3.0)) + 2 * delta + p)
                           .arg(0.5 + 0.4 * e * (1 + delta) + 0.3 * p)
                           .arg(45 - 2.0 * e * (1 + 0.2 * delta) - p);
            }
    return csv;
}

cli::RateDistortionPlot PlotOf(const QString& csv, const cli::PlotOptions& options = {}) {
    return cli::PlotOfTable(cli::ParseTable(csv.toUtf8(), QStringLiteral("t.csv")), options);
}

// Every box drawn: on the page, and no two of them over each other.
void ExpectApartAndOnPage(const cli::PlotLayout& layout, const cli::RateDistortionPlot& plot) {
    std::vector<std::pair<QRectF, QString>> boxes;
    for (const cli::PlotText& text : layout.texts) boxes.emplace_back(text.box, text.text);
    for (const cli::LegendSample& sample : layout.samples) boxes.emplace_back(sample.box, QStringLiteral("(sample)"));
    for (const cli::PlacedLabel& label : layout.labels)
        boxes.emplace_back(label.box, QStringLiteral("label ") + label.text);
    if (!layout.colourBar.isEmpty()) boxes.emplace_back(layout.colourBar, QStringLiteral("(colour bar)"));
    const QRectF page(QPointF(0, 0), layout.page);
    for (std::size_t a = 0; a < boxes.size(); ++a) {
        const QRectF box = boxes[a].first.adjusted(0.01, 0.01, -0.01, -0.01);
        EXPECT_TRUE(page.contains(box)) << boxes[a].second.toStdString();
        for (std::size_t b = a + 1; b < boxes.size(); ++b)
            EXPECT_FALSE(box.intersects(boxes[b].first.adjusted(0.01, 0.01, -0.01, -0.01)))
                << boxes[a].second.toStdString() << " / " << boxes[b].second.toStdString();
    }
    for (const cli::PlacedLabel& label : layout.labels) {
        EXPECT_TRUE(layout.area.contains(label.box)) << label.text.toStdString();
        for (const cli::PlotCurve& curve : plot.curves)
            for (const cli::PlotPoint& point : curve.points)
                EXPECT_FALSE(label.box.contains(layout.At(point.x, point.y))) << label.text.toStdString();
    }
    // Texts outside the axes keep off them.
    for (const cli::PlotText& text : layout.texts)
        EXPECT_FALSE(layout.area.intersects(text.box.adjusted(0.01, 0.01, -0.01, -0.01))) << text.text.toStdString();
}

QImage Canvas(QSize pixels) {
    QImage image(pixels, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);  // 96 per inch, as the PNG of a size in pixels
    image.setDotsPerMeterY(3780);
    return image;
}

TEST(PlotLayout, OneTwelveTwentyFourAndAHundredAndOneCurvesFitAnyPage) {
    struct Case {
        int pictures, deltas, epsilons;
        std::size_t curves;
    };
    const Case cases[] = {{1, 11, 1, 1}, {2, 6, 5, 12}, {3, 8, 6, 24}, {1, 101, 8, 101}, {2, 101, 4, 202}};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(72);
    QImage image = Canvas(QSize(900, 600));
    for (const char* size : {"900x600", "85x60mm", "180x120mm", "400x300"})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(size) + ", " + std::to_string(c.curves) + " curves");
            const cli::PlotPage page = cli::PlotPage::Parse(QString::fromLatin1(size), QStringLiteral("--size"));
            const cli::RateDistortionPlot plot = PlotOf(Table(c.pictures, c.deltas, c.epsilons));
            ASSERT_EQ(plot.curves.size(), c.curves);
            for (const QPaintDevice* device : {static_cast<QPaintDevice*>(&image), static_cast<QPaintDevice*>(&pdf)}) {
                const cli::PlotFonts fonts(*device);
                const cli::PlotLayout layout = cli::LayOutPlot(plot, page.points, fonts);
                ExpectApartAndOnPage(layout, plot);
                EXPECT_GT(layout.area.width(), page.points.width() * 0.4);
                EXPECT_GT(layout.area.height(), page.points.height() * 0.35);
                if (c.curves > cli::kMostDistinctCurves) {
                    // A colour bar instead of a legend; a legend of the pictures when several.
                    EXPECT_FALSE(layout.colourBar.isEmpty());
                    EXPECT_EQ(layout.samples.size(), c.pictures > 1 ? std::size_t(c.pictures) : 0u);
                    EXPECT_FALSE(layout.labels.empty());
                } else if (c.curves > 1) {
                    // Never truncated: a sample for every curve, every picture and Delta named.
                    EXPECT_EQ(layout.samples.size(), c.curves);
                    const auto shown = [&](const QString& text) {
                        return std::any_of(layout.texts.begin(), layout.texts.end(),
                                           [&](const cli::PlotText& t) { return t.text.endsWith(text); });
                    };
                    for (const cli::PlotCurve& curve : plot.curves) {
                        EXPECT_TRUE(shown(plot.pictures[qsizetype(curve.picture)]) || plot.pictures.size() == 1);
                        EXPECT_TRUE(shown(QString::number(curve.delta))) << curve.name.toStdString();
                    }
                }
            }
        }
}

TEST(PlotLayout, UpToTwentyFourCurvesNeverLookAlike) {
    const cli::RateDistortionPlot plot = PlotOf(Table(3, 8, 3));
    QImage image = Canvas(QSize(900, 600));
    const cli::PlotLayout layout = cli::LayOutPlot(plot, QSizeF(675, 450), cli::PlotFonts(image));
    ASSERT_EQ(layout.styles.size(), 24u);
    std::set<std::pair<QRgb, int>> colourMarker, colourDash;
    for (const cli::CurveStyle& style : layout.styles) {
        colourMarker.insert({style.colour.rgb(), style.marker});
        colourDash.insert({style.colour.rgb(), style.dash});
    }
    EXPECT_EQ(colourMarker.size(), 24u);
    EXPECT_EQ(colourDash.size(), 24u);
    // Beyond that the colour follows Delta: the smallest and the largest at the scale's ends.
    const cli::RateDistortionPlot many = PlotOf(Table(1, 101, 2));
    const cli::PlotLayout scaled = cli::LayOutPlot(many, QSizeF(675, 450), cli::PlotFonts(image));
    EXPECT_EQ(scaled.styles.front().colour, cli::ScaleColour(0));
    EXPECT_EQ(scaled.styles.back().colour, cli::ScaleColour(1));
    EXPECT_NE(cli::ScaleColour(0.25), cli::ScaleColour(0.75));
}

TEST(PlotLayout, AxesFitTheDataWithRoundTicks) {
    QImage image = Canvas(QSize(900, 600));
    const cli::PlotFonts fonts(image);
    cli::PlotOptions psnr;
    psnr.y.column = QStringLiteral("psnr");
    const cli::RateDistortionPlot plot = PlotOf(Table(1, 3, 5), psnr);  // PSNR 33 ... 43
    const cli::PlotLayout layout = cli::LayOutPlot(plot, QSizeF(675, 450), fonts);
    double low = INFINITY, high = -INFINITY;
    for (const cli::PlotCurve& curve : plot.curves)
        for (const cli::PlotPoint& p : curve.points) low = std::min(low, p.y), high = std::max(high, p.y);
    // Not from 0: a small margin around the data.
    EXPECT_LT(layout.y.low, low);
    EXPECT_GT(layout.y.low, low - 0.1 * (high - low));
    EXPECT_GT(layout.y.high, high);
    EXPECT_LT(layout.y.high, high + 0.1 * (high - low));
    ASSERT_GE(layout.y.ticks.size(), 3u);
    const double step = layout.y.ticks[1] - layout.y.ticks[0];
    for (double t : layout.y.ticks) {
        EXPECT_GE(t, layout.y.low);
        EXPECT_LE(t, layout.y.high);
        EXPECT_NEAR(std::remainder(t, step), 0, 1e-9) << t;
    }
    // A range asked for, and a log axis ticked at powers of ten.
    cli::PlotOptions fixed = psnr;
    fixed.y.range = std::pair(30.0, 40.0);
    fixed.x.log = true;
    fixed.x.range = std::pair(0.5, 500.0);
    const cli::PlotLayout log = cli::LayOutPlot(PlotOf(Table(1, 3, 5), fixed), QSizeF(675, 450), fonts);
    EXPECT_EQ(log.y.low, 30);
    EXPECT_EQ(log.y.high, 40);
    EXPECT_EQ(log.x.ticks, (std::vector<double>{1, 10, 100}));
    EXPECT_DOUBLE_EQ(log.x.Fraction(std::sqrt(0.5 * 500)), 0.5);
}

TEST(PlotLayout, SpansUpToTheLargestDoublesGetFewRoundTicks) {
    QImage image = Canvas(QSize(900, 600));
    const cli::PlotFonts fonts(image);
    const auto table = [](const char* x, const char* y) {
        return QStringLiteral("picture,epsilon,zero_share,mean_error\na,1,%1,1\na,2,%2,2\n").arg(x, y);
    };
    for (bool log : {true, false}) {
        for (const auto& [low, high] :
             {std::pair("1", "1e308"), std::pair("-1.7e308", "1.7e308"), std::pair("1e-300", "1e300")}) {
            cli::PlotOptions options;
            options.x.log = log;
            const cli::PlotLayout layout = cli::LayOutPlot(PlotOf(table(low, high), options), QSizeF(675, 450), fonts);
            SCOPED_TRACE(std::string(low) + " ... " + high + (log ? " log" : ""));
            EXPECT_TRUE(std::isfinite(layout.x.low) && std::isfinite(layout.x.high));
            EXPECT_GE(layout.x.ticks.size(), log && low[0] == '-' ? 1u : 2u);
            EXPECT_LE(layout.x.ticks.size(), 20u);
            for (double t : layout.x.ticks) {
                EXPECT_TRUE(std::isfinite(t)) << t;
                EXPECT_NEAR(std::clamp(layout.x.Fraction(t), -1.0, 2.0), 0.5, 0.5 + 1e-9) << t;
            }
        }
    }
}

TEST(PlotTable, ColumnsAreReadByNameAndBadRowsNamed) {
    const QString csv = Table(2, 3, 4);
    const cli::RateDistortionPlot plot = PlotOf(csv);
    // Columns reversed, an extra column, rows shuffled: the same curves.
    const QStringList lines = csv.trimmed().split('\n');
    QString reordered;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i == 0 ? 0 : 1 + (i * 7) % (int(lines.size()) - 1);
        QStringList fields = lines[line].split(',');
        std::reverse(fields.begin(), fields.end());
        fields << (i == 0 ? QStringLiteral("comment") : QStringLiteral("\"x, \"\"y\"\"\nz\""));
        reordered += fields.join(',') + QStringLiteral("\r\n");
    }
    const cli::RateDistortionPlot again = PlotOf(reordered);
    ASSERT_EQ(again.curves.size(), plot.curves.size());
    for (const cli::PlotCurve& curve : plot.curves) {
        const auto same = std::find_if(again.curves.begin(), again.curves.end(),
                                       [&](const cli::PlotCurve& c) { return c.name == curve.name; });
        ASSERT_NE(same, again.curves.end()) << curve.name.toStdString();
        ASSERT_EQ(same->points.size(), curve.points.size());
        for (std::size_t p = 0; p < curve.points.size(); ++p) {
            EXPECT_EQ(same->points[p].x, curve.points[p].x);
            EXPECT_EQ(same->points[p].y, curve.points[p].y);
            EXPECT_EQ(same->points[p].label, curve.points[p].label);
        }
    }
    const cli::Table quoted = cli::ParseTable(reordered.toUtf8(), "q.csv");
    EXPECT_EQ(quoted.rows[0].back(), QStringLiteral("x, \"y\"\nz"));
    EXPECT_EQ(quoted.lines[1], 4);  // the quoted line break counts

    const auto error = [](const QByteArray& bytes, const char* x = "zero_share") -> std::string {
        try {
            cli::PlotOptions options;
            options.x.column = QString::fromLatin1(x);
            cli::PlotOfTable(cli::ParseTable(bytes, "b.csv"), options);
        } catch (const Error& e) {
            return e.what();
        } catch (const cli::UsageError& e) {
            return std::string("usage: ") + e.what();
        }
        return {};
    };
    EXPECT_EQ(error("zero_share,mean_error\n1,2\n3\n"), "Tabelle \"b.csv\", Zeile 3: 1 Felder, die Kopfzeile hat 2.");
    EXPECT_EQ(error("zero_share,mean_error\n1,2\n\"3,4\n"),
              "Tabelle \"b.csv\", Zeile 3: Anführungszeichen nicht geschlossen.");
    EXPECT_EQ(error("zero_share,mean_error\n1,2\n\n4,zwei\n"),
              "Tabelle \"b.csv\", Zeile 4: \"zwei\" in Spalte mean_error ist keine Zahl.");
    EXPECT_EQ(error("zero_share,mean_error\n0x10,2\n"),
              "Tabelle \"b.csv\", Zeile 2: \"0x10\" in Spalte zero_share ist keine Zahl.");
    EXPECT_EQ(error(""), "Die Tabelle \"b.csv\" ist leer.");
    EXPECT_EQ(error("zero_share,mean_error\n1,2\n", "entropy_bpp").rfind("usage: ", 0), 0u);
    // A target sweep under two rules: a curve per picture, rule and Delta, points named
    // by their target rather than the Epsilon found for it.
    const cli::RateDistortionPlot targets = PlotOf(
        QStringLiteral("picture,delta,rule,zeros,epsilon,zero_share,mean_error\n"
                       "a.bmp,0.5,flat,90,3.25,90.2,2\na.bmp,0.5,flat,80,1.5,80.1,1\na.bmp,0.5,norm,80,0.7,80,1.5\n"
                       "a.bmp,0.5,norm,90,1.1,90,2.5\n"));
    ASSERT_EQ(targets.curves.size(), 2u);
    EXPECT_EQ(targets.curves[1].name, QStringLiteral("a.bmp, norm, Delta 0.5"));
    EXPECT_EQ(targets.curves[0].points[0].label, QStringLiteral("80"));
    EXPECT_TRUE(targets.notes.contains(QStringLiteral("Ziel-Anteil")));
    // Values without a number are no points, not errors.
    EXPECT_EQ(error("zero_share,mean_error\nnan,2\n1,inf\n,3\n"), "");
}

class PlotFiles : public CliTest {
protected:
    QString Write(const QString& name, const QString& text) { return Text(name, text.toUtf8()); }
    static QString Tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }
    static QString Output(const QString& program, const QStringList& args) {
        QProcess process;
        process.start(program, args);
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
};

TEST_F(PlotFiles, PngSvgAndPdfSayWhatWasAsked) {
    const QString table = Write("t.csv", Table(2, 3, 4));
    const QString png = dir.filePath("p.png"), svg = dir.filePath("p.svg"), pdf = dir.filePath("p.pdf");
    const CliRun run =
        Run({"plot", table, "-o", png, "-o", svg, "--output", pdf, "--size", "85x60mm", "--labels", "en"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.count('\n'), 3);
    EXPECT_EQ(QImage(png).size(), QSize(1004, 709));  // 300 per inch

    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList texts;
    QString width, height;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("svg"))
            width = xml.attributes().value("width").toString(), height = xml.attributes().value("height").toString();
        if (xml.name() == QLatin1String("text")) {
            EXPECT_TRUE(xml.attributes().value("font-family").contains(QLatin1String("Arial")));
            texts << xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(width, QStringLiteral("85mm"));
    EXPECT_EQ(height, QStringLiteral("60mm"));
    for (const char* expected : {"share of zero coefficients in %", "mean absolute error (grey levels)",
                                 "picture-1.bmp", "0.5", "Delta", "Rate–distortion: mean error over zero coefficients"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;

    if (Tool("pdfinfo").isEmpty()) GTEST_SKIP() << "poppler-utils missing (scripts/install-deps.sh)";
    EXPECT_TRUE(Output(Tool("pdfinfo"), {pdf})
                    .contains(QRegularExpression(QStringLiteral("Page size: +240\\.94\\d* x 170\\.0[78]\\d* pts"))));
    const QString text = Output(Tool("pdftotext"), {pdf, "-"});
    EXPECT_TRUE(text.contains(QStringLiteral("mean absolute error (grey levels)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("picture-0.bmp")));
    const QStringList fonts = Output(Tool("pdffonts"), {pdf}).split('\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(fonts.isEmpty());
    for (const QString& font : fonts) EXPECT_TRUE(font.contains(QStringLiteral(" yes "))) << font.toStdString();
}

TEST_F(PlotFiles, SweepWritesEveryPlotInOneRunAsPlotRedrawsIt) {
    const QString picture = Scene("s.bmp", 40, 30);
    const QString csv = dir.filePath("s.csv"), a = dir.filePath("a.png"), b = dir.filePath("b.png"),
                  c = dir.filePath("c.svg");
    const CliRun sweep = Run({"sweep", picture, "--level", "2", "--epsilons", "1,4", "--positions", "0:100:50", "--csv",
                              csv, "--plot", a, "--plot", c, "--plot-y", "psnr", "--size", "640x480"});
    ASSERT_EQ(sweep.status, 0) << sweep.err.toStdString();
    EXPECT_TRUE(sweep.err.endsWith(QStringLiteral("Diagramm in %1\nDiagramm in %2\n").arg(a, c)))
        << sweep.err.toStdString();
    const CliRun plot = Run({"plot", csv, "-o", b, "--plot-y", "psnr", "--size", "640x480"});
    ASSERT_EQ(plot.status, 0) << plot.err.toStdString();
    EXPECT_EQ(QImage(a), QImage(b));
    EXPECT_EQ(QImage(a).size(), QSize(640, 480));

    // Refused before any work: a missing column, the table as output, a bad size or format.
    const CliRun missing = Run({"plot", csv, "-o", b, "--plot-x", "no_such_column"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no_such_column"))) << missing.err.toStdString();
    EXPECT_EQ(Run({"plot", csv, "-o", csv + ".png", "-o", csv + ".png"}).status, 2);
    EXPECT_EQ(Run({"plot", csv, "-o", dir.filePath("x.gif")}).status, 2);
    EXPECT_EQ(Run({"plot", csv, "-o", b, "--size", "85mm"}).status, 2);
    EXPECT_EQ(Run({"plot", csv, "-o", b, "--plot-y-range", "5:1"}).status, 2);
    EXPECT_EQ(Run({"plot", csv}).status, 2);
    EXPECT_EQ(Run({"sweep", picture, "--level", "2", "--epsilon", "1", "--plot-x", "nothing"}).status, 2);
    const QString bad = Write("bad.csv", "zero_share,mean_error\n1,2\n3,4,5\n");
    const QStringList before = Files();
    const CliRun malformed = Run({"plot", bad, "-o", dir.filePath("m.png")});
    EXPECT_EQ(malformed.status, 1);
    EXPECT_EQ(malformed.err,
              QStringLiteral("tesora-cli: Tabelle \"%1\", Zeile 3: 3 Felder, die Kopfzeile hat 2.\n").arg(bad));
    EXPECT_EQ(Files(), before);
}

TEST(Progress, RowsTimeAndEstimateAtMostTenTimesASecond) {
    double now = 100;
    QString text;
    QTextStream err(&text);
    {
        cli::Progress progress(err, cli::ProgressMode::Terminal, 200, [&] { return now; });
        for (int i = 0; i < 100; ++i) {
            now += 0.02;  // fifty rows a second, two rows at a time
            progress.Advance(2);
        }
        err.flush();
        // Two seconds: the first row, then one update per 0.1 s at most, and the last.
        const auto updates = text.count('\r');
        EXPECT_GE(updates, 15);
        EXPECT_LE(updates, 22);
        // Halfway: one second gone, about one to go.
        EXPECT_TRUE(text.contains(
            QRegularExpression(QStringLiteral("\r(9[6-9]|10[0-4])/200 Zeilen, 0:01 vergangen, noch etwa 0:01"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("\r200/200 Zeilen, 0:02 vergangen")));
    }
    err.flush();
    // Cleared at the end.
    EXPECT_TRUE(text.endsWith('\r'));
    EXPECT_TRUE(text.section('\r', -2, -2).trimmed().isEmpty());

    QString lines;
    QTextStream plain(&lines);
    now = 0;
    {
        cli::Progress progress(plain, cli::ProgressMode::Lines, 7, [&] { return now; });
        for (int i = 0; i < 7; ++i) {
            now += 60;
            progress.Advance(1);
        }
    }
    plain.flush();
    const QStringList shown = lines.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(shown.size(), 7) << lines.toStdString();  // each row passes a tenth of 7
    EXPECT_EQ(shown[0], QStringLiteral("Fortschritt: 10 % (1/7 Zeilen, 1:00 vergangen, noch etwa 6:00)"));
    EXPECT_EQ(shown[6], QStringLiteral("Fortschritt: 100 % (7/7 Zeilen, 7:00 vergangen)"));
    EXPECT_FALSE(lines.contains('\r'));
    EXPECT_EQ(cli::Duration(3723), QStringLiteral("1:02:03"));
    EXPECT_EQ(cli::ChooseProgress(false, false), cli::ProgressMode::Off);
    EXPECT_EQ(cli::ChooseProgress(false, true), cli::ProgressMode::Lines);
    EXPECT_EQ(cli::ChooseProgress(true, false), cli::ProgressMode::Terminal);
}

}  // namespace
}  // namespace tesora::testing
