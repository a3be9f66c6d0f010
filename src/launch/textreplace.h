#pragma once

#include <QString>

namespace launch {

// Replaces every occurrence of search in text by replacement, case-sensitively, leftmost first,
// searching again from the first character after each replacement (so "abb" with "ab" -> "a"
// gives "a"). text is changed in place and the result returned. A pair that could never finish
// (an empty search text, or a replacement that contains the search text) is refused: text comes
// back unchanged.
QString ReplaceAll(QString &text, const QString &search, const QString &replacement);

} // namespace launch
