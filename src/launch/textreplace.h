#pragma once

#include <QString>

namespace launch {

// Replaces every occurrence of search in text by replacement, case-sensitively, leftmost first,
// searching again from the start of the text after each replacement, so that a replacement that
// forms a new occurrence with its neighbours is replaced too ("aabb" with "ab" -> "" gives "").
// text is changed in place and the result returned. A pair that could never finish (an empty
// search text, or a replacement that contains the search text) is refused: text comes back
// unchanged. It runs to the end without yielding to the event loop: a preview that ran inside it
// for a newer selection once left the older selection's picture on screen.
QString replaceAll(QString &text, const QString &search, const QString &replacement);

} // namespace launch
