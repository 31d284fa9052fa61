#pragma once
// "analyse" and "synthesise": the coefficients of one picture as numpy files, and a
// possibly edited matrix back to a picture, on the core's value road.
#include <QImage>

#include "tools/Analysis.h"

namespace tesora::cli {

// Grey pixels of width x height bytes (row by row), as the window paints values.
QImage GreyImage(const std::vector<std::uint8_t>& bytes, int width, int height);

}  // namespace tesora::cli
