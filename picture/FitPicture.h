#pragma once
// Scaling a picture down until the working matrix can hold it: at most kMaxSide pixels
// wide and at most kFitPixels pixels in all. Each new pixel is the area average of the
// part of the old picture it covers, computed exactly in integers, so the same file
// always gives the same pixels (the windows, "Fehler?" and tesora-cli --fit agree).
#include <cstdint>
#include <vector>

#include "blac/Bank.h"

namespace tesora {

// The bounds of CoeffMatrix and of the loader: kMaxSide columns, kMaxSide x 4096 pixels.
inline constexpr std::int64_t kFitPixels = std::int64_t{kMaxSide} * 4096;

struct FitSize {
    int width;
    int height;
};

// The size a width x height picture is scaled to: unchanged when it fits; otherwise the
// largest size of (nearly) the same aspect ratio that fits, height rounded to the
// nearest pixel and never below 1.
FitSize FittedSize(int width, int height);

// Area average of a width x height picture of words 0xAARRGGBB (rows `stride` words
// apart) into `to`. Pixel (X, Y) of the result covers the rectangle
// [X W/w, (X+1) W/w) x [Y H/h, (Y+1) H/h) of the source; every colour channel is the
// sum of the source values weighted by their overlap with it, divided by its area and
// rounded to the nearest integer (halves up). The result is opaque, w words a row.
std::vector<std::uint32_t> AreaAverage(const std::uint32_t* pixels, int width, int height, std::int64_t stride,
                                       FitSize to);

}  // namespace tesora
