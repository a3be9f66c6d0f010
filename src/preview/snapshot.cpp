#include "preview/snapshot.h"

#include "launch/textreplace.h"
#include "platform/dirscan.h"
#include "preview/boundeddevice.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#ifdef QUORVANE_HAVE_LIBJPEG_TURBO
#include "preview/jpegclip.h"
#endif

namespace preview {

namespace {

// Qt's reader gets the file in memory: at most this much of it, and the rest of the memory cap.
constexpr qint64 kMaxFallbackInput = 16 * 1024 * 1024;
constexpr qint64 kReadPiece = 1024 * 1024;

// The kinds of picture a snapshot may be besides a JPEG the clipping decoder takes.
const QList<QByteArray> kFallbackFormats{"jpeg", "png", "bmp", "gif"};

// A PNG whose chunks claim more bytes than the file holds makes its reader allocate what they
// claim (160 MB for a 260-byte file): such a file is no picture. Other kinds pass.
bool plausible(const QByteArray &bytes)
{
    static const QByteArray pngSignature("\x89PNG\r\n\x1A\n", 8);
    if (!bytes.startsWith(pngSignature))
        return true;
    for (qsizetype at = pngSignature.size(); at + 8 <= bytes.size();) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        if (length > quint32(bytes.size() - at - 8))
            return false;
        if (bytes.mid(at + 4, 4) == "IEND")
            return true;
        at += 12 + qsizetype(length); // length, type, data, CRC
    }
    return true;
}

// What decoding a picture takes room for: the reader's size, and for a GIF at least its logical
// screen, which Qt's reader allocates whole whatever size its frames claim.
QSize decodedSize(const QByteArray &bytes, const QByteArray &format, const QSize &size)
{
    if (format != "gif" || bytes.size() < 10)
        return size;
    return size.expandedTo(QSize(qFromLittleEndian<quint16>(bytes.constData() + 6), qFromLittleEndian<quint16>(bytes.constData() + 8)));
}

enum class Shown { TopLeft, Fitted };

// Qt's reader gets the bytes from memory, after a check of what they claim: a reader allocates
// what a header declares before it reads. shown: the box's top-left part of the picture, or all
// of it scaled to fit the box.
QImage readBounded(QIODevice &file, const QSize &box, Shown shown, const CancelCheck &cancelled)
{
    // Read a piece at a time: readAll() would make room for all the file claims to hold, and
    // stop short of the read that tells the cap was passed.
    BoundedDevice input(file, kMaxFallbackInput, cancelled);
    QByteArray bytes;
    for (QByteArray piece; !(piece = input.read(kReadPiece)).isEmpty();)
        bytes += piece;
    if (input.exceeded() || input.cancelled() || !plausible(bytes))
        return QImage();
    QBuffer memory(&bytes);
    memory.open(QIODevice::ReadOnly);
    QImageReader reader(&memory);
    reader.setAutoTransform(false);
    if (!reader.canRead() || !kFallbackFormats.contains(reader.format()))
        return QImage();
    const QSize size = reader.size();
    if (size.isEmpty())
        return QImage();
    const QSize decoded = decodedSize(bytes, reader.format(), size);
    // What the reader may hold at once: the whole picture, and for a progressive JPEG its
    // coefficients (up to 8 bytes a pixel with four colour channels).
    const qint64 bytesPerPixel = reader.format() == "jpeg" ? 8 : 4;
    if (qint64(decoded.width()) * decoded.height() * bytesPerPixel > kMaxSnapshotMemory - kMaxFallbackInput)
        return QImage();
    if (shown == Shown::Fitted) {
        const QSize fitted = size.scaled(box, Qt::KeepAspectRatio).boundedTo(size).expandedTo(QSize(1, 1));
        if (reader.format() == "jpeg" && fitted != size)
            reader.setScaledSize(fitted); // scaled as it is decoded
        const QImage image = reader.read();
        return image.size().boundedTo(fitted) == image.size() ? image
                                                               : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    const QRect clip(QPoint(0, 0), size.boundedTo(box));
    if (reader.supportsOption(QImageIOHandler::ClipRect) && clip.size() != size)
        reader.setClipRect(clip);
    // A reader without a clip (GIF), or one whose picture is larger than its header claimed, still
    // hands on no more than the box shows.
    const QImage image = reader.read();
    const QSize kept = image.size().boundedTo(box);
    return kept == image.size() ? image : image.copy(QRect(QPoint(0, 0), kept));
}

} // namespace

QString snapshotPath(const QString &applicationFolder, const QString &romFileName)
{
    // In the name only: a folder of the path that holds ".nes" is where the snapshots are.
    QString name = romFileName;
    return applicationFolder + QStringLiteral("/snap/") + launch::replaceAll(name, QStringLiteral(".nes"), QStringLiteral(".jpg"));
}

QStringList snapshotPaths(const QString &applicationFolder, const QString &romFileName)
{
    const QString folder = applicationFolder + QStringLiteral("/snap/");
    const QString name = romFileName.mid(romFileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    QStringList paths{snapshotPath(applicationFolder, romFileName), folder + base + QStringLiteral(".jpg")};
    QString png = romFileName;
    paths << folder + launch::replaceAll(png, QStringLiteral(".nes"), QStringLiteral(".png")) << folder + base + QStringLiteral(".png");
    paths.removeDuplicates();
    if (romFileName.isEmpty())
        paths = QStringList{folder};
    return paths;
}

QString archiveSnapshotPath(const QString &applicationFolder, const QString &archiveFileName)
{
    return applicationFolder + QStringLiteral("/snap/") + QFileInfo(archiveFileName).completeBaseName() + QStringLiteral(".jpg");
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
    return readBounded(file, box, Shown::TopLeft, cancelled);
}

QImage loadFitted(const QString &path, const QSize &box, const CancelCheck &cancelled)
{
    QFile file;
    if (!platform::openRegularFile(path, file))
        return QImage();
    return decodeFitted(file, box, cancelled);
}

QImage decodeFitted(QIODevice &file, const QSize &box, const CancelCheck &cancelled)
{
    return readBounded(file, box.expandedTo(QSize(1, 1)), Shown::Fitted, cancelled);
}

} // namespace preview
