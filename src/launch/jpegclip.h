#pragma once

#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

namespace launch {

// Decodes only the top-left visible part of a JPEG file: rows below it are never decoded and
// columns right of it skip the inverse DCT and colour conversion. A null image when the file is
// no JPEG this decoder handles (the caller then falls back to the general reader). Reads from
// the open file at its start; the file's own position is left alone.
QImage decodeJpegTopLeft(QFile &file, const QSize &visible);

} // namespace launch
