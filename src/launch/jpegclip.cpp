#include "launch/jpegclip.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <unistd.h>

namespace launch {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1); }
void onMessage(j_common_ptr, int) {} // warnings about damaged data are no business of the user

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kOutput = JCS_EXT_BGRA; // 0xAARRGGBB in memory order
#else
constexpr J_COLOR_SPACE kOutput = JCS_EXT_ARGB;
#endif

// Plain C-style work between setjmp and longjmp: only trivially destructible locals live here.
bool decode(std::FILE *file, int maxWidth, int maxHeight, QImage *image)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = kOutput;
    jpeg_start_decompress(&info);
    JDIMENSION xOffset = 0;
    JDIMENSION width = std::min<JDIMENSION>(JDIMENSION(maxWidth), info.output_width);
    const int shownWidth = int(width);
    if (width < info.output_width)
        jpeg_crop_scanline(&info, &xOffset, &width); // may widen to a whole block; we keep shownWidth
    const int rows = std::min(maxHeight, int(info.output_height));
    *image = QImage(shownWidth, rows, QImage::Format_RGB32);
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
    return true;
}

} // namespace

QImage decodeJpegTopLeft(QFile &opened, const QSize &visible)
{
    // A stream of its own over the same open file: the very file the caller opened, nothing
    // looked up by name again.
    const int fd = ::dup(opened.handle());
    std::FILE *file = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        return QImage();
    }
    // libjpeg asks for 4 KB at a time; a larger stdio buffer turns a large snapshot's top rows
    // into a few reads instead of hundreds.
    std::setvbuf(file, nullptr, _IOFBF, 256 * 1024);
    unsigned char magic[3] = {};
    QImage image;
    const bool isJpeg = std::fread(magic, 1, 3, file) == 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
    if (isJpeg && std::fseek(file, 0, SEEK_SET) == 0
        && !decode(file, std::max(1, visible.width()), std::max(1, visible.height()), &image))
        image = QImage();
    std::fclose(file);
    return isJpeg ? image : QImage();
}

} // namespace launch
