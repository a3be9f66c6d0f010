#pragma once
// Text as a search compares it: without regard to case or accents, so that "pokemon" finds
// "Pokémon" and "E" finds "éclair".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// Each character case-folded, and a letter with accents as its base letter.
QString foldedForSearch(QStringView text);
// The same for UTF-8 (bytes that are no text kept as they are), appended to out: plain ASCII,
// nearly every ROM's name, is folded a byte at a time, in place.
void appendFoldedUtf8(QByteArrayView utf8, QByteArray &out);

} // namespace platform
