#include "preview/jpegclip.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace preview {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1); }
void onMessage(j_common_ptr, int) {} // warnings about damaged data are no business of the user

// libjpeg reads through this from the device. A failed read (the input's limit passed, or the
// decode cancelled) ends the decode; the end of the input ends the picture as a damaged one.
struct Source {
    jpeg_source_mgr base;
    QIODevice *device;
    JOCTET *buffer;
    size_t capacity;
    bool inputFailed;
};

constexpr JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

boolean fillInput(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<Source *>(info->src);
    const qint64 got = source->device->read(reinterpret_cast<char *>(source->buffer), qint64(source->capacity));
    if (got < 0) {
        source->inputFailed = true;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    if (got == 0) {
        source->base.next_input_byte = kEndOfImage;
        source->base.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = size_t(got);
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count)
{
    jpeg_source_mgr *source = info->src;
    while (count > long(source->bytes_in_buffer)) {
        count -= long(source->bytes_in_buffer);
        fillInput(info);
    }
    if (count > 0) {
        source->next_input_byte += count;
        source->bytes_in_buffer -= size_t(count);
    }
}

void noOperation(j_decompress_ptr) {}

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kOutput = JCS_EXT_BGRA; // 0xAARRGGBB in memory order
#else
constexpr J_COLOR_SPACE kOutput = JCS_EXT_ARGB;
#endif

// The coefficients a multi-scan (progressive) picture holds for its whole area until its last
// scan: 64 two-byte values for every 8 x 8 block of every component.
qint64 coefficientBytes(const jpeg_decompress_struct &info)
{
    qint64 blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += qint64(info.comp_info[c].width_in_blocks + 2) * (info.comp_info[c].height_in_blocks + 2);
    return blocks * DCTSIZE2 * qint64(sizeof(JCOEF));
}

// Plain C-style work between setjmp and longjmp: only trivially destructible locals live here.
JpegOutcome decode(Source *source, int maxWidth, int maxHeight, qint64 memoryLimit, QImage *image)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    volatile bool tooLarge = false; // set after setjmp, read after longjmp
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return source->inputFailed || tooLarge ? JpegOutcome::Refused : JpegOutcome::Unsupported;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = long(memoryLimit); // no backing store: past it the decode fails
    info.src = &source->base;
    jpeg_read_header(&info, TRUE);
    if (jpeg_has_multiple_scans(&info) && coefficientBytes(info) > memoryLimit) {
        tooLarge = true;
        errors.base.error_exit(reinterpret_cast<j_common_ptr>(&info));
    }
    info.out_color_space = kOutput;
    jpeg_start_decompress(&info);
    JDIMENSION xOffset = 0;
    JDIMENSION width = std::min<JDIMENSION>(JDIMENSION(maxWidth), info.output_width);
    const int shownWidth = int(width);
    if (width < info.output_width)
        jpeg_crop_scanline(&info, &xOffset, &width); // may widen to a whole block; we keep shownWidth
    const int rows = std::min(maxHeight, int(info.output_height));
    *image = QImage(shownWidth, rows, QImage::Format_RGB32);
    if (image->isNull()) {
        tooLarge = true;
        errors.base.error_exit(reinterpret_cast<j_common_ptr>(&info));
    }
    JSAMPLE *buffer = static_cast<JSAMPLE *>(
        (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, width * 4, 1)[0]);
    for (int y = 0; y < rows; ++y) {
        JSAMPROW row = buffer;
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        std::copy_n(buffer, size_t(shownWidth) * 4, image->scanLine(y)); // xOffset stays 0
    }
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    return JpegOutcome::Decoded;
}

} // namespace

QImage decodeJpegTopLeft(QIODevice &input, const QSize &visible, qint64 memoryLimit, JpegOutcome *outcome)
{
    char magic[3] = {};
    if (input.read(magic, 3) != 3 || static_cast<unsigned char>(magic[0]) != 0xFF
        || static_cast<unsigned char>(magic[1]) != 0xD8 || static_cast<unsigned char>(magic[2]) != 0xFF || !input.seek(0)) {
        *outcome = JpegOutcome::Unsupported;
        return QImage();
    }
    // Large reads: a large snapshot's top rows come in a few reads instead of hundreds.
    std::vector<JOCTET> buffer(256 * 1024);
    Source source{};
    source.base.init_source = noOperation;
    source.base.fill_input_buffer = fillInput;
    source.base.skip_input_data = skipInput;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = noOperation;
    source.device = &input;
    source.buffer = buffer.data();
    source.capacity = buffer.size();
    QImage image;
    *outcome = decode(&source, std::max(1, visible.width()), std::max(1, visible.height()), memoryLimit, &image);
    if (*outcome != JpegOutcome::Decoded)
        image = QImage();
    return image;
}

} // namespace preview
