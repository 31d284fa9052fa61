// The plot command end to end: files that say what was asked (size, texts, embedded
// fonts), the same plot from a sweep and from its table, and refusals before any work.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "CliHarness.h"
#include "support/SweepTable.h"

namespace tesora::testing {
namespace {

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
    const QString table = Write("t.csv", SweepTable(2, 3, 4));
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

}  // namespace
}  // namespace tesora::testing
