// The snapshot decoder on any bytes: it never crashes, and never takes more memory than its cap
// (the runner sets libFuzzer's -malloc_limit_mb just above it).

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
    return 0;
}
