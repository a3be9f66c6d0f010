#include "launch/textreplace.h"

namespace launch {

QString replaceAll(QString &text, const QString &search, const QString &replacement)
{
    if (search.isEmpty() || replacement.contains(search))
        return text;
    // Each round removes the leftmost occurrence; a replacement can still form a new one with its
    // neighbours, so bound the rounds as a backstop against pathological pairs.
    constexpr int kMaxRounds = 1 << 20;
    for (int round = 0; round < kMaxRounds; ++round) {
        const qsizetype pos = text.indexOf(search, 0, Qt::CaseSensitive);
        if (pos < 0)
            break;
        text = text.left(pos) + replacement + text.mid(pos + search.size());
    }
    return text;
}

} // namespace launch
