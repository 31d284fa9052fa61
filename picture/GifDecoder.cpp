// GIF through giflib: the first image, which must lie inside the logical screen. Screen
// pixels outside that image and its transparent pixels show the background colour (black
// when the file names none or names the transparent index).
#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "picture/Decoding.h"

namespace tesora::decoding {
namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size, position;
};

int Read(GifFileType* gif, GifByteType* out, int length) {
    auto* source = static_cast<Source*>(gif->UserData);
    const std::size_t wanted = static_cast<std::size_t>(length);
    // A short read makes giflib fail with a read error, which is what it is.
    const std::size_t given = std::min(wanted, source->size - source->position);
    std::memcpy(out, source->data + source->position, given);
    source->position += given;
    return static_cast<int>(given);
}

struct CloseGif {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Reads the extensions up to the first image; returns the transparent index that the last
// graphic control block before it sets.
int SkipToImage(GifFileType* gif, const Target& target) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) != GIF_OK) target.Damaged();
        if (record == IMAGE_DESC_RECORD_TYPE) return transparent;
        if (record != EXTENSION_RECORD_TYPE) target.Damaged();  // the end before any image
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) != GIF_OK) target.Damaged();
        if (code == GRAPHICS_EXT_FUNC_CODE && block) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK) target.Damaged();
            transparent = control.TransparentColor;
        }
        while (block)
            if (DGifGetExtensionNext(gif, &block) != GIF_OK) target.Damaged();
    }
}

std::uint32_t Background(const GifFileType& gif, int transparent) {
    if (gif.SColorMap && gif.SBackGroundColor < gif.SColorMap->ColorCount && gif.SBackGroundColor != transparent) {
        const GifColorType& c = gif.SColorMap->Colors[gif.SBackGroundColor];
        return Rgb(c.Red, c.Green, c.Blue);
    }
    return Rgb(0, 0, 0);
}

// Reads the frame's lines into its place on the screen.
void ReadFrame(GifFileType* gif, const ColorMapObject& colours, int transparent, std::uint32_t background,
               QImage& image, const Target& target) {
    const GifImageDesc& frame = gif->Image;
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    // Interlaced frames store every 8th row from 0, every 8th from 4, every 4th from 2,
    // then every 2nd from 1.
    constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int row = frame.Interlace ? kStart[pass] : 0; row < frame.Height;
             row += frame.Interlace ? kStep[pass] : 1) {
            if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) target.Damaged();
            auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(frame.Top + row)) + frame.Left;
            for (int x = 0; x < frame.Width; ++x) {
                const int index = line[static_cast<std::size_t>(x)];
                if (index == transparent) {
                    out[x] = background;
                    continue;
                }
                if (index >= colours.ColorCount) target.Damaged();  // a pixel without a colour
                const GifColorType& c = colours.Colors[index];
                out[x] = Rgb(c.Red, c.Green, c.Blue);
            }
        }
}

}  // namespace

QImage DecodeGif(const std::uint8_t* data, std::size_t size, const Target& target) {
    Source source{data, size, 0};
    int error = 0;
    const std::unique_ptr<GifFileType, CloseGif> gif(DGifOpen(&source, Read, &error));
    if (!gif) target.Damaged();
    target.CheckSize(gif->SWidth, gif->SHeight);

    const int transparent = SkipToImage(gif.get(), target);
    if (DGifGetImageDesc(gif.get()) != GIF_OK) target.Damaged();
    const GifImageDesc& frame = gif->Image;
    // The frame's size is checked against the screen before its lines are read: a frame
    // far larger than a small screen would cost minutes for nothing shown.
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0 ||
        frame.Left + frame.Width > gif->SWidth || frame.Top + frame.Height > gif->SHeight)
        target.Damaged();
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours) target.Damaged();

    const std::uint32_t background = Background(*gif, transparent);
    QImage image = target.Allocate(gif->SWidth, gif->SHeight);
    const bool covered =
        frame.Left == 0 && frame.Top == 0 && frame.Width == gif->SWidth && frame.Height == gif->SHeight;
    if (!covered)
        for (int y = 0; y < image.height(); ++y) {
            auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            std::fill(out, out + image.width(), background);
        }
    ReadFrame(gif.get(), *colours, transparent, background, image, target);
    return image;
}

}  // namespace tesora::decoding
