#pragma once
// What the plots share: axes with round ticks, the colours of the curves, page sizes,
// and the output as PNG (QPainter on an image), SVG (QSvgGenerator) or PDF (QPdfWriter)
// by the file's extension.
#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

#include "cli/OutputFiles.h"

namespace tesora::cli {

// The text of a tick or a value in every plot: "%g", with rounding noise around 0 shown as 0.
QString PlotNumber(double v);

// A round step that splits `span` into about five parts.
double TickStep(double span);

// A value range mapped onto a stretch of the image.
struct Axis {
    double low, high;
    // Range with room around the data, starting from round ticks.
    static Axis Around(double low, double high);
    double Fraction(double v) const { return (v - low) / (high - low); }
};

// The axes' box and its two ranges: data values to image points.
struct Frame {
    QRectF area;
    Axis x, y;
    QPointF At(double vx, double vy) const {
        return {area.left() + x.Fraction(vx) * area.width(), area.bottom() - y.Fraction(vy) * area.height()};
    }
};

// Grid lines, tick labels and the box; titles along both axes when not empty.
void DrawFrame(QPainter& painter, const Frame& frame, const QString& xTitle, const QString& yTitle);

QColor CurveColour(std::size_t index);

enum class PlotFormat { Png, Svg, Pdf };
// .png, .svg or .pdf; anything else is a usage error naming `option`.
PlotFormat PlotFormatFor(const QString& path, const QString& option);

// Draws a white canvas of `size` with `draw` and adds it to `outputs` in the format of
// the path's extension. Needs a QGuiApplication (fonts).
void AddPlot(OutputFiles& outputs, const QString& path, QSize size, const std::function<void(QPainter&)>& draw);

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

// Draws the page with `draw` (a painter in points) and adds it to `outputs` in the
// format of the path's extension. Needs a QGuiApplication (fonts).
void AddPage(OutputFiles& outputs, const QString& path, const PlotPage& page, const QString& title,
             const std::function<void(QPainter&, const PlotFonts&)>& draw);

// The family every plot is set in. Its widths are those of the common sans-serif faces
// named after it in SVG files, so a viewer without it lays the text out alike.
extern const char* const kPlotFontFamily;
extern const char* const kSvgFontList;

// The GUI application the fonts need; throws tesora::Error without one.
void RequireFonts();

}  // namespace tesora::cli
