#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace launch {

// Decodes only the top-left visible part of a JPEG file: rows below it are never decoded and
// columns right of it skip the inverse DCT and colour conversion. A null image when the file is
// no JPEG this decoder handles (the caller then falls back to the general reader).
QImage decodeJpegTopLeft(const QString &path, const QSize &visible);

} // namespace launch
