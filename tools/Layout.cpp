// Where each coefficient of a decomposed square belongs: its band and whether its grid
// point lies in the picture.
#include <algorithm>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "tools/AnalysisParts.h"

namespace tesora::analysis {
namespace {

using parts::Pow2;

// Grid point on the finest grid of index c of the step to level k (see LayoutOf).
long long GridPoint(int pictureLevel, int k, int c) {
    const int n = Pow2(k);
    return c <= n ? static_cast<long long>(c) << (pictureLevel - k)
                  : static_cast<long long>(2 * (c - n - 1) + 1) << (pictureLevel - k - 1);
}

}  // namespace

void parts::CheckLevels(int pictureLevel, int level) {
    if (pictureLevel < 2 || pictureLevel > kMaxLevel || level < 2 || level > pictureLevel)
        throw Error("Level " + FormatD(level) + " liegt außerhalb von 2 bis " + FormatD(pictureLevel) + ".",
                    "Level " + FormatD(level) + " lies outside 2 ... " + FormatD(pictureLevel) + ".");
}

const char* BandKindName(BandKind kind) {
    switch (kind) {
        case BandKind::Smoothing: return "smoothing";
        case BandKind::Row: return "row";
        case BandKind::Column: return "column";
        case BandKind::Both: return "both";
    }
    return "";
}

Layout LayoutOf(int pictureLevel, int level, int width, int height) {
    parts::CheckLevels(pictureLevel, level);
    Layout layout;
    layout.pictureLevel = pictureLevel;
    layout.level = level;
    layout.side = Pow2(pictureLevel) + 1;
    layout.width = width;
    layout.height = height;
    layout.bands.push_back({level, BandKind::Smoothing});
    for (int k = level; k < pictureLevel; ++k)
        for (BandKind kind : {BandKind::Row, BandKind::Column, BandKind::Both}) layout.bands.push_back({k, kind});
    const auto elements = static_cast<std::size_t>(layout.side) * static_cast<std::size_t>(layout.side);
    layout.band.assign(elements, Layout::kNoBand);
    layout.own.assign(elements, 0);

    // Grid points rise with the index within each run, so the own ones are prefixes.
    const auto ownCount = [&](int k, bool detail, int limit) {
        const int n = Pow2(k);
        int count = 0;
        const int first = detail ? n + 1 : 0, last = detail ? 2 * n : n;
        while (first + count <= last && GridPoint(pictureLevel, k, first + count) < limit) ++count;
        return count;
    };
    const auto side = static_cast<std::size_t>(layout.side);
    const int smooth = Pow2(level);
    const int smoothX = ownCount(level, false, width), smoothY = ownCount(level, false, height);
    for (int i = 0; i <= smooth; ++i) {
        std::fill_n(layout.band.begin() + static_cast<std::ptrdiff_t>(layout.Index(i, 0)), smooth + 1, 0);
        if (i < smoothX) std::fill_n(layout.own.begin() + static_cast<std::ptrdiff_t>(layout.Index(i, 0)), smoothY, 1);
    }
    for (int k = level; k < pictureLevel; ++k) {
        const int n = Pow2(k);
        Layout::OwnRuns runs{ownCount(k, false, width), ownCount(k, true, width), ownCount(k, false, height),
                             ownCount(k, true, height)};
        layout.ownRuns.push_back(runs);
        const auto first = static_cast<std::uint8_t>(1 + 3 * (k - level));
        for (int i = 0; i <= 2 * n; ++i) {
            std::uint8_t* band = layout.band.data() + static_cast<std::size_t>(i) * side;
            std::uint8_t* own = layout.own.data() + static_cast<std::size_t>(i) * side;
            const bool ownX = i <= n ? i < runs.smoothX : i - n - 1 < runs.detailX;
            if (i <= n) {
                std::fill(band + n + 1, band + 2 * n + 1, static_cast<std::uint8_t>(first));  // row
                if (ownX) std::fill_n(own + n + 1, runs.detailY, 1);
            } else {
                std::fill(band, band + n + 1, static_cast<std::uint8_t>(first + 1));              // column
                std::fill(band + n + 1, band + 2 * n + 1, static_cast<std::uint8_t>(first + 2));  // both
                if (ownX) {
                    std::fill_n(own, runs.smoothY, 1);
                    std::fill_n(own + n + 1, runs.detailY, 1);
                }
            }
        }
    }
    return layout;
}

}  // namespace tesora::analysis
