#include "plot/Layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

namespace tesora::plot {
namespace {

// Boxes on the axes' area, kept in cells, so a sweep of many thousand points finds the
// few near a label at once instead of testing every one.
class Obstacles {
public:
    explicit Obstacles(const QRectF& area)
        : area_(area),
          columns_(std::max(1, static_cast<int>(area.width() / kCell) + 1)),
          rows_(std::max(1, static_cast<int>(area.height() / kCell) + 1)),
          cells_(static_cast<std::size_t>(columns_ * rows_)) {}

    void Add(const QRectF& box) {
        if (!box.intersects(area_)) return;  // labels stay inside: nothing outside matters
        boxes_.push_back(box);
        Visit(box, [&](std::vector<std::size_t>& cell) {
            cell.push_back(boxes_.size() - 1);
            return false;
        });
    }
    bool Hit(const QRectF& box) {
        return Visit(box, [&](std::vector<std::size_t>& cell) {
            return std::any_of(cell.begin(), cell.end(), [&](std::size_t i) { return boxes_[i].intersects(box); });
        });
    }

private:
    static constexpr double kCell = 16;
    int Clamp(double v, int count) const { return std::clamp(static_cast<int>(std::floor(v / kCell)), 0, count - 1); }
    template <typename F>
    bool Visit(const QRectF& box, F&& f) {
        const int x0 = Clamp(box.left() - area_.left(), columns_), x1 = Clamp(box.right() - area_.left(), columns_);
        const int y0 = Clamp(box.top() - area_.top(), rows_), y1 = Clamp(box.bottom() - area_.top(), rows_);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (f(cells_[static_cast<std::size_t>(y * columns_ + x)])) return true;
        return false;
    }

    QRectF area_;
    int columns_, rows_;
    std::vector<std::vector<std::size_t>> cells_;
    std::vector<QRectF> boxes_;
};

// Where the points' boxes surely cover the area: a grid of cells each wholly inside some
// point's box, summed, so a label over any such cell is known to hit at once. Only a
// shortcut for plots of many points: the boxes themselves decide every other case.
class Covered {
public:
    Covered(const QRectF& area, const std::vector<QRectF>& boxes)
        : origin_(area.topLeft()),
          step_(std::max(0.5, std::max(area.width(), area.height()) / 2048)),
          columns_(static_cast<int>(area.width() / step_) + 1),
          rows_(static_cast<int>(area.height() / step_) + 1),
          sums_(boxes.empty() ? 0 : static_cast<std::size_t>(columns_ + 1) * static_cast<std::size_t>(rows_ + 1), 0) {
        if (boxes.empty()) return;
        // Each box marks its inner cells in a difference grid; summed twice, the grid
        // holds whether a cell is covered, then how many covered cells lie above and left.
        for (const QRectF& box : boxes) {
            int x0, x1, y0, y1;
            if (!Inner(box, x0, x1, y0, y1)) continue;
            At(x0, y0) += 1, At(x1 + 1, y0) -= 1, At(x0, y1 + 1) -= 1, At(x1 + 1, y1 + 1) += 1;
        }
        Sum();
        for (std::int64_t& v : sums_) v = v > 0 ? 1 : 0;
        Sum();
    }
    bool Hit(const QRectF& box) const {
        int x0, x1, y0, y1;
        if (sums_.empty() || !Inner(box, x0, x1, y0, y1)) return false;
        const auto sum = [&](int x, int y) { return x < 0 || y < 0 ? 0 : sums_[Index(x, y)]; };
        return sum(x1, y1) - sum(x0 - 1, y1) - sum(x1, y0 - 1) + sum(x0 - 1, y0 - 1) > 0;
    }

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_ + 1) + static_cast<std::size_t>(x);
    }
    std::int64_t& At(int x, int y) { return sums_[Index(x, y)]; }
    void Sum() {
        for (int y = 0; y <= rows_; ++y)
            for (int x = 0; x <= columns_; ++x)
                At(x, y) +=
                    (x > 0 ? At(x - 1, y) : 0) + (y > 0 ? At(x, y - 1) : 0) - (x > 0 && y > 0 ? At(x - 1, y - 1) : 0);
    }
    // The cells wholly inside `box`, kept a little inward so rounding never widens them.
    bool Inner(const QRectF& box, int& x0, int& x1, int& y0, int& y1) const {
        const auto first = [&](double v, int count) {
            return static_cast<int>(std::clamp(std::ceil(v / step_ + 1e-6), 0.0, double(count - 1)));
        };
        const auto last = [&](double v, int count) {
            return static_cast<int>(std::clamp(std::floor(v / step_ - 1e-6) - 1, -1.0, double(count - 1)));
        };
        x0 = first(box.left() - origin_.x(), columns_), x1 = last(box.right() - origin_.x(), columns_);
        y0 = first(box.top() - origin_.y(), rows_), y1 = last(box.bottom() - origin_.y(), rows_);
        return x0 <= x1 && y0 <= y1;
    }

    QPointF origin_;
    double step_;
    int columns_, rows_;
    std::vector<std::int64_t> sums_;
};

constexpr std::size_t kManyPoints = 2000;

}  // namespace

std::vector<PlacedLabel> PlaceLabels(const PlotLayout& layout, const std::vector<PlotCurve>& curves,
                                     const PlotFonts& fonts) {
    const double r = layout.marker;
    Obstacles obstacles(layout.area);  // the points, then every label placed
    std::vector<QRectF> points;
    for (const PlotCurve& curve : curves)
        for (const PlotPoint& point : curve.points) {
            const QPointF p = layout.At(point.x, point.y);
            points.emplace_back(p.x() - r, p.y() - r, 2 * r, 2 * r);
            obstacles.Add(points.back());
        }
    const Covered covered(layout.area, points.size() > kManyPoints ? points : std::vector<QRectF>());
    points = {};
    std::map<QString, QRectF> bounds;  // few distinct texts, many points
    std::vector<PlacedLabel> labels;
    const double size = layout.labelSize, d = r + 1.5;
    // Past the distinct styles, curves lie close as a bundle: about ten of them carry
    // labels (the first and the last among them), the colour bar tells the rest.
    const std::size_t stride = curves.size() > kMostDistinctCurves ? (curves.size() + 9) / 10 : 1;
    for (std::size_t c = 0; c < curves.size(); ++c) {
        if (c % stride != 0 && c + 1 != curves.size()) continue;
        for (const PlotPoint& point : curves[c].points) {
            if (point.label.isEmpty()) continue;
            const QPointF p = layout.At(point.x, point.y);
            auto known = bounds.find(point.label);
            if (known == bounds.end())
                known =
                    bounds.emplace(point.label, fonts.Bounds(point.label, size).adjusted(-0.5, -0.5, 0.5, 0.5)).first;
            const QRectF text = known->second;
            const double w = text.width(), h = text.height();
            // Beside the point: right, left, above, below, then the four corners.
            const QPointF corners[] = {{d, -h / 2},
                                       {-d - w, -h / 2},
                                       {-w / 2, -d - h},
                                       {-w / 2, d},
                                       {d * 0.8, -d * 0.8 - h},
                                       {d * 0.8, d * 0.8},
                                       {-d * 0.8 - w, -d * 0.8 - h},
                                       {-d * 0.8 - w, d * 0.8}};
            for (const QPointF& corner : corners) {
                const QRectF box(p + corner, QSizeF(w, h));
                if (!layout.area.contains(box)) continue;
                if (covered.Hit(box) || obstacles.Hit(box)) continue;
                obstacles.Add(box);
                labels.push_back({box, box.topLeft() - text.topLeft(), point.label, c});
                break;
            }
        }
    }
    return labels;
}

}  // namespace tesora::plot
