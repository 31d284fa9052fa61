// Plots for papers: tables read by column name, layouts that keep every text on the
// page and apart at any count of curves.
#include <QBuffer>
#include <QImage>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "matrix/Error.h"
#include "plot/Curves.h"
#include "plot/Layout.h"
#include "plot/Table.h"
#include "plot/UsageError.h"
#include "support/SweepTable.h"

namespace tesora::testing {
namespace {

plot::RateDistortionPlot PlotOf(const QString& csv, const plot::PlotOptions& options = {}) {
    return plot::PlotOfTable(plot::ParseTable(csv.toUtf8(), QStringLiteral("t.csv")), options);
}

// Every box drawn: on the page, and no two of them over each other.
void ExpectApartAndOnPage(const plot::PlotLayout& layout, const plot::RateDistortionPlot& plot) {
    std::vector<std::pair<QRectF, QString>> boxes;
    for (const plot::PlotText& text : layout.texts) boxes.emplace_back(text.box, text.text);
    for (const plot::LegendSample& sample : layout.samples) boxes.emplace_back(sample.box, QStringLiteral("(sample)"));
    for (const plot::PlacedLabel& label : layout.labels)
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
    for (const plot::PlacedLabel& label : layout.labels) {
        EXPECT_TRUE(layout.area.contains(label.box)) << label.text.toStdString();
        for (const plot::PlotCurve& curve : plot.curves)
            for (const plot::PlotPoint& point : curve.points)
                EXPECT_FALSE(label.box.contains(layout.At(point.x, point.y))) << label.text.toStdString();
    }
    // Texts outside the axes keep off them.
    for (const plot::PlotText& text : layout.texts)
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
            const plot::PlotPage page = plot::PlotPage::Parse(QString::fromLatin1(size), QStringLiteral("--size"));
            const plot::RateDistortionPlot plot = PlotOf(SweepTable(c.pictures, c.deltas, c.epsilons));
            ASSERT_EQ(plot.curves.size(), c.curves);
            for (const QPaintDevice* device : {static_cast<QPaintDevice*>(&image), static_cast<QPaintDevice*>(&pdf)}) {
                const plot::PlotFonts fonts(*device);
                const plot::PlotLayout layout = plot::LayOutPlot(plot, page.points, fonts);
                ExpectApartAndOnPage(layout, plot);
                EXPECT_GT(layout.area.width(), page.points.width() * 0.4);
                EXPECT_GT(layout.area.height(), page.points.height() * 0.35);
                if (c.curves > plot::kMostDistinctCurves) {
                    // A colour bar instead of a legend; a legend of the pictures when several.
                    EXPECT_FALSE(layout.colourBar.isEmpty());
                    EXPECT_EQ(layout.samples.size(), c.pictures > 1 ? std::size_t(c.pictures) : 0u);
                    EXPECT_FALSE(layout.labels.empty());
                } else if (c.curves > 1) {
                    // Never truncated: a sample for every curve, every picture and Delta named.
                    EXPECT_EQ(layout.samples.size(), c.curves);
                    const auto shown = [&](const QString& text) {
                        return std::any_of(layout.texts.begin(), layout.texts.end(),
                                           [&](const plot::PlotText& t) { return t.text.endsWith(text); });
                    };
                    for (const plot::PlotCurve& curve : plot.curves) {
                        EXPECT_TRUE(shown(plot.pictures[qsizetype(curve.picture)]) || plot.pictures.size() == 1);
                        EXPECT_TRUE(shown(QString::number(curve.delta))) << curve.name.toStdString();
                    }
                }
            }
        }
}

TEST(PlotLayout, UpToTwentyFourCurvesNeverLookAlike) {
    const plot::RateDistortionPlot plot = PlotOf(SweepTable(3, 8, 3));
    QImage image = Canvas(QSize(900, 600));
    const plot::PlotLayout layout = plot::LayOutPlot(plot, QSizeF(675, 450), plot::PlotFonts(image));
    ASSERT_EQ(layout.styles.size(), 24u);
    std::set<std::pair<QRgb, int>> colourMarker, colourDash;
    for (const plot::CurveStyle& style : layout.styles) {
        colourMarker.insert({style.colour.rgb(), style.marker});
        colourDash.insert({style.colour.rgb(), style.dash});
    }
    EXPECT_EQ(colourMarker.size(), 24u);
    EXPECT_EQ(colourDash.size(), 24u);
    // Beyond that the colour follows Delta: the smallest and the largest at the scale's ends.
    const plot::RateDistortionPlot many = PlotOf(SweepTable(1, 101, 2));
    const plot::PlotLayout scaled = plot::LayOutPlot(many, QSizeF(675, 450), plot::PlotFonts(image));
    EXPECT_EQ(scaled.styles.front().colour, plot::ScaleColour(0));
    EXPECT_EQ(scaled.styles.back().colour, plot::ScaleColour(1));
    EXPECT_NE(plot::ScaleColour(0.25), plot::ScaleColour(0.75));
}

TEST(PlotLayout, AxesFitTheDataWithRoundTicks) {
    QImage image = Canvas(QSize(900, 600));
    const plot::PlotFonts fonts(image);
    plot::PlotOptions psnr;
    psnr.y.column = QStringLiteral("psnr");
    const plot::RateDistortionPlot plot = PlotOf(SweepTable(1, 3, 5), psnr);  // PSNR 33 ... 43
    const plot::PlotLayout layout = plot::LayOutPlot(plot, QSizeF(675, 450), fonts);
    double low = INFINITY, high = -INFINITY;
    for (const plot::PlotCurve& curve : plot.curves)
        for (const plot::PlotPoint& p : curve.points) low = std::min(low, p.y), high = std::max(high, p.y);
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
    plot::PlotOptions fixed = psnr;
    fixed.y.range = std::pair(30.0, 40.0);
    fixed.x.log = true;
    fixed.x.range = std::pair(0.5, 500.0);
    const plot::PlotLayout log = plot::LayOutPlot(PlotOf(SweepTable(1, 3, 5), fixed), QSizeF(675, 450), fonts);
    EXPECT_EQ(log.y.low, 30);
    EXPECT_EQ(log.y.high, 40);
    EXPECT_EQ(log.x.ticks, (std::vector<double>{1, 10, 100}));
    EXPECT_DOUBLE_EQ(log.x.Fraction(std::sqrt(0.5 * 500)), 0.5);
}

TEST(PlotLayout, SpansUpToTheLargestDoublesGetFewRoundTicks) {
    QImage image = Canvas(QSize(900, 600));
    const plot::PlotFonts fonts(image);
    const auto table = [](const char* x, const char* y) {
        return QStringLiteral("picture,epsilon,zero_share,mean_error\na,1,%1,1\na,2,%2,2\n").arg(x, y);
    };
    for (bool log : {true, false}) {
        for (const auto& [low, high] :
             {std::pair("1", "1e308"), std::pair("-1.7e308", "1.7e308"), std::pair("1e-300", "1e300")}) {
            plot::PlotOptions options;
            options.x.log = log;
            const plot::PlotLayout layout =
                plot::LayOutPlot(PlotOf(table(low, high), options), QSizeF(675, 450), fonts);
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

// Thousands of labelled points, some bunched, some apart: the labels placed are those a
// plain search of every point and label finds, in the same order.
TEST(PlotLayout, ManyLabelledPointsGetTheLabelsOfAPlainSearch) {
    QString csv = QStringLiteral("picture,delta,epsilon,zero_share,mean_error\n");
    for (int i = 0; i < 3000; ++i)
        csv += QStringLiteral("a.bmp,0.5,%1,%2,%3\n").arg(i).arg(i < 2700 ? i % 90 : 100 + i).arg((i * 7919) % 97);
    const plot::RateDistortionPlot plot = PlotOf(csv);
    const QImage image = Canvas(QSize(900, 600));
    const plot::PlotFonts fonts(image);
    const plot::PlotLayout layout = plot::LayOutPlot(plot, QSizeF(675, 450), fonts);
    const double r = layout.marker, d = r + 1.5;
    std::vector<QRectF> taken;
    for (const plot::PlotPoint& point : plot.curves[0].points) {
        const QPointF p = layout.At(point.x, point.y);
        taken.emplace_back(p.x() - r, p.y() - r, 2 * r, 2 * r);
    }
    std::vector<QRectF> expected;
    for (const plot::PlotPoint& point : plot.curves[0].points) {
        const QRectF text = fonts.Bounds(point.label, layout.labelSize).adjusted(-0.5, -0.5, 0.5, 0.5);
        const double w = text.width(), h = text.height();
        const QPointF p = layout.At(point.x, point.y);
        for (const QPointF corner : {QPointF(d, -h / 2), QPointF(-d - w, -h / 2), QPointF(-w / 2, -d - h),
                                     QPointF(-w / 2, d), QPointF(d * 0.8, -d * 0.8 - h), QPointF(d * 0.8, d * 0.8),
                                     QPointF(-d * 0.8 - w, -d * 0.8 - h), QPointF(-d * 0.8 - w, d * 0.8)}) {
            const QRectF box(p + corner, QSizeF(w, h));
            if (!layout.area.contains(box) ||
                std::any_of(taken.begin(), taken.end(), [&](const QRectF& t) { return t.intersects(box); }))
                continue;
            taken.push_back(box);
            expected.push_back(box);
            break;
        }
    }
    ASSERT_GT(expected.size(), 20u);
    ASSERT_EQ(layout.labels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(layout.labels[i].box, expected[i]) << i;
}

TEST(PlotTable, ColumnsAreReadByName) {
    const QString csv = SweepTable(2, 3, 4);
    const plot::RateDistortionPlot plot = PlotOf(csv);
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
    const plot::RateDistortionPlot again = PlotOf(reordered);
    ASSERT_EQ(again.curves.size(), plot.curves.size());
    for (const plot::PlotCurve& curve : plot.curves) {
        const auto same = std::find_if(again.curves.begin(), again.curves.end(),
                                       [&](const plot::PlotCurve& c) { return c.name == curve.name; });
        ASSERT_NE(same, again.curves.end()) << curve.name.toStdString();
        ASSERT_EQ(same->points.size(), curve.points.size());
        for (std::size_t p = 0; p < curve.points.size(); ++p) {
            EXPECT_EQ(same->points[p].x, curve.points[p].x);
            EXPECT_EQ(same->points[p].y, curve.points[p].y);
            EXPECT_EQ(same->points[p].label, curve.points[p].label);
        }
    }
    const plot::Table quoted = plot::ParseTable(reordered.toUtf8(), "q.csv");
    EXPECT_EQ(quoted.rows[0].back(), QStringLiteral("x, \"y\"\nz"));
    EXPECT_EQ(quoted.lines[1], 4);  // the quoted line break counts
}

TEST(PlotTable, BadRowsAreNamedAndTargetsMakeTheirOwnCurves) {
    const auto error = [](const QByteArray& bytes, const char* x = "zero_share") -> std::string {
        try {
            plot::PlotOptions options;
            options.x.column = QString::fromLatin1(x);
            plot::PlotOfTable(plot::ParseTable(bytes, "b.csv"), options);
        } catch (const Error& e) {
            return e.what();
        } catch (const plot::UsageError& e) {
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
    const plot::RateDistortionPlot targets = PlotOf(
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

}  // namespace
}  // namespace tesora::testing
