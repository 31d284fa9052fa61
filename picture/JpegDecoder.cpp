// JPEG through libjpeg. Its warnings (corrupt data, a premature end) end the decode like
// its errors, and a progressive file may hold only so many scans: each scan walks every
// block of the picture, so a small file of empty scans could otherwise take minutes.
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <memory>
#include <vector>

#include "picture/Decoding.h"

namespace tesora::decoding {
namespace {

// Encoders write about ten scans; a hundred leaves room for unusual but honest files.
constexpr int kMaxScans = 100;
// Beyond the picture itself: the coefficient buffer of a progressive file and the
// decoder's tables.
constexpr long kMaxDecoderMemory = 96L << 20;

// On the heap for the same reason as in the PNG reader: longjmp skips destructors.
struct JpegState {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    bool created = false;
    QImage image;
    std::vector<JSAMPLE> row;
    ~JpegState() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

JpegState* StateOf(j_common_ptr info) { return static_cast<JpegState*>(info->client_data); }

[[noreturn]] void Fail(j_common_ptr info) { std::longjmp(StateOf(info)->jump, 1); }
void Message(j_common_ptr info, int level) {
    if (level < 0) std::longjmp(StateOf(info)->jump, 1);  // a warning: damaged data
}
void Quiet(j_common_ptr) {}
void Progress(j_common_ptr info) {
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) std::longjmp(StateOf(info)->jump, 1);
}

}  // namespace

QImage DecodeJpeg(const std::uint8_t* data, std::size_t size, const Target& target) {
    const auto state = std::make_unique<JpegState>();
    jpeg_decompress_struct& info = state->info;
    info.err = jpeg_std_error(&state->errors);
    state->errors.error_exit = Fail;
    state->errors.emit_message = Message;
    state->errors.output_message = Quiet;
    info.client_data = state.get();
    if (setjmp(state->jump)) target.Damaged();
    jpeg_create_decompress(&info);
    state->created = true;
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    state->progress.progress_monitor = Progress;
    info.progress = &state->progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) target.Damaged();
    target.CheckSize(info.image_width, info.image_height);

    // The library's exact decoding (integer transform, smooth upsampling). CMYK files
    // are converted here, as Adobe writes them (inverted), since the library does not.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (!cmyk && info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
        info.jpeg_color_space != JCS_RGB)
        target.Unreadable();
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&info);
    if (info.output_width != info.image_width || info.output_height != info.image_height || info.output_components != 4)
        target.Unreadable();

    state->image = target.Allocate(info.output_width, info.output_height);
    if (cmyk) state->row.resize(std::size_t{info.output_width} * 4);
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW line = cmyk ? state->row.data() : state->image.scanLine(y);
        if (jpeg_read_scanlines(&info, &line, 1) != 1) target.Damaged();
        if (cmyk) {
            auto* out = reinterpret_cast<std::uint32_t*>(state->image.scanLine(y));
            const JSAMPLE* in = state->row.data();
            for (JDIMENSION x = 0; x < info.output_width; ++x, in += 4)
                out[x] = Rgb(in[3] * in[0] / 255u, in[3] * in[1] / 255u, in[3] * in[2] / 255u);
        }
    }
    jpeg_finish_decompress(&info);  // up to the end marker: damage after the pixels counts too
    return std::move(state->image);
}

}  // namespace tesora::decoding
