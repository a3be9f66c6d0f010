#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace preview {

// Whatever a snapshot file claims, its decode takes no more memory than this, and no more of the
// file is read; past either the box stays blank.
inline constexpr qint64 kMaxSnapshotMemory = 64 * 1024 * 1024;
inline constexpr qint64 kMaxSnapshotInput = 64 * 1024 * 1024;

// Application folder, "/snap/" and the ROM's file name joined, every ".nes" in the file name
// replaced by ".jpg" (case-sensitively).
QString snapshotPath(const QString &applicationFolder, const QString &romFileName);
// Every snapshot a ROM may have, in the order looked for: the rule above first; then the name
// with its extension, in any case, replaced by ".jpg" ("Game.NES": snap/Game.jpg); then both
// with ".png" (as emulators save them). A ROM in a subfolder ("USA/Game.nes") is looked for
// by its path below the ROM folder, then by its name alone.
QStringList snapshotPaths(const QString &applicationFolder, const QString &romFileName);
// An archive's own: its name with the extension replaced by ".jpg" ("game.zip": snap/game.jpg).
QString archiveSnapshotPath(const QString &applicationFolder, const QString &archiveFileName);

// Asked between reads; true stops the decode (a newer selection has overtaken it).
using CancelCheck = std::function<bool()>;

// The picture stored at path, decoded only as far as the visible top-left area needs: the box
// shows a picture at its own size, cut at its edges. A null image when the file is missing, is no
// picture, would pass the limits above, or the decode was cancelled.
QImage loadSnapshot(const QString &path, const QSize &visible, const CancelCheck &cancelled = {});

// The same from an open device: a JPEG through the clipping decoder, anything else through Qt's
// reader, both within the limits above.
QImage decodeSnapshot(QIODevice &file, const QSize &visible, const CancelCheck &cancelled = {});

// The picture at path scaled to fit a box of size box whole, its shape kept, never enlarged: box
// art and title screens, which are larger than the box. Read through Qt's reader within the
// limits above; a null image as for a snapshot.
QImage loadFitted(const QString &path, const QSize &box, const CancelCheck &cancelled = {});
QImage decodeFitted(QIODevice &file, const QSize &box, const CancelCheck &cancelled = {});

} // namespace preview
