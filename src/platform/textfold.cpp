#include "platform/textfold.h"

#include "platform/filenames.h"

#include <algorithm>

namespace platform {

QString foldedForSearch(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toString().toLower(); // plain ASCII: nothing to decompose
    // Decomposed, an accented letter is its base letter and marks that carry the accents; case
    // folding comes between two decompositions, since each may give what the other changes
    // (the sign for TEL decomposes into capitals; a capital I with a dot folds into i and a mark).
    const QString decomposed = text.toString()
                                   .normalized(QString::NormalizationForm_KD)
                                   .toCaseFolded()
                                   .normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded += c;
    }
    return folded;
}

void appendFoldedUtf8(QByteArrayView utf8, QByteArray &out)
{
    const qsizetype at = out.size();
    out.resize(at + utf8.size()); // within what the caller reserved, no allocation
    char *to = out.data() + at;
    for (const char c : utf8) {
        if (uchar(c) >= 0x80) {
            out.truncate(at);
            out += toUtf8Lossless(foldedForSearch(fromUtf8Lossless(utf8)));
            return;
        }
        *to++ = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    }
}

} // namespace platform
