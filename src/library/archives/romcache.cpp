#include "library/archives/romcache.h"

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
constexpr qint64 kLargestNote = 64 * 1024;
// One game under more names than this (one per archive that holds it) is refused a new one: its
// note stays small and is read in one go.
constexpr size_t kNamesPerGame = 64;

// One file Quorvane wrote in a game's folder: the ROM under one of the names archives give it.
struct NotedFile {
    QByteArray name;
    qint64 size = -1;
    quint32 crc32 = 0;
    qint64 modified = -1; // the file's time as Quorvane wrote and checked it; -1 when unknown
};

// What a game folder's note says Quorvane wrote there: four lines for each file (name, size,
// CRC32 in hex, time). The note's own time is the game's last launch.
struct Note {
    std::vector<NotedFile> files;
    QDateTime used;

    const NotedFile *find(const QByteArray &name) const
    {
        const auto it = std::find_if(files.cbegin(), files.cend(), [&name](const NotedFile &file) { return file.name == name; });
        return it == files.cend() ? nullptr : &*it;
    }
    QByteArray text() const
    {
        QByteArray text;
        for (const NotedFile &file : files)
            text += file.name + '\n' + QByteArray::number(file.size) + '\n' + QByteArray::number(file.crc32, 16) + '\n'
                    + QByteArray::number(file.modified) + '\n';
        return text;
    }
};

bool isPlainName(const QByteArray &name)
{
    return !name.isEmpty() && entryNameProblem(name).isEmpty() && !name.contains('/') && !name.contains('\\');
}

// The note's time (the game's last launch) is read only when trimming asks for it. A note that
// names anything but plain names in its own folder is none of Quorvane's.
bool readNote(const QString &folder, Note *note, bool withTime = false)
{
    const QString path = QDir(folder).filePath(kNoteName);
    QFile file;
    if (platform::entryKind(path) != platform::EntryKind::File || !platform::openRegularFile(path, file))
        return false;
    QList<QByteArray> lines = file.read(kLargestNote).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    if (lines.size() == 3) // an early note: one file, its time unknown
        lines << QByteArray("-1");
    if (lines.isEmpty() || lines.size() % 4 != 0)
        return false;
    note->files.clear();
    for (qsizetype at = 0; at < lines.size(); at += 4) {
        bool sized = false, summed = false, timed = false;
        NotedFile noted{lines[at], lines[at + 1].toLongLong(&sized), lines[at + 2].toUInt(&summed, 16), lines[at + 3].toLongLong(&timed)};
        if (!sized || !summed || !isPlainName(noted.name) || note->find(noted.name))
            return false;
        if (!timed)
            noted.modified = -1;
        note->files.push_back(std::move(noted));
    }
    if (withTime)
        note->used = QFileInfo(path).lastModified();
    return true;
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

// Writes bytes whole to a file opened unbuffered, or says why not. A disk that fills mid-write
// first takes part of the bytes without a word; writing the rest brings the system's reason.
bool writeWhole(QFile &file, QByteArrayView bytes, QString *error)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            *error = file.errorString();
            return false;
        }
        written += n;
    }
    return true;
}

// Opened unbuffered: nothing is left for a close to write, and fail, after the last check.
constexpr QIODevice::OpenMode kNewFile = QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered;

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
        if (!file.open(kNewFile)
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
    const NotedFile *noted = readNote(folder, &note) ? note.find(entry.fileName()) : nullptr;
    if (!noted || noted->size != entry.size || noted->crc32 != entry.file.crc32)
        return false;
    const QString file = QDir(folder).filePath(platform::fromUtf8Lossless(noted->name));
    if (platform::entryKind(file) != platform::EntryKind::File)
        return false;
    // Unchanged since Quorvane wrote and checked it (its size and time as then): its sum is known,
    // as the library database knows a ROM file's. Otherwise it is summed again.
    const platform::FileStamp stamp = platform::fileStamp(folder, noted->name);
    if (noted->modified >= 0 && stamp.size == noted->size && stamp.modified == noted->modified)
        return true;
    bool ok = false;
    return crcOfFile(file, noted->size, &ok) == noted->crc32 && ok;
}

bool RomCache::writeNote(const QString &folder, const QByteArray &text, QString *error) const
{
    const QString temporary = temporaryName();
    QFile file(temporary);
    const bool opened = file.open(kNewFile);
    if (!opened || !writeWhole(file, text, error)) {
        if (!opened)
            *error = file.errorString();
        file.close();
        QFile::remove(temporary);
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
    if (!file.open(kNewFile)) {
        result.error = QStringLiteral("The ROM cache %1 cannot be written: %2").arg(QDir::toNativeSeparators(m_folder), file.errorString());
        return result;
    }
    QString writeError;
    const QString problem = readArchiveEntry(archivePath, entry, [&](QByteArrayView piece) { return writeWhole(file, piece, &writeError); });
    file.close();
    if (!problem.isEmpty() || file.error() != QFileDevice::NoError) {
        QFile::remove(temporary);
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
    // Each name the game was unpacked under stays in the note, so that every file Quorvane wrote
    // is counted and trimmed, and another archive's name for the game never blocks this one.
    const bool noted = folderKind == platform::EntryKind::Folder && readNote(folder, &note);
    const NotedFile *mine = noted ? note.find(entry.fileName()) : nullptr;
    if (folderKind == platform::EntryKind::Missing && !QDir().mkdir(folder)) {
        error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
    } else if (folderKind != platform::EntryKind::Missing && folderKind != platform::EntryKind::Folder) {
        error = QStringLiteral("%1 is no folder of Quorvane's").arg(QDir::toNativeSeparators(folder));
    } else if (platform::entryKind(target) != platform::EntryKind::Missing
               && !(mine && platform::entryKind(target) == platform::EntryKind::File)) {
        // Something Quorvane did not write has the name: the user's, and never replaced.
        error = QStringLiteral("%1 holds a file that Quorvane did not write").arg(QDir::toNativeSeparators(target));
    } else if (!mine && note.files.size() >= kNamesPerGame) {
        error = QStringLiteral("the game is there under %1 names already").arg(kNamesPerGame);
    } else {
        const NotedFile written{entry.fileName(), entry.size, entry.file.crc32,
                                platform::fileStamp(m_folder, platform::toUtf8Lossless(QFileInfo(temporary).fileName())).modified};
        if (mine)
            note.files[size_t(mine - note.files.data())] = written;
        else
            note.files.push_back(written);
        // The note first: a ROM there is always one it names; a rename keeps the file's time.
        if (writeNote(folder, note.text(), &error))
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
        Game game{folder, 0, note.used};
        for (const NotedFile &file : note.files) {
            if (platform::entryKind(QDir(folder).filePath(platform::fromUtf8Lossless(file.name))) == platform::EntryKind::File)
                game.size += file.size;
        }
        games.push_back(std::move(game));
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
        Note note;
        if (!readNote(game.folder, &note))
            continue;
        // The ROMs are Quorvane's. One that cannot go (open in an emulator, on Windows) stays in the
        // note, so that it is still counted and Quorvane's; the note goes only when they all did.
        std::vector<NotedFile> left;
        for (const NotedFile &file : note.files) {
            const QString rom = QDir(game.folder).filePath(platform::fromUtf8Lossless(file.name));
            if (platform::entryKind(rom) == platform::EntryKind::Missing)
                continue;
            if (platform::entryKind(rom) == platform::EntryKind::File && QFile::remove(rom))
                used -= file.size;
            else
                left.push_back(file);
        }
        QString error;
        if (!left.empty()) {
            note.files = std::move(left);
            writeNote(game.folder, note.text(), &error); // failing, the old note names the files gone too: no harm
            continue;
        }
        // The folder goes only when nothing else is in it.
        if (QFile::remove(QDir(game.folder).filePath(kNoteName)))
            QDir(m_folder).rmdir(QFileInfo(game.folder).fileName());
    }
}

} // namespace library
