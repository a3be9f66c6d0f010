// The snapshot decoder, and the one that fits box art to a box, on any bytes: they never crash,
// and never take more memory than their cap (the runner sets libFuzzer's -malloc_limit_mb just
// above it).

#include "preview/snapshot.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv); // Qt's image readers want one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const QImage picture = preview::decodeSnapshot(file, QSize(253, 221));
    if (picture.width() > 253 || picture.height() > 221)
        std::abort(); // only the box's part is ever decoded
    const QImage fitted = preview::decodeFitted(file, QSize(140, 196));
    if (fitted.width() > 140 || fitted.height() > 196)
        std::abort(); // scaled to fit the box, whatever the picture claimed
    return 0;
}
