#include "plot/Page.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QtMath>
#include <cmath>

#include "matrix/Error.h"
#include "plot/UsageError.h"

namespace tesora::plot {

namespace {

// An image Qt could not allocate is null: painting it would write an empty file.
void RequirePage(const QImage& image, const QString& path) {
    if (image.isNull())
        throw Error("Für das Diagramm \"" + path.toStdString() + "\" (" + std::to_string(image.width()) + " x " +
                    std::to_string(image.height()) + " Pixel) reicht der Speicher nicht.");
}

}  // namespace

PlotFormat PlotFormatFor(const QString& path, const QString& option) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return PlotFormat::Png;
    if (suffix == QLatin1String("svg")) return PlotFormat::Svg;
    if (suffix == QLatin1String("pdf")) return PlotFormat::Pdf;
    throw UsageError(QStringLiteral("%1: \"%2\" muss auf .png, .svg oder .pdf enden.").arg(option, path));
}

PageFile RenderPixelPage(const QString& path, QSize size, const std::function<void(QPainter&)>& draw) {
    if (PlotFormatFor(path, QString()) == PlotFormat::Pdf) {
        // The drawing is laid out in pixels; on paper they are 1/96 inch.
        PlotPage page{QSizeF(size) * 0.75, size};
        return RenderPage(path, page, QFileInfo(path).completeBaseName(),
                          [&](QPainter& painter, const PlotFonts& fonts) {
                              painter.scale(0.75, 0.75);
                              QFont font = fonts.Font(12);  // 12 of its pixels, as on the PNG
                              painter.setFont(font);
                              draw(painter);
                          });
    }
    auto paint = [&](QPainter& painter) {
        painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        painter.setRenderHint(QPainter::Antialiasing);
        QFont font = painter.font();
        font.setPixelSize(12);
        painter.setFont(font);
        draw(painter);
        painter.end();
    };
    PageFile file;
    if (PlotFormatFor(path, QString()) == PlotFormat::Png) {
        file.image = QImage(size, QImage::Format_RGB32);
        RequirePage(file.image, path);
        QPainter painter(&file.image);
        paint(painter);
        return file;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QFileInfo(path).completeBaseName());
    QPainter painter(&generator);
    paint(painter);
    file.bytes = buffer.data();
    return file;
}

const char* const kPlotFontFamily = "Liberation Sans";
const char* const kSvgFontList = "'Liberation Sans', Arial, Helvetica, 'Arimo', sans-serif";

PlotPage PlotPage::Parse(const QString& text, const QString& option) {
    static const QRegularExpression form(QStringLiteral(R"(^\s*(\d+(?:\.\d+)?)\s*[xX]\s*(\d+(?:\.\d+)?)\s*(mm)?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    const double w = match.captured(1).toDouble(), h = match.captured(2).toDouble();
    const bool mm = !match.captured(3).isEmpty();
    const double low = mm ? 20 : 100, high = mm ? 2000 : 10000;
    if (!match.hasMatch() || w < low || h < low || w > high || h > high)
        throw UsageError(QStringLiteral("Ungültiger Wert für %1: \"%2\" (erwartet: BREITExHÖHEmm von 20 bis 2000 "
                                        "oder BREITExHÖHE in Pixeln von 100 bis 10000).")
                             .arg(option, text));
    PlotPage page;
    if (mm) {
        page.points = QSizeF(w * 72 / 25.4, h * 72 / 25.4);
        page.pixels = QSize(qRound(page.points.width() * 300 / 72), qRound(page.points.height() * 300 / 72));
    } else {
        page.pixels = QSize(qRound(w), qRound(h));
        page.points = QSizeF(page.pixels) * 0.75;
    }
    // Each side may reach its bound, not both: a PNG page is held in memory whole.
    if (qint64{page.pixels.width()} * page.pixels.height() > kMaxPagePixels)
        throw UsageError(QStringLiteral("Ungültiger Wert für %1: \"%2\" ergibt %3 x %4 Pixel; höchstens %5 Megapixel "
                                        "sind möglich (bei 300 dpi etwa 850 x 850 mm).")
                             .arg(option, text)
                             .arg(page.pixels.width())
                             .arg(page.pixels.height())
                             .arg(kMaxPagePixels / 1000000));
    return page;
}

PlotFonts::PlotFonts(const QPaintDevice& device) : device_(device), scale_(device.logicalDpiY() / 72.0) {}

QFont PlotFonts::Font(double points, bool bold) const {
    QFont font(QString::fromLatin1(kPlotFontFamily));
    font.setStyleHint(QFont::SansSerif);
    // The painter is scaled to points; the font's own size must not scale twice.
    font.setPointSizeF(points / scale_);
    font.setBold(bold);
    return font;
}

QRectF PlotFonts::Bounds(const QString& text, double points, bool bold) const {
    const QFontMetricsF metrics(Font(points, bold), &device_);
    return {0, -metrics.ascent(), metrics.horizontalAdvance(text), metrics.height()};
}

double PlotFonts::Width(const QString& text, double points, bool bold) const {
    return QFontMetricsF(Font(points, bold), &device_).horizontalAdvance(text);
}

double PlotFonts::LineHeight(double points) const { return QFontMetricsF(Font(points), &device_).height(); }
double PlotFonts::Ascent(double points) const { return QFontMetricsF(Font(points), &device_).ascent(); }

namespace {

// QSvgGenerator gives the page in whole units and names a single family; the file says
// the size asked for and a list of faces with the same widths.
QByteArray FinishSvg(QByteArray svg, const PlotPage& page) {
    const auto mm = [](double points) { return QString::number(points * 25.4 / 72, 'g', 6) + QStringLiteral("mm"); };
    QString text = QString::fromUtf8(svg);
    const qsizetype start = text.indexOf(QStringLiteral("<svg"));
    const qsizetype end = text.indexOf(QLatin1Char('>'), start);
    if (start >= 0 && end > start) {
        QString head = text.mid(start, end - start);
        head.replace(QRegularExpression(QStringLiteral(R"(\bwidth="[^"]*")")),
                     QStringLiteral("width=\"%1\"").arg(mm(page.points.width())));
        head.replace(QRegularExpression(QStringLiteral(R"(\bheight="[^"]*")")),
                     QStringLiteral("height=\"%1\"").arg(mm(page.points.height())));
        text.replace(start, end - start, head);
    }
    text.replace(QStringLiteral("font-family=\"%1\"").arg(QString::fromLatin1(kPlotFontFamily)),
                 QStringLiteral("font-family=\"%1\"").arg(QString::fromLatin1(kSvgFontList)));
    return text.toUtf8();
}

// The writer gives the page box in whole points. The exact size has the same number of
// characters (six decimals), so every offset in the file stays true.
QByteArray FinishPdf(QByteArray pdf, const PlotPage& page) {
    static const QRegularExpression box(QStringLiteral(R"(/MediaBox \[0 0 (\d+\.\d{6}) (\d+\.\d{6})\])"));
    const QRegularExpressionMatch match = box.match(QString::fromLatin1(pdf));
    if (!match.hasMatch()) return pdf;
    const QByteArray old = match.captured(0).toLatin1();
    const QByteArray exact = QStringLiteral("/MediaBox [0 0 %1 %2]")
                                 .arg(page.points.width(), 0, 'f', 6)
                                 .arg(page.points.height(), 0, 'f', 6)
                                 .toLatin1();
    if (exact.size() == old.size()) pdf.replace(pdf.indexOf(old), old.size(), exact);
    return pdf;
}

}  // namespace

PageFile RenderPage(const QString& path, const PlotPage& page, const QString& title,
                    const std::function<void(QPainter&, const PlotFonts&)>& draw) {
    const auto paint = [&](QPainter& painter, const QPaintDevice& device) {
        const PlotFonts fonts(device);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(fonts.Scale(), fonts.Scale());
        painter.fillRect(QRectF(QPointF(0, 0), page.points), Qt::white);
        draw(painter, fonts);
        painter.end();
    };
    switch (PlotFormatFor(path, QString())) {
        case PlotFormat::Png: {
            PageFile file{QImage(page.pixels, QImage::Format_RGB32), {}};
            QImage& image = file.image;
            RequirePage(image, path);
            image.fill(Qt::white);
            // The resolution that makes the page's points fill the pixels, kept in the file.
            const double dpi = std::round(72.0 * page.pixels.width() / page.points.width());
            image.setDotsPerMeterX(qRound(dpi / 0.0254));
            image.setDotsPerMeterY(qRound(dpi / 0.0254));
            QPainter painter(&image);
            paint(painter, image);
            return file;
        }
        case PlotFormat::Svg: {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QSvgGenerator generator;
            generator.setOutputDevice(&buffer);
            generator.setResolution(72);
            generator.setSize(QSize(qCeil(page.points.width()), qCeil(page.points.height())));
            generator.setViewBox(QRectF(QPointF(0, 0), page.points));
            generator.setTitle(title);
            QPainter painter(&generator);
            paint(painter, generator);
            return {{}, FinishSvg(buffer.data(), page)};
        }
        case PlotFormat::Pdf: {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter writer(&buffer);
            writer.setResolution(72);
            writer.setPageSize(
                QPageSize(page.points * (25.4 / 72), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            writer.setTitle(title);
            writer.setCreator(QStringLiteral("tesora-cli"));
            QPainter painter(&writer);
            paint(painter, writer);
            return {{}, FinishPdf(buffer.data(), page)};
        }
    }
    return {};
}

void RequireFonts() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error("Für das Diagramm fehlt die Qt-Anwendung.");
}

}  // namespace tesora::plot
