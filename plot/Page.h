#pragma once
// The page of a plot: its size, the fonts set on it, and the file it becomes as PNG
// (QPainter on an image), SVG (QSvgGenerator) or PDF (QPdfWriter) by the file's extension.
#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <functional>

namespace tesora::plot {

enum class PlotFormat { Png, Svg, Pdf };
// .png, .svg or .pdf; anything else is a usage error naming `option`.
PlotFormat PlotFormatFor(const QString& path, const QString& option);

// The largest page: 100 megapixels (as a PNG, 400 MB in memory while drawn).
constexpr qint64 kMaxPagePixels = 100'000'000;

// A page: its size in points (1/72 inch) for SVG and PDF, in pixels for PNG.
struct PlotPage {
    QSizeF points;
    QSize pixels;
    // "WxHmm" (PNG at 300 pixels per inch) or "WxH" pixels (96 per inch for SVG and PDF),
    // at most kMaxPagePixels.
    static PlotPage Parse(const QString& text, const QString& option);
};

// Text sizes in points whatever the device: fonts for a painter scaled to points and
// their metrics in points.
class PlotFonts {
public:
    explicit PlotFonts(const QPaintDevice& device);
    QFont Font(double points, bool bold = false) const;
    // The box of the text with its baseline at y = 0, starting at x = 0.
    QRectF Bounds(const QString& text, double points, bool bold = false) const;
    double Width(const QString& text, double points, bool bold = false) const;
    double LineHeight(double points) const;
    double Ascent(double points) const;
    double Scale() const { return scale_; }  // device units per point

private:
    const QPaintDevice& device_;
    double scale_;
};

// A drawn page: the picture of a PNG, or the bytes of an SVG or PDF file.
struct PageFile {
    QImage image;
    QByteArray bytes;  // when image is null
};

// Draws the page with `draw` (a painter in points) in the format of the path's extension.
// Needs a QGuiApplication (fonts); throws tesora::Error when the page cannot be allocated.
PageFile RenderPage(const QString& path, const PlotPage& page, const QString& title,
                    const std::function<void(QPainter&, const PlotFonts&)>& draw);

// A page laid out in pixels (1/96 inch on paper), drawn with 12-pixel text.
PageFile RenderPixelPage(const QString& path, QSize size, const std::function<void(QPainter&)>& draw);

// The family every plot is set in. Its widths are those of the common sans-serif faces
// named after it in SVG files, so a viewer without it lays the text out alike.
extern const char* const kPlotFontFamily;
extern const char* const kSvgFontList;

// The GUI application the fonts need; throws tesora::Error without one.
void RequireFonts();

}  // namespace tesora::plot
