#include "preview/snapshot.h"

#include "launch/textreplace.h"
#include "platform/dirscan.h"
#include "preview/boundeddevice.h"

#include <QFile>
#include <QImageReader>

#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
#include "preview/jpegclip.h"
#endif

namespace preview {

QString snapshotPath(const QString &applicationFolder, const QString &romFileName)
{
    QString path = applicationFolder + QStringLiteral("/snap/") + romFileName;
    return launch::replaceAll(path, QStringLiteral(".nes"), QStringLiteral(".jpg"));
}

QImage loadSnapshot(const QString &path, const QSize &visible, const CancelCheck &cancelled)
{
    // Exactly the file named, opened here: given a name, Qt's reader would also try other names
    // (the name with an image suffix added) and show a picture that belongs to no ROM.
    QFile file;
    if (!platform::openRegularFile(path, file))
        return QImage();
    return decodeSnapshot(file, visible, cancelled);
}

QImage decodeSnapshot(QIODevice &file, const QSize &visible, const CancelCheck &cancelled)
{
    const QSize box = visible.expandedTo(QSize(1, 1));
#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
    {
        BoundedDevice input(file, kMaxSnapshotInput, cancelled);
        JpegOutcome outcome = JpegOutcome::Unsupported;
        QImage image = decodeJpegTopLeft(input, box, kMaxSnapshotMemory, &outcome);
        // A JPEG turned down for its size, its length or a cancel is no picture; the general
        // reader gets only what this decoder cannot do (no JPEG, or a CMYK one).
        if (outcome != JpegOutcome::Unsupported)
            return image;
    }
    if (!file.seek(0))
        return QImage();
#endif
    BoundedDevice input(file, kMaxSnapshotInput, cancelled);
    QImageReader reader(&input);
    reader.setAutoTransform(false);
    if (!reader.canRead())
        return QImage();
    const QSize size = reader.size();
    if (!size.isValid())
        return QImage();
    // What the reader may hold at once: the whole picture, and for a progressive JPEG its
    // coefficients (up to 8 bytes a pixel with four colour channels).
    const qint64 bytesPerPixel = reader.format() == "jpeg" ? 8 : 4;
    if (qint64(size.width()) * size.height() * bytesPerPixel > kMaxSnapshotMemory)
        return QImage();
    if (reader.supportsOption(QImageIOHandler::ClipRect) && (size.width() > box.width() || size.height() > box.height()))
        reader.setClipRect(QRect(QPoint(0, 0), size.boundedTo(box)));
    QImage image = reader.read();
    if (input.exceeded() || input.cancelled())
        return QImage();
    return image;
}

} // namespace preview
