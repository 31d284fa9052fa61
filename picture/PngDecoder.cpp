// PNG through libpng. Its warnings, benign errors and ancillary CRC errors all end the
// decode: a reader that complains may have left rows out or filled them with guesses.
#include <png.h>

#include <cstring>
#include <memory>
#include <vector>

#include "picture/Decoding.h"

namespace tesora::decoding {
namespace {

// Lives on the heap: libpng returns to the setjmp point by longjmp, which skips
// destructors; what must be freed hangs on this one pointer, made before setjmp.
struct PngState {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0, position = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    QImage image;
    std::vector<png_bytep> rows;
    ~PngState() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Warn(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void Read(png_structp png, png_bytep out, std::size_t length) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (state->size - state->position < length) png_error(png, "end of data");
    std::memcpy(out, state->data + state->position, length);
    state->position += length;
}

// Ancillary chunks whose contents are never used: skipped with their CRC checked, so a
// chunk that claims gigabytes costs no memory.
constexpr png_byte kSkipped[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0hIST\0";

}  // namespace

QImage DecodePng(const std::uint8_t* data, std::size_t size, const Target& target) {
    const auto state = std::make_unique<PngState>();
    state->data = data;
    state->size = size;
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Warn);
    if (!state->png) throw std::bad_alloc();
    state->info = png_create_info_struct(state->png);
    if (!state->info) throw std::bad_alloc();
    png_structp png = state->png;
    png_infop info = state->info;
    if (setjmp(png_jmpbuf(png))) target.Damaged();

    png_set_read_fn(png, state.get(), Read);
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(png, 0);
    // The size limits are the program's own, checked below with their own messages.
    png_set_user_limits(png, PNG_USER_WIDTH_MAX, PNG_USER_HEIGHT_MAX);
    png_set_chunk_malloc_max(png, 8 << 20);
    png_set_chunk_cache_max(png, 128);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, 7);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    target.CheckSize(width, height);

    // To 8-bit blue, green, red, 0xFF in memory, which is RGB32. Pixels as stored: no gamma
    // or colour profile applied; transparency is dropped, the colours behind it kept.
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if ((colour & PNG_COLOR_MASK_COLOR) == 0 && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (depth == 16) png_set_scale_16(png);  // rounds: 65535 gives 255, 32896 gives 128
    if ((colour & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    if (colour & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * 4 || png_get_bit_depth(png, info) != 8) target.Unreadable();

    state->image = target.Allocate(width, height);
    state->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) state->rows[y] = state->image.scanLine(static_cast<int>(y));
    png_read_image(png, state->rows.data());
    // The chunks after the pixels too: an extra byte of pixel data or a damaged chunk
    // there says the file is not what it claims.
    png_read_end(png, nullptr);
    return std::move(state->image);
}

}  // namespace tesora::decoding
