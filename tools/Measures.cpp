// Quantisation, entropy and the measures of a reconstruction against the picture.
#include <algorithm>
#include <cmath>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "matrix/Numbers.h"
#include "matrix/Simd.h"
#include "tools/AnalysisParts.h"

namespace tesora::analysis {
namespace {

// One column of a reconstruction against the file. Whole-number sums fit 32 bits for a
// column of at most 1025 values (255^2 * 1025 < 2^31), which lets them run in vectors.
struct ColumnSums {
    long long absolute, squared, rebuilt, file;
    double exact;
};
TESORA_WIDE_VECTORS
ColumnSums MeasureColumn(const double* __restrict values, const std::uint8_t* __restrict file, int rows) {
    // In separate simple loops, each of which the compiler runs in vectors.
    std::int32_t bytes[kMaxSide], original[kMaxSide];
    for (int y = 0; y < rows; ++y) bytes[y] = ClampToByte(values[y]);
    for (int y = 0; y < rows; ++y) original[y] = file[y];
    std::int32_t a = 0, s = 0, r = 0, f = 0;
    for (int y = 0; y < rows; ++y) {
        const std::int32_t difference = bytes[y] - original[y];
        a += difference < 0 ? -difference : difference;
        s += difference * difference;
        r += bytes[y] * bytes[y];
        f += original[y] * original[y];
    }
    // Four partial sums of the doubles, y modulo 4.
    double e0 = 0, e1 = 0, e2 = 0, e3 = 0;
    int y = 0;
    for (; y + 4 <= rows; y += 4) {
        const double d0 = values[y] - original[y], d1 = values[y + 1] - original[y + 1];
        const double d2 = values[y + 2] - original[y + 2], d3 = values[y + 3] - original[y + 3];
        e0 += d0 * d0, e1 += d1 * d1, e2 += d2 * d2, e3 += d3 * d3;
    }
    double rest[4] = {e0, e1, e2, e3};
    for (; y < rows; ++y) {
        const double d = values[y] - original[y];
        rest[y & 3] += d * d;
    }
    return {a, s, r, f, (rest[0] + rest[1]) + (rest[2] + rest[3])};
}

// The mean of whole-number absolute differences over `pixels`; 0 without a pixel.
double MeanAbsolute(long long sum, long long pixels) {
    return pixels > 0 ? static_cast<double>(sum) / static_cast<double>(pixels) : 0.0;
}

// 10 log10(255^2 / MSE); +inf when nothing differs.
double Psnr(double mse) { return mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse); }

}  // namespace

Quantised Quantise(const MatrixView& square, const Layout& layout, double step, const Norms* norms,
                   const std::vector<std::uint8_t>* coded) {
    if (!(step > 0)) throw Error("Die Quantisierung braucht eine Stufe über 0.");
    Quantised result;
    result.values.resize(layout.bands.size());
    const std::vector<std::uint8_t>& counted = coded != nullptr ? *coded : layout.own;
    for (int i = 0; i < layout.side; ++i) {
        double* row = square.Row(static_cast<std::size_t>(i));
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            if (b == Layout::kNoBand) continue;
            const int k = layout.bands[b].level;
            const double weight = norms != nullptr ? norms->Weight(k, i, j) : 1.0;
            const double q = QuantIndex(row[j], weight, step);
            if (!std::isfinite(q))
                throw Error("Die Quantisierungsstufe " + FormatG(step) + " ist zu klein: ein Quotient läuft über.");
            row[j] = FromQuantUnits(WholeIndexUnits(q), weight, step);
            if (counted[e]) result.values[b].push_back(q);
        }
    }
    return result;
}

std::vector<std::vector<double>> BandRateValues(const Coefficients& square, const Layout& layout, const Norms* norms,
                                                const std::vector<std::uint8_t>* coded) {
    std::vector<std::vector<double>> values(layout.bands.size());
    const std::vector<std::uint8_t>& counted = coded != nullptr ? *coded : layout.own;
    for (int i = 0; i < layout.side; ++i)
        for (int j = 0; j < layout.side; ++j) {
            const std::size_t e = layout.Index(i, j);
            const std::uint8_t b = layout.band[e];
            if (b == Layout::kNoBand || !counted[e]) continue;
            // Weighted exactly as Quantise weighs before dividing by its step, smoothing values too.
            const double weight = norms != nullptr ? norms->Weight(layout.bands[b].level, i, j) : 1.0;
            values[b].push_back(square.values[e] * weight);
        }
    return values;
}

double EntropyBits(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto total = static_cast<double>(values.size());
    double bits = 0.0;
    for (std::size_t first = 0; first < values.size();) {
        std::size_t last = first;
        while (last < values.size() && values[last] == values[first]) ++last;
        const double p = static_cast<double>(last - first) / total;
        bits -= p * std::log2(p);
        first = last;
    }
    return bits;
}

std::vector<BandFigures> MeasureBands(const Coefficients& square, const Layout& layout, const Quantised* quantised) {
    std::vector<BandFigures> figures(layout.bands.size());
    for (std::size_t b = 0; b < figures.size(); ++b) figures[b].band = layout.bands[b];
    parts::ForEachOwn(layout, false, [&](std::uint8_t band, int i, int j) {
        BandFigures& f = figures[band];
        const double c = square.At(i, j);
        ++f.ownCount;
        f.zeros += c == 0.0;
        f.energy += c * c;
        f.maxAbs = std::max(f.maxAbs, std::fabs(c));
    });
    if (quantised != nullptr)
        for (std::size_t b = 0; b < figures.size(); ++b) {
            const std::vector<double>& q = quantised->values[b];
            figures[b].codedCount = static_cast<long long>(q.size());
            figures[b].entropyBits = static_cast<double>(q.size()) * EntropyBits(q);
        }
    return figures;
}

std::vector<std::uint8_t> ByColumns(const RedPicture& picture) {
    std::vector<std::uint8_t> columns(picture.red.size());
    const auto height = static_cast<std::size_t>(picture.height);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < static_cast<std::size_t>(picture.width); ++x)
            columns[x * height + y] = picture.red[y * static_cast<std::size_t>(picture.width) + x];
    return columns;
}

Quality Measure(const MatrixView& reconstructed, const RedPicture& picture) {
    return Measure(reconstructed, picture, ByColumns(picture));
}

Quality Measure(const MatrixView& reconstructed, const RedPicture& picture, const std::vector<std::uint8_t>& columns) {
    const int rows = TransformedRows(picture);
    // Byte differences and squares are whole numbers: their sums are exact in any order.
    long long absolute = 0, squared = 0, rebuiltEnergy = 0, fileEnergy = 0;
    double exactSquared = 0.0;
    for (int x = 0; x < picture.width; ++x) {
        const ColumnSums c = MeasureColumn(
            reconstructed.Row(static_cast<std::size_t>(x)),
            columns.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(picture.height), rows);
        absolute += c.absolute, squared += c.squared, rebuiltEnergy += c.rebuilt, fileEnergy += c.file;
        exactSquared += c.exact;
    }
    Quality quality;
    const long long pixels = static_cast<long long>(picture.width) * picture.height;
    quality.meanError = MeanAbsolute(absolute, pixels);
    const double area = static_cast<double>(picture.width) * rows;
    const double mse = static_cast<double>(squared) / area;
    quality.psnr = Psnr(mse);
    quality.psnrExact = Psnr(exactSquared / area);
    quality.energyKept =
        fileEnergy == 0 ? NAN : static_cast<double>(rebuiltEnergy) / static_cast<double>(fileEnergy) * 100.0;
    return quality;
}

double MeanRedDifference(const PictureSurface& a, const PictureSurface& b, int areaWidth, int areaHeight) {
    const int width = std::max(0, std::min({areaWidth, a.Width(), b.Width()}));
    const int height = std::max(0, std::min({areaHeight, a.Height(), b.Height()}));
    // Differences are whole numbers: an integer sum is exact in any order; rows are
    // walked as stored.
    long long sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* rowA = a.ScanLine(y);
        const std::uint32_t* rowB = b.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int difference = PictureSurface::RedOfWord(rowB[x]) - PictureSurface::RedOfWord(rowA[x]);
            sum += difference < 0 ? -difference : difference;
        }
    }
    return MeanAbsolute(sum, static_cast<long long>(width) * height);
}

std::vector<std::uint8_t> ToBytes(const MatrixView& reconstructed, const RedPicture& picture) {
    std::vector<std::uint8_t> bytes = picture.red;
    const int rows = TransformedRows(picture);
    for (int x = 0; x < picture.width; ++x) {
        const double* row = reconstructed.Row(static_cast<std::size_t>(x));
        for (int y = 0; y < rows; ++y)
            bytes[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(ClampToByte(row[y]));
    }
    return bytes;
}

double EntropyPerPixel(const std::vector<BandFigures>& bands, int width, int height) {
    double bits = 0.0;
    for (const BandFigures& band : bands) bits += band.entropyBits.value_or(0.0);
    return bits / (static_cast<double>(width) * height);
}

}  // namespace tesora::analysis
