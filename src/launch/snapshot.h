#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace launch {

// Application folder, "/snap/" and the ROM's file name joined as they stand, then every ".nes" in
// the whole path replaced by ".jpg" (case-sensitively).
QString SnapshotPath(const QString &applicationFolder, const QString &romFileName);

// The picture stored at path, decoded only as far as the visible top-left area needs: the box
// shows a picture at its own size, cut at its edges. A null image when the file is missing or is
// no picture.
QImage loadSnapshot(const QString &path, const QSize &visible);

} // namespace launch
