#pragma once

#include <QImage>
#include <QIODevice>
#include <QSize>

namespace preview {

enum class JpegOutcome {
    Decoded,
    Unsupported, // no JPEG, or one this decoder cannot convert: another reader may try
    Refused,     // too large for memoryLimit, or its input failed or was cut short by its device
};

// Decodes only the top-left visible part of a JPEG read from input: rows below it are never
// decoded and columns right of it skip the inverse DCT and colour conversion. Refuses, before
// decoding, a picture whose decode would take more than memoryLimit bytes.
QImage decodeJpegTopLeft(QIODevice &input, const QSize &visible, qint64 memoryLimit, JpegOutcome *outcome);

} // namespace preview
