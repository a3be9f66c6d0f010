#include "launch/snapshot.h"

#include "launch/textreplace.h"

#include <QFile>
#include <QFileInfo>
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
    // Exactly the file named, opened here: given a name, Qt's reader would also try other names
    // (the name with an image suffix added) and show a picture that belongs to no ROM.
    if (!QFileInfo(path).isFile())
        return QImage();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
    if (QImage image = decodeJpegTopLeft(file, visible); !image.isNull())
        return image;
    file.seek(0);
#endif
    QImageReader reader(&file);
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
