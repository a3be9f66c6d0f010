#include "launch/snapshot.h"

#include "launch/textreplace.h"

#include <QImageReader>

#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
#include "launch/jpegclip.h"
#endif

namespace launch {

QString SnapshotPath(const QString &applicationFolder, const QString &romFileName)
{
    QString path = applicationFolder + QStringLiteral("/snap/") + romFileName;
    return launch::ReplaceAll(path, QStringLiteral(".nes"), QStringLiteral(".jpg"));
}

QImage loadSnapshot(const QString &path, const QSize &visible)
{
#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
    if (QImage image = decodeJpegTopLeft(path, visible); !image.isNull())
        return image;
#endif
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return QImage();
    const QSize size = reader.size();
    if (size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)
        && (size.width() > visible.width() || size.height() > visible.height())) {
        reader.setClipRect(QRect(QPoint(0, 0), size.boundedTo(visible.expandedTo(QSize(1, 1)))));
    }
    return reader.read();
}

} // namespace launch
