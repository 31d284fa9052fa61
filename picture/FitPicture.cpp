#include "picture/FitPicture.h"

#include <algorithm>
#include <cmath>

namespace tesora {

FitSize FittedSize(int width, int height) {
    if (width <= 0 || height <= 0) return {width, height};
    if (width <= kMaxSide && std::int64_t{width} * height <= kFitPixels) return {width, height};
    const auto heightFor = [&](std::int64_t w) {
        // Nearest integer to height * w / width, halves up.
        return static_cast<int>(std::max<std::int64_t>(1, (std::int64_t{height} * w * 2 + width) / (2 * width)));
    };
    std::int64_t w = std::min(width, kMaxSide);
    // A tall picture is bound by its pixels: start near the root of the ratio, then step
    // down until the rounded height keeps the product inside the bound.
    if (w * heightFor(w) > kFitPixels) {
        const double root = std::sqrt(static_cast<double>(kFitPixels) * width / height);
        w = std::min<std::int64_t>(w, static_cast<std::int64_t>(root) + 1);
    }
    while (w > 1 && w * heightFor(w) > kFitPixels) --w;
    // One column and still too tall: the height alone is cut to the bound.
    const int h = static_cast<int>(std::min<std::int64_t>(heightFor(w), kFitPixels / w));
    return {static_cast<int>(w), h};
}

namespace {

// Lengths are counted in units of 1/(w h) of a source pixel: source column x spans
// [x w, (x+1) w), result column X spans [X W, (X+1) W); likewise for rows with h
// and H. The weights are the integer overlaps, their sum per result pixel W H.
struct Span {
    int first;                       // first result column the source column touches
    std::int64_t toFirst, toSecond;  // its overlap with that column and the next
};

std::vector<Span> ColumnSpans(int width, int w) {
    std::vector<Span> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const std::int64_t begin = std::int64_t{x} * w, end = begin + w;
        const int first = static_cast<int>(begin / width);
        const std::int64_t boundary = std::int64_t{first + 1} * width;
        columns[static_cast<std::size_t>(x)] = {first, std::min(end, boundary) - begin,
                                                std::max<std::int64_t>(0, end - boundary)};
    }
    return columns;
}

// Adds one source row, weighted by the column overlaps, into three sums per result column.
void SumRow(const std::uint32_t* row, const std::vector<Span>& columns, std::vector<std::int64_t>& sums) {
    std::fill(sums.begin(), sums.end(), 0);
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const Span& span = columns[x];
        const std::uint32_t word = row[x];
        const std::int64_t value[3] = {(word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF};
        std::int64_t* first = sums.data() + static_cast<std::size_t>(span.first) * 3;
        for (int c = 0; c < 3; ++c) first[c] += value[c] * span.toFirst;
        if (span.toSecond > 0)
            for (int c = 0; c < 3; ++c) first[3 + c] += value[c] * span.toSecond;
    }
}

// Writes one result row from its weighted sums (rounded, halves up) and clears the sums.
void EmitRow(std::vector<std::int64_t>& sums, std::int64_t area, std::uint32_t* out, int w) {
    for (int X = 0; X < w; ++X) {
        std::uint32_t word = 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const std::int64_t sum = sums[static_cast<std::size_t>(X) * 3 + static_cast<std::size_t>(c)];
            const auto value = static_cast<std::uint32_t>((2 * sum + area) / (2 * area));
            word |= std::min<std::uint32_t>(value, 255u) << (16 - 8 * c);
        }
        out[X] = word;
    }
    std::fill(sums.begin(), sums.end(), 0);
}

}  // namespace

std::vector<std::uint32_t> AreaAverage(const std::uint32_t* pixels, int width, int height, std::int64_t stride,
                                       FitSize to) {
    const int w = to.width, h = to.height;
    std::vector<std::uint32_t> result(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    if (w <= 0 || h <= 0 || width <= 0 || height <= 0) return result;

    const std::vector<Span> columns = ColumnSpans(width, w);
    const std::size_t channels = static_cast<std::size_t>(w) * 3;
    std::vector<std::int64_t> rowSums(channels), current(channels), next(channels);
    const std::int64_t area = std::int64_t{width} * height;
    int resultRow = 0;
    for (int y = 0; y < height; ++y) {
        SumRow(pixels + static_cast<std::int64_t>(y) * stride, columns, rowSums);
        const std::int64_t begin = std::int64_t{y} * h, end = begin + h;
        const std::int64_t boundary = std::int64_t{resultRow + 1} * height;
        const std::int64_t toCurrent = std::min(end, boundary) - begin,
                           toNext = std::max<std::int64_t>(0, end - boundary);
        for (std::size_t i = 0; i < channels; ++i) current[i] += rowSums[i] * toCurrent;
        if (toNext > 0 || end == boundary) {
            for (std::size_t i = 0; i < channels; ++i) next[i] += rowSums[i] * toNext;
            EmitRow(current, area, result.data() + static_cast<std::size_t>(resultRow) * static_cast<std::size_t>(w),
                    w);
            ++resultRow;
            std::swap(current, next);
        }
    }
    return result;
}

}  // namespace tesora
