#include "library/identity/romdatabase.h"

#include "platform/dirscan.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace library {

bool RomDatabase::addDat(const QByteArray &bytes, const QString &shown, QString *error)
{
    const size_t before = m_roms.size();
    m_roms.reserve(before + size_t(bytes.size() / 256)); // an entry takes some 300 bytes of either form
    QString why;
    if (!readDat(bytes, [this](DatRom &&rom) { m_roms.push_back(std::move(rom)); }, &why)) {
        m_roms.erase(m_roms.begin() + qsizetype(before), m_roms.end()); // a DAT that fails adds nothing
        if (error)
            *error = QStringLiteral("%1: %2").arg(shown, why);
        return false;
    }
    const size_t indexed = m_byCrc.size();
    for (size_t at = before; at < m_roms.size(); ++at)
        m_byCrc.push_back(quint64(m_roms[at].crc32) << 32 | quint64(at));
    std::sort(m_byCrc.begin() + qsizetype(indexed), m_byCrc.end());
    std::inplace_merge(m_byCrc.begin(), m_byCrc.begin() + qsizetype(indexed), m_byCrc.end());
    return true;
}

bool RomDatabase::addFile(const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(shown, why);
        return false;
    };
    QFile file;
    if (!platform::openRegularFile(path, file))
        return fail(QStringLiteral("it cannot be opened"));
    if (file.size() > kLargestDatFile)
        return fail(QStringLiteral("it is larger than 64 MB"));
    // Bounded again as it is read: the file may have grown since.
    const QByteArray bytes = file.read(kLargestDatFile + 1);
    if (bytes.size() > kLargestDatFile)
        return fail(QStringLiteral("it is larger than 64 MB"));
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("it could not be read: ") + file.errorString());
    return addDat(bytes, shown, error);
}

DatMatch RomDatabase::match(const RomIdentity &identity) const
{
    DatMatch found;
    if (!identity.error.isEmpty() || !identity.data.isValid())
        return found;
    const bool headered = hasNesHeader(identity);
    struct Side {
        const RomSums &sums;
        qint64 size;
        const char *what; // for the words
    };
    // Headerless first: a file with no header has only the one side.
    const Side sides[] = {{identity.data, headered ? identity.size - 16 : identity.size, headered ? " of the ROM without its header" : ""},
                          {identity.file, identity.size, " of the whole file"}};
    for (const Side &side : headered ? QList<Side>{sides[0], sides[1]} : QList<Side>{sides[0]}) {
        const quint32 crc = side.sums.crc32;
        for (auto it = std::lower_bound(m_byCrc.cbegin(), m_byCrc.cend(), quint64(crc) << 32); it != m_byCrc.cend() && (*it >> 32) == crc;
             ++it) {
            const DatRom &rom = m_roms[size_t(*it & 0xFFFFFFFFu)];
            if (rom.size >= 0 && rom.size != side.size)
                continue;
            // Every sum the entry gives must agree; one not computed is computed before it counts.
            const bool sha1Missing = !rom.sha1.isEmpty() && side.sums.sha1.isEmpty();
            const bool md5Missing = !rom.md5.isEmpty() && side.sums.md5.isEmpty();
            if ((!rom.sha1.isEmpty() && !sha1Missing && rom.sha1 != side.sums.sha1)
                || (!rom.md5.isEmpty() && !md5Missing && rom.md5 != side.sums.md5))
                continue;
            if (sha1Missing || md5Missing) {
                found.needsEverySum = true;
                continue;
            }
            if (found.entry && !found.isWeak())
                continue; // the first strong match stands
            QStringList agreed{QStringLiteral("CRC32")};
            if (rom.size >= 0)
                agreed << QStringLiteral("size");
            if (!rom.sha1.isEmpty())
                agreed << QStringLiteral("SHA-1");
            if (!rom.md5.isEmpty())
                agreed << QStringLiteral("MD5");
            const QString last = agreed.takeLast();
            found.entry = &rom;
            found.sums = agreed.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
            if (rom.sha1.isEmpty() && rom.md5.isEmpty())
                found.sums += *side.what ? QStringLiteral(" only,") : QStringLiteral(" only");
            found.sums += QLatin1String(side.what);
        }
    }
    return found;
}

} // namespace library
