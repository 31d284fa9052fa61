// "Fehler?": error = (1 / (W H)) * sum over the pixels of |red(original) - red(bild)|.
#include "tools/ErrorMeasurement.h"

#include <algorithm>
#include <cstdint>

#include "blac/State.h"
#include "matrix/Numbers.h"

namespace tesora {

double MeanRedDifference(const PictureSurface& bild, const PictureSurface& original, int areaWidth, int areaHeight) {
    const int width = std::max(0, std::min({areaWidth, bild.Width(), original.Width()}));
    const int height = std::max(0, std::min({areaHeight, bild.Height(), original.Height()}));

    // Differences are whole numbers far below 2^53, so an integer sum equals the double
    // sum in any order; rows are walked as stored.
    std::int64_t sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* a = bild.ScanLine(y);
        const std::uint32_t* b = original.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int difference = PictureSurface::RedOfWord(b[x]) - PictureSurface::RedOfWord(a[x]);
            sum += difference < 0 ? -difference : difference;
        }
    }
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    return pixels > 0 ? static_cast<double>(sum) / static_cast<double>(pixels) : 0.0;
}

double MeasureError(Frontend& frontend) {
    frontend.ReloadOriginal();
    frontend.SetStatus("Berechne Fehler...");
    frontend.SetReducedStatus("Originalbild");
    const double error = MeanRedDifference(frontend.Bild(), frontend.Reduced(), PictureWidth, PictureHeight);
    const std::string text = FormatG(error);
    frontend.SetStatus("Fertig!");
    frontend.SetLabel(Label::Fehler, text);
    return error;
}

}  // namespace tesora
