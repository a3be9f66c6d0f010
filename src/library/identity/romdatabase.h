#pragma once
// ROM databases: the DAT files that ROM sets are published as, looked up by a ROM's sums. A DAT
// may list a ROM's bytes without its 16-byte header (headerless) or with it (headered): each ROM
// is looked for both ways, in every DAT.

#include "library/identity/datfiles.h"
#include "library/identity/romidentity.h"

#include <QHash>
#include <QString>

#include <vector>

namespace library {

// A ROM found in a database, and how.
struct DatMatch {
    const DatRom *entry = nullptr;
    QString sums; // which sums agreed, in words: "CRC32, size and SHA-1 of the whole file"
    // An entry's CRC32 and size agreed, but it gives a sum that was not computed: the ROM is to
    // be summed again with every sum (WholeFileSums::Every) before it is known.
    bool needsEverySum = false;
    bool isWeak() const { return entry && entry->sha1.isEmpty() && entry->md5.isEmpty(); }
};

// The entries of every DAT read, looked up by sums.
class RomDatabase
{
public:
    // Reads one DAT's bytes; a DAT that fails adds nothing, and error names it (as shown) and why.
    bool addDat(const QByteArray &bytes, const QString &shown, QString *error);
    // Reads the DAT at path, at most kLargestDatFile bytes.
    bool addFile(const QString &path, QString *error);

    // The entry whose every given sum agrees with the ROM's data (without a header) or with the
    // whole file. A CRC32 alone is no match.
    DatMatch match(const RomIdentity &identity) const;
    bool isEmpty() const { return m_roms.empty(); }
    qsizetype size() const { return qsizetype(m_roms.size()); }

private:
    std::vector<DatRom> m_roms;
    // Each entry's CRC32 in the high half, its index in the low, sorted: a DAT of thousands of
    // entries is indexed without a piece of memory for each.
    std::vector<quint64> m_byCrc;
};

} // namespace library
