#pragma once
// Pictures found by a game's title, in folders laid out as RetroArch keeps its thumbnails:
// <folder>/Nintendo - Nintendo Entertainment System/Named_Boxarts/<title>.png, and beside it
// Named_Titles (title screens) and Named_Snaps.

#include <QString>
#include <QStringList>

namespace preview {

// The kinds of picture by title, in the order the picture box looks for them.
enum class TitlePicture { BoxArt, TitleScreen, Snap };

// The file name that layout gives title's pictures: each of &*/:`<>?\|" replaced by '_', then
// ".png". Empty for an empty title.
QString titlePictureName(const QString &title);

// Where title's pictures of the kinds from first to last may be, kind by kind and, within a
// kind, folder by folder.
QStringList titlePicturePaths(const QStringList &folders, const QString &title, TitlePicture first = TitlePicture::BoxArt,
                              TitlePicture last = TitlePicture::Snap);

} // namespace preview
