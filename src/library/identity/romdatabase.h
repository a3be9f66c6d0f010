#pragma once
// ROM databases: the Logiqx XML "DAT" files that ROM sets are published as. Each rom entry names
// its game and the sums of its data; a ROM is known when both its CRC32 and its SHA-1 match one.

#include "library/identity/romidentity.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class QIODevice;

namespace library {

struct DatRom {
    QString game;   // the game's name: the ROM's clean title
    QString status; // "good" when the DAT says nothing; else its word ("baddump", "verified", ...)
    RomSums sums;
    bool isBadDump() const { return status == QLatin1String("baddump"); }
};

// A DAT file is not read past this; a larger one is reported and left out.
inline constexpr qint64 kLargestDatFile = qint64(64) * 1024 * 1024;

// Reads one DAT from device, handing each rom entry that has both sums to found. false, with
// error naming the line, when it is no well-formed Logiqx DAT; what was found before may have
// been handed on.
bool readDat(QIODevice &device, const std::function<void(DatRom &&)> &found, QString *error);

// The entries of every DAT read, looked up by sums.
class RomDatabase
{
public:
    // Reads the DAT at path; a file that fails adds nothing, and error names it and the line.
    bool addFile(const QString &path, QString *error);
    // Every "*.dat" and "*.xml" file in folder, in name order; one message per file that fails.
    void addFolder(const QString &folder, QStringList *errors);

    // The entry whose CRC32 and SHA-1 are these; null when none (a CRC32 alone is no match).
    const DatRom *find(const RomSums &sums) const;
    bool isEmpty() const { return m_roms.empty(); }
    qsizetype size() const { return qsizetype(m_roms.size()); }

private:
    std::vector<DatRom> m_roms;
    QMultiHash<quint32, qsizetype> m_byCrc;
};

} // namespace library
