#include "library/romcache.h"

#include "platform/cachefiles.h"
#include "platform/dirscan.h"
#include "platform/filenames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace library {

namespace {

const QString kNoteName = QStringLiteral(".quorvane-rom");
const QString kTemporaryPrefix = QStringLiteral(".unpacking-");
constexpr qint64 kLargestNote = 4096;

// What a game folder's note says Quorvane wrote there.
struct Note {
    QByteArray name;
    qint64 size = -1;
    quint32 crc32 = 0;
    qint64 modified = -1; // the ROM's time as Quorvane wrote and checked it; -1 when unknown
    QDateTime used;
};

// The note's time (the ROM's last launch) is read only when trimming asks for it.
bool readNote(const QString &folder, Note *note, bool withTime = false)
{
    const QString path = QDir(folder).filePath(kNoteName);
    QFile file;
    if (platform::entryKind(path) != platform::EntryKind::File || !platform::openRegularFile(path, file))
        return false;
    const QList<QByteArray> lines = file.read(kLargestNote).split('\n');
    bool sized = false, summed = false;
    if (lines.size() < 3)
        return false;
    note->name = lines[0];
    note->size = lines[1].toLongLong(&sized);
    note->crc32 = lines[2].toUInt(&summed, 16);
    bool timed = false;
    note->modified = lines.size() > 3 ? lines[3].toLongLong(&timed) : -1;
    if (!timed)
        note->modified = -1;
    if (withTime)
        note->used = QFileInfo(path).lastModified();
    return sized && summed && !note->name.isEmpty() && entryNameProblem(note->name).isEmpty()
           && !note->name.contains('/') && !note->name.contains('\\');
}

bool isGameFolderName(const QString &name)
{
    return name.size() == 40 && std::all_of(name.cbegin(), name.cend(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
           });
}

quint32 crcOfFile(const QString &path, qint64 size, bool *ok)
{
    QFile file;
    *ok = false;
    if (!platform::openRegularFile(path, file) || file.size() != size)
        return 0;
    char buffer[64 * 1024]; // on the stack: a launch's thread is new, and a heap block of its own costs more
    uLong crc = crc32(0, nullptr, 0);
    for (qint64 n; (n = file.read(buffer, sizeof buffer)) > 0;)
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer), uInt(n));
    *ok = file.error() == QFileDevice::NoError;
    return quint32(crc);
}

// Writes bytes to path whole, or not at all.
bool writeWhole(QFile &file, QByteArrayView bytes, QString *error)
{
    if (file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush())
        return true;
    *error = file.errorString();
    return false;
}

} // namespace

const QString RomCache::kMarkerName = QStringLiteral("QUORVANE-CACHE.txt");

RomCache::RomCache(const QString &folder, qint64 capBytes) : m_folder(QDir::cleanPath(folder)), m_cap(capBytes) {}

bool RomCache::open(QString *error, Leftovers leftovers)
{
    const QString where = QDir::toNativeSeparators(m_folder);
    const QString marker = QDir(m_folder).filePath(kMarkerName);
    if (platform::entryKind(m_folder) == platform::EntryKind::Missing && !QDir().mkpath(m_folder)) {
        *error = QStringLiteral("The folder %1 cannot be made.").arg(where);
        return false;
    }
    if (platform::entryKind(m_folder) != platform::EntryKind::Folder) {
        *error = QStringLiteral("%1 is no folder of Quorvane's (a link or a file stands there).").arg(where);
        return false;
    }
    if (platform::entryKind(marker) != platform::EntryKind::File) {
        // A folder that holds anything at all is someone else's: nothing is written or deleted there.
        if (!QDir(m_folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            *error = QStringLiteral("%1 holds files that Quorvane did not put there, so it unpacks nothing there.").arg(where);
            return false;
        }
        QFile file(marker);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
            || !writeWhole(file, "Quorvane unpacks zipped ROMs here for the emulator. It deletes only the ROMs it\n"
                                 "unpacked; what the emulator writes beside them (saves) is yours and stays.\n",
                           error)) {
            *error = QStringLiteral("%1 cannot be written: %2").arg(where, file.errorString());
            return false;
        }
    }
    if (leftovers == Leftovers::Keep)
        return true;
    // Unpacks that a crash or a kill ended: their temporary files, each named by the process that
    // wrote it, once that process is gone.
    const QStringList unfinished = QDir(m_folder).entryList({kTemporaryPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : unfinished) {
        const qint64 pid = name.mid(kTemporaryPrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
        const QString path = QDir(m_folder).filePath(name);
        if (!platform::isProcessRunning(pid) && platform::entryKind(path) == platform::EntryKind::File)
            QFile::remove(path);
    }
    return true;
}

QString RomCache::gameFolder(const RomSums &data) const { return QDir(m_folder).filePath(QString::fromLatin1(data.sha1.toHex())); }

QString RomCache::temporaryName() const
{
    return QDir(m_folder).filePath(QStringLiteral("%1%2-%3.tmp")
                                       .arg(kTemporaryPrefix)
                                       .arg(platform::processId())
                                       .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
}

bool RomCache::isCached(const QString &folder, const ArchiveEntry &entry) const
{
    Note note;
    if (!readNote(folder, &note) || note.name != entry.fileName() || note.size != entry.size || note.crc32 != entry.crc32)
        return false;
    const QString file = QDir(folder).filePath(platform::fromUtf8Lossless(note.name));
    if (platform::entryKind(file) != platform::EntryKind::File)
        return false;
    // Unchanged since Quorvane wrote and checked it (its size and time as then): its sum is known,
    // as the library database knows a ROM file's. Otherwise it is summed again.
    const platform::FileStamp stamp = platform::fileStamp(folder, note.name);
    if (note.modified >= 0 && stamp.size == note.size && stamp.modified == note.modified)
        return true;
    bool ok = false;
    return crcOfFile(file, note.size, &ok) == note.crc32 && ok;
}

bool RomCache::writeNote(const QString &folder, const ArchiveEntry &entry, qint64 romModified, QString *error) const
{
    const QString temporary = temporaryName();
    QFile file(temporary);
    const QByteArray text = entry.fileName() + '\n' + QByteArray::number(entry.size) + '\n'
                            + QByteArray::number(entry.crc32, 16) + '\n' + QByteArray::number(romModified) + '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !writeWhole(file, text, error)) {
        if (error->isEmpty())
            *error = file.errorString();
        file.remove();
        return false;
    }
    file.close();
    if (!platform::moveOver(temporary, QDir(folder).filePath(kNoteName), error)) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}

void RomCache::markUsed(const QString &folder) const
{
    // Its time alone: a failure only ages it, so that it is trimmed a little sooner.
    QFile note(QDir(folder).filePath(kNoteName));
    if (note.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        note.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

RomCache::Unpacked RomCache::unpack(const QString &archivePath, ArchiveEntry &entry)
{
    Unpacked result;
    const QString name = platform::fromUtf8Lossless(entry.fileName());
    // Known from an earlier unpack: the file is looked for before the archive is opened.
    if (entry.isRead()) {
        const QString folder = gameFolder(entry.data);
        if (isCached(folder, entry)) {
            markUsed(folder);
            result.file = QDir(folder).filePath(name);
            return result;
        }
    }
    const QString temporary = temporaryName();
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        result.error = QStringLiteral("The ROM cache %1 cannot be written: %2").arg(QDir::toNativeSeparators(m_folder), file.errorString());
        return result;
    }
    QString writeError;
    const QString problem = readArchiveEntry(archivePath, entry, [&](QByteArrayView piece) { return writeWhole(file, piece, &writeError); });
    file.close();
    if (!problem.isEmpty() || file.error() != QFileDevice::NoError) {
        file.remove();
        result.error = !writeError.isEmpty()
                           ? QStringLiteral("The ROM cache %1 cannot be written: %2").arg(QDir::toNativeSeparators(m_folder), writeError)
                           : QStringLiteral("%1 cannot be used: %2.").arg(QDir::toNativeSeparators(archivePath), problem);
        return result;
    }
    const QString folder = gameFolder(entry.data);
    const QString target = QDir(folder).filePath(name);
    const platform::EntryKind folderKind = platform::entryKind(folder);
    QString error;
    Note note;
    if (folderKind == platform::EntryKind::Missing && !QDir().mkdir(folder)) {
        error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
    } else if (folderKind != platform::EntryKind::Missing && folderKind != platform::EntryKind::Folder) {
        error = QStringLiteral("%1 is no folder of Quorvane's").arg(QDir::toNativeSeparators(folder));
    } else if (platform::entryKind(target) != platform::EntryKind::Missing
               && !(readNote(folder, &note) && note.name == entry.fileName() && platform::entryKind(target) == platform::EntryKind::File)) {
        // Something Quorvane did not write has the name: the user's, and never replaced.
        error = QStringLiteral("%1 holds a file that Quorvane did not write").arg(QDir::toNativeSeparators(target));
    } else if (writeNote(folder, entry, platform::fileStamp(m_folder, platform::toUtf8Lossless(QFileInfo(temporary).fileName())).modified,
                         &error)) { // the note first: a ROM there is always one it names; a rename keeps its time
        platform::moveOver(temporary, target, &error);
    }
    if (platform::entryKind(temporary) != platform::EntryKind::Missing) {
        QFile::remove(temporary);
        result.error = QStringLiteral("The ROM cache %1 cannot be written: %2").arg(QDir::toNativeSeparators(m_folder), error);
        return result;
    }
    result.file = target;
    return result;
}

std::vector<RomCache::Game> RomCache::games() const
{
    std::vector<Game> games;
    const QStringList folders = QDir(m_folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : folders) {
        const QString folder = QDir(m_folder).filePath(name);
        Note note;
        if (!isGameFolderName(name) || platform::entryKind(folder) != platform::EntryKind::Folder || !readNote(folder, &note, true))
            continue;
        const QString rom = QDir(folder).filePath(platform::fromUtf8Lossless(note.name));
        if (platform::entryKind(rom) == platform::EntryKind::File)
            games.push_back({folder, rom, note.size, note.used});
    }
    return games;
}

qint64 RomCache::usedBytes() const
{
    qint64 used = 0;
    for (const Game &game : games())
        used += game.size;
    return used;
}

void RomCache::trim(const QString &keepFolder)
{
    if (platform::entryKind(QDir(m_folder).filePath(kMarkerName)) != platform::EntryKind::File)
        return; // not Quorvane's: nothing in it is deleted
    std::vector<Game> games = this->games();
    qint64 used = 0;
    for (const Game &game : games)
        used += game.size;
    std::sort(games.begin(), games.end(), [](const Game &a, const Game &b) { return a.used < b.used; });
    const QString kept = keepFolder.isEmpty() ? QString() : QDir::cleanPath(keepFolder);
    for (const Game &game : games) {
        if (used <= m_cap)
            break;
        if (QDir::cleanPath(game.folder) == kept)
            continue;
        // The ROM and the note are Quorvane's; the folder goes only when nothing else is in it.
        if (QFile::remove(game.rom))
            used -= game.size;
        QFile::remove(QDir(game.folder).filePath(kNoteName));
        QDir(m_folder).rmdir(QFileInfo(game.folder).fileName());
    }
}

} // namespace library
