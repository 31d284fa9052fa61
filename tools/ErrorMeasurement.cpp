#include "tools/ErrorMeasurement.h"

#include <algorithm>
#include <cstdint>

#include "blac/State.h"
#include "matrix/Numbers.h"

namespace tesora {

double MeasureError(Frontend& frontend) {
    frontend.ReloadOriginal();
    frontend.SetStatus("Berechne Fehler...");
    frontend.SetReducedStatus("Originalbild");

    const PictureSurface& bild = frontend.Bild();
    const PictureSurface& original = frontend.Reduced();
    const int width = std::max(0, std::min({PictureWidth, bild.Width(), original.Width()}));
    const int height = std::max(0, std::min({PictureHeight, bild.Height(), original.Height()}));

    // Differences are whole numbers far below 2^53, so an integer sum equals the double
    // sum in any order; rows are walked as stored.
    std::int64_t sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* a = bild.ScanLine(y);
        const std::uint32_t* b = original.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int difference = static_cast<int>((b[x] >> 16) & 0xFFu) - static_cast<int>((a[x] >> 16) & 0xFFu);
            sum += difference < 0 ? -difference : difference;
        }
    }
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    const double error = pixels > 0 ? static_cast<double>(sum) / static_cast<double>(pixels) : 0.0;

    const std::string text = FormatG(error);
    frontend.SetStatus("Fertig!");
    frontend.SetLabel(Label::Fehler, text);
    return error;
}

}  // namespace tesora
