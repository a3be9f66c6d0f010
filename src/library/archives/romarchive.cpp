#include "library/archives/romarchive.h"

#include "library/identity/sha1.h"
#include "platform/boundedchild.h"
#include "platform/filenames.h"
#include "platform/regularfile.h"

#include <QIODevice>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

namespace library {

namespace {

constexpr qsizetype kPieceSize = 64 * 1024;
// What reading a 7z's listing may take beyond the reader's own memory: libarchive reads a 7z's whole
// header, sized as it declares, before the first entry.
constexpr qint64 kReaderMemory = qint64(64) << 20;
constexpr int kReaderTimeoutMs = 120000;
// Bytes of a file's name: ext4, NTFS (in UTF-16 units, fewer than its UTF-8 bytes) and the rest.
constexpr qsizetype kLongestFileName = 255;

bool endsWithNoCase(QByteArrayView name, QByteArrayView ending)
{
    return name.size() >= ending.size() && QByteArrayView(name.last(ending.size())).compare(ending, Qt::CaseInsensitive) == 0;
}

using Archive = std::unique_ptr<archive, decltype(&archive_read_free)>;

// The archive's file, read with the system's calls: a FIFO or a device is never opened, and a
// Windows name keeps its characters.
struct Source {
    platform::RegularFile file;
    qint64 at = 0; // kept here: libarchive asks where it is, often
    QByteArray buffer = QByteArray(kPieceSize, Qt::Uninitialized);

    static la_ssize_t read(archive *reading, void *data, const void **bytes)
    {
        Source *source = static_cast<Source *>(data);
        const qint64 n = source->file.read(source->buffer.data(), source->buffer.size());
        if (n < 0) {
            archive_set_error(reading, EIO, "%s", "it could not be read");
            return ARCHIVE_FATAL;
        }
        source->at += n;
        *bytes = source->buffer.constData();
        return la_ssize_t(n);
    }
    static la_int64_t seek(archive *, void *data, la_int64_t offset, int whence)
    {
        Source *source = static_cast<Source *>(data);
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? source->at : source->file.size();
        return source->moveTo(base + offset) ? source->at : ARCHIVE_FATAL;
    }
    static la_int64_t skip(archive *, void *data, la_int64_t request)
    {
        Source *source = static_cast<Source *>(data);
        const qint64 from = source->at;
        return request > 0 && source->moveTo(std::min<qint64>(from + request, source->file.size())) ? source->at - from : 0;
    }
    bool moveTo(qint64 to)
    {
        if (to == at)
            return true;
        if (to < 0 || !file.seek(to))
            return false;
        at = to;
        return true;
    }
};

Archive newReader()
{
    Archive reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    archive_read_support_format_7zip(reader.get());
    return reader;
}

QString errorOf(archive *reading)
{
    const char *text = archive_error_string(reading);
    return text ? QString::fromUtf8(text) : QStringLiteral("it is damaged");
}

// The archive at path or in bytes, opened for reading; the reason in problem when it cannot be.
struct Opened {
    Archive reader{nullptr, &archive_read_free};
    std::unique_ptr<Source> source;
    QString problem;
};

Opened openFile(const QString &path)
{
    Opened opened;
    opened.source = std::make_unique<Source>();
    if (!opened.source->file.open(path)) {
        opened.problem = QStringLiteral("it cannot be opened");
        return opened;
    }
    opened.reader = newReader();
    archive *reading = opened.reader.get();
    archive_read_set_read_callback(reading, &Source::read);
    archive_read_set_seek_callback(reading, &Source::seek);
    archive_read_set_skip_callback(reading, &Source::skip);
    archive_read_set_callback_data(reading, opened.source.get());
    if (archive_read_open1(reading) != ARCHIVE_OK)
        opened.problem = QStringLiteral("it is no zip or 7z archive that can be read: %1").arg(errorOf(reading));
    return opened;
}

Opened openBytes(QByteArrayView bytes)
{
    Opened opened;
    opened.reader = newReader();
    if (archive_read_open_memory(opened.reader.get(), bytes.data(), size_t(bytes.size())) != ARCHIVE_OK)
        opened.problem = QStringLiteral("it is no zip or 7z archive that can be read: %1").arg(errorOf(opened.reader.get()));
    return opened;
}

QByteArray nameOf(archive_entry *entry)
{
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QByteArray(utf8);
    const char *raw = archive_entry_pathname(entry);
    return raw ? QByteArray(raw) : QByteArray();
}

// An entry's file name: its last part, after either kind of slash.
QByteArrayView lastPart(QByteArrayView name)
{
    return name.sliced(std::max(name.lastIndexOf('/'), name.lastIndexOf('\\')) + 1);
}

// Why a ROM entry cannot be unpacked, whatever it holds: its name, a link, encryption. Empty when
// it can.
QString entryProblem(archive_entry *entry, const QByteArray &name)
{
    if (const QString why = entryNameProblem(name); !why.isEmpty())
        return QStringLiteral("its entry \"%1\" %2").arg(QString::fromUtf8(name), why);
    // Unpacked under its last part, which no common file system takes longer than this.
    if (const qsizetype length = lastPart(name).size(); length > kLongestFileName)
        return QStringLiteral("its entry \"%1\" has a name too long for a file (%2 bytes, at most %3)")
            .arg(QString::fromUtf8(lastPart(name)).left(40) + QStringLiteral("..."))
            .arg(length)
            .arg(kLongestFileName);
    if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) || archive_entry_symlink(entry))
        return QStringLiteral("its entry \"%1\" is a link").arg(QString::fromUtf8(name));
    if (archive_entry_is_encrypted(entry))
        return QStringLiteral("its entry \"%1\" is encrypted").arg(QString::fromUtf8(name));
    return {};
}

// Reads the entry the reader stands on, as wanted, to its end: bounded by what it states and by
// the largest ROM, checked against what it states, and identified. Each piece goes to write,
// when given, which may stop the reading. Empty on success, else the reason.
QString readEntryData(archive *reading, archive_entry *entry, ArchiveEntry &wanted, const std::function<bool(QByteArrayView)> &write,
                      WholeFileSums sums)
{
    const QString name = QString::fromUtf8(wanted.name);
    const qint64 stated = archive_entry_size_is_set(entry) ? qint64(archive_entry_size(entry)) : -1;
    const qint64 limit = stated >= 0 ? std::min(stated, kLargestRomFile) : kLargestRomFile;
    RomIdentifier identifier(sums);
    // One buffer per entry, not per thread: entries are read by short-lived threads too, and
    // MinGW's thread-local objects with destructors corrupt the heap as such a thread ends.
    QByteArray buffer(kPieceSize, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t n = archive_read_data(reading, buffer.data(), size_t(buffer.size()));
        if (n == 0)
            break;
        if (n < 0)
            return QStringLiteral("its entry \"%1\" cannot be unpacked: %2").arg(name, errorOf(reading));
        if (identifier.size() + n > limit) {
            return stated >= 0 && stated <= kLargestRomFile
                       ? QStringLiteral("its entry \"%1\" holds more than the %L2 bytes it states").arg(name).arg(stated)
                       : QStringLiteral("its entry \"%1\" is larger than 64 MB, more than any NES ROM").arg(name);
        }
        const QByteArrayView piece(buffer.constData(), qsizetype(n));
        identifier.add(piece);
        if (write && !write(piece))
            return QStringLiteral("its entry \"%1\" could not be written").arg(name);
    }
    if (stated >= 0 && identifier.size() != stated)
        return QStringLiteral("its entry \"%1\" holds %L2 bytes, not the %L3 it states").arg(name).arg(identifier.size()).arg(stated);
    const RomIdentity identity = identifier.finish();
    wanted.size = identity.size;
    wanted.header = identity.header;
    wanted.data = identity.data;
    wanted.file = identity.file;
    return {};
}

ArchiveListing list(Opened opened, const std::function<bool()> &cancelled, Reading mode = Reading::Identify)
{
    ArchiveListing listing;
    if (!opened.problem.isEmpty()) {
        listing.problem = opened.problem;
        return listing;
    }
    archive *reading = opened.reader.get();
    auto refuse = [&listing](const QString &why) {
        listing.roms.clear();
        listing.problem = why;
        return listing;
    };
    archive_entry *entry = nullptr;
    for (int count = 0;; ++count) {
        const int result = archive_read_next_header(reading, &entry);
        if (result == ARCHIVE_EOF)
            break;
        if (result < ARCHIVE_WARN && (archive_errno(reading) == ENOMEM || errorOf(reading).contains(QLatin1String("allocate memory"))))
            return refuse(QStringLiteral("it needs more memory to be read than the %1 MB it may use").arg(kReaderMemory >> 20));
        if (result < ARCHIVE_WARN)
            return refuse(QStringLiteral("it is damaged or cut short: %1").arg(errorOf(reading)));
        if (count >= kMostArchiveEntries)
            return refuse(QStringLiteral("it holds more than %L1 files").arg(kMostArchiveEntries));
        if (cancelled && cancelled())
            return refuse(QStringLiteral("cancelled"));
        const QByteArray name = nameOf(entry);
        if (!isRomEntryName(name) || archive_entry_filetype(entry) == AE_IFDIR)
            continue;
        if (const QString why = entryProblem(entry, name); !why.isEmpty())
            return refuse(why);
        const qint64 size = archive_entry_size_is_set(entry) ? qint64(archive_entry_size(entry)) : -1;
        if (size > kLargestRomFile)
            return refuse(QStringLiteral("its entry \"%1\" is larger than 64 MB, more than any NES ROM").arg(QString::fromUtf8(name)));
        // A ROM is found again by its name: two of one name would start the first for the second.
        if (std::any_of(listing.roms.cbegin(), listing.roms.cend(), [&name](const ArchiveEntry &rom) { return rom.name == name; }))
            return refuse(QStringLiteral("it holds two entries named \"%1\"").arg(QString::fromUtf8(name)));
        ArchiveEntry rom;
        rom.name = name;
        rom.size = size;
        // Read as it is listed, in the same pass: the ROM's identity (its favourite, its title)
        // is known from the first listing, not only once it has been unpacked.
        if (mode != Reading::NamesOnly) {
            const WholeFileSums sums = mode == Reading::EverySum ? WholeFileSums::Every : WholeFileSums::CrcOnly;
            if (const QString why = readEntryData(reading, entry, rom, [&cancelled](QByteArrayView) { return !(cancelled && cancelled()); }, sums);
                !why.isEmpty())
                return refuse(cancelled && cancelled() ? QStringLiteral("cancelled") : why);
        }
        listing.roms.push_back(std::move(rom));
    }
    return listing;
}

// Moves the reader on to the first file (no folder) whose name takes takes, within the most
// entries an archive may hold; null at the end, or, with damage set, when the archive is damaged.
archive_entry *findEntry(archive *reading, const std::function<bool(const QByteArray &name)> &takes, QString *damage)
{
    archive_entry *entry = nullptr;
    for (int count = 0; count < kMostArchiveEntries; ++count) {
        const int result = archive_read_next_header(reading, &entry);
        if (result == ARCHIVE_EOF)
            break;
        if (result < ARCHIVE_WARN) {
            *damage = QStringLiteral("it is damaged or cut short: %1").arg(errorOf(reading));
            return nullptr;
        }
        if (archive_entry_filetype(entry) != AE_IFDIR && takes(nameOf(entry)))
            return entry;
    }
    return nullptr;
}

QString read(Opened opened, ArchiveEntry &wanted, const std::function<bool(QByteArrayView)> &write, WholeFileSums sums = WholeFileSums::CrcOnly)
{
    if (!opened.problem.isEmpty())
        return opened.problem;
    archive *reading = opened.reader.get();
    QString damage;
    archive_entry *entry = findEntry(reading, [&](const QByteArray &name) { return name == wanted.name; }, &damage);
    if (!entry)
        return damage.isEmpty() ? QStringLiteral("it no longer holds \"%1\"").arg(QString::fromUtf8(wanted.name)) : damage;
    // The listing's refusals hold here too: the archive may have changed since.
    if (const QString why = entryProblem(entry, wanted.name); !why.isEmpty())
        return why;
    return readEntryData(reading, entry, wanted, write, sums);
}

} // namespace

bool isArchiveName(QByteArrayView name) { return endsWithNoCase(name, ".zip") || endsWithNoCase(name, ".7z"); }

bool isRomEntryName(QByteArrayView name) { return endsWithNoCase(name, ".nes"); }

QByteArray ArchiveEntry::fileName() const { return lastPart(name).toByteArray(); }

QString entryNameProblem(QByteArrayView name)
{
    const QString outside = QStringLiteral("leads out of the folder it is unpacked into");
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\') || (name.size() >= 2 && name[1] == ':'))
        return outside;
    // Both kinds of slash part a name: Windows takes either.
    qsizetype start = 0;
    for (qsizetype at = 0; at <= name.size(); ++at) {
        if (at < name.size() && name[at] != '/' && name[at] != '\\')
            continue;
        const QByteArrayView part = name.sliced(start, at - start);
        if (part == "..")
            return outside;
        start = at + 1;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || QByteArrayView(":*?\"<>|").contains(c))
            return QStringLiteral("holds a character no file name may");
    }
    // Windows opens a device for these names, whatever follows the first dot.
    const QByteArrayView file = lastPart(name);
    const QByteArray base = file.first(file.indexOf('.') < 0 ? file.size() : file.indexOf('.')).toByteArray().toUpper();
    static const QList<QByteArray> devices{"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
                                           "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    if (devices.contains(base.trimmed()))
        return QStringLiteral("is a name Windows keeps for a device");
    return {};
}

namespace {

// The program that reads archives apart, when one is set: the same listing, in a child process.
struct ApartReader {
    std::mutex mutex;
    QString program;
    QStringList arguments;
};
ApartReader &apartReader()
{
    static ApartReader reader;
    return reader;
}

bool isSevenZip(const QString &path)
{
    platform::RegularFile file;
    char signature[6] = {};
    return file.open(path) && file.read(signature, sizeof signature) == qint64(sizeof signature)
           && QByteArrayView(signature, sizeof signature) == QByteArrayView("7z\xBC\xAF\x27\x1C", 6);
}

ArchiveListing listApart(const QString &program, const QStringList &arguments, const QString &path,
                         const std::function<bool()> &cancelled)
{
    ArchiveListing listing;
    QByteArray answer;
    QString error;
    // The name as hex: any bytes, on any system's command line.
    if (!platform::runBoundedChild(program, arguments + QStringList{QString::fromLatin1(platform::toUtf8Lossless(path).toHex())},
                                   kReaderTimeoutMs, 4 * kReaderMemory, cancelled, &answer, &error)) {
        listing.problem = error;
    } else if (!decodeListing(QByteArray::fromBase64(answer), &listing)) {
        listing.problem = QStringLiteral("its reader's answer could not be read");
    }
    return listing;
}

} // namespace

void readArchivesApart(const QString &program, const QStringList &arguments)
{
    ApartReader &reader = apartReader();
    const std::lock_guard<std::mutex> lock(reader.mutex);
    reader.program = program;
    reader.arguments = arguments;
}

int archiveReaderMain(const char *hexPath)
{
    platform::limitOwnMemory(kReaderMemory);
    const QString path = platform::fromUtf8Lossless(QByteArray::fromHex(hexPath));
    // Every sum: a 7z is listed once, apart, and its sums are kept with the listing.
    const QByteArray answer = encodeListing(list(openFile(path), {}, Reading::EverySum)).toBase64();
    return std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout) == size_t(answer.size()) && std::fflush(stdout) == 0 ? 0 : 1;
}

ArchiveListing listArchive(const QString &path, const std::function<bool()> &cancelled, Reading mode)
{
    QString program;
    QStringList arguments;
    {
        ApartReader &reader = apartReader();
        const std::lock_guard<std::mutex> lock(reader.mutex);
        program = reader.program;
        arguments = reader.arguments;
    }
    if (!program.isEmpty() && isSevenZip(path))
        return listApart(program, arguments, path, cancelled);
    return list(openFile(path), cancelled, mode);
}

ArchiveListing listArchiveBytes(QByteArrayView bytes) { return list(openBytes(bytes), {}); }

QString readArchiveEntry(const QString &path, ArchiveEntry &entry, const std::function<bool(QByteArrayView)> &write, WholeFileSums sums)
{
    return read(openFile(path), entry, write, sums);
}

QString readArchiveEntryBytes(QByteArrayView archive, ArchiveEntry &entry, const std::function<bool(QByteArrayView)> &write)
{
    return read(openBytes(archive), entry, write);
}

QString readArchivedFile(const QString &path, const WantedFile &wanted, QByteArray *bytes)
{
    const qint64 largest = wanted.largest;
    // A 7z's header is read whole, as large as it declares: only a child may do that.
    if (isSevenZip(path))
        return QStringLiteral("it is a 7z archive: only a zip is read here");
    Opened opened = openFile(path);
    if (!opened.problem.isEmpty())
        return opened.problem;
    archive *reading = opened.reader.get();
    QString damage;
    archive_entry *entry = findEntry(reading, wanted.takes, &damage);
    if (!entry)
        return damage.isEmpty() ? QStringLiteral("it holds no %1").arg(wanted.words) : damage;
    if (const QString why = entryProblem(entry, nameOf(entry)); !why.isEmpty())
        return why;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > largest)
        return QStringLiteral("its file is larger than %L1 MB").arg(largest >> 20);
    QByteArray read;
    QByteArray buffer(kPieceSize, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t n = archive_read_data(reading, buffer.data(), size_t(buffer.size()));
        if (n == 0)
            break;
        if (n < 0)
            return QStringLiteral("its file cannot be unpacked: %1").arg(errorOf(reading));
        if (read.size() + n > largest)
            return QStringLiteral("its file is larger than %L1 MB").arg(largest >> 20);
        read.append(buffer.constData(), qsizetype(n));
    }
    *bytes = std::move(read);
    return {};
}

// The identity of an archive's ROM that was read, as a plain file of its bytes has it.
RomIdentity identityOf(const ArchiveEntry &rom)
{
    RomIdentity identity;
    identity.size = rom.size;
    identity.header = rom.header;
    identity.data = rom.data;
    identity.file = rom.file;
    return identity;
}


RomIdentity identifyRomOrArchive(const QString &path, WholeFileSums whole, const std::function<bool()> &cancelled,
                                 ArchiveListing *listed)
{
    if (!isArchiveName(platform::toUtf8Lossless(path)))
        return identifyRom(path, whole, cancelled);
    RomIdentity identity;
    ArchiveListing scratch;
    ArchiveListing &listing = listed ? *listed : scratch;
    listing = listArchive(path, cancelled);
    if (listing.roms.empty()) {
        identity.error = listing.problem.isEmpty() ? QStringLiteral("it holds no NES ROM") : listing.problem;
        return identity;
    }
    ArchiveEntry &first = listing.roms.front();
    const bool summed = whole == WholeFileSums::CrcOnly || (whole == WholeFileSums::Both && first.file.isValid()) || identityOf(first).hasEverySum();
    if (summed)
        return identityOf(first); // read as it was listed
    identity.error = readArchiveEntry(path, first, [&](QByteArrayView) { return !(cancelled && cancelled()); }, whole);
    if (!identity.error.isEmpty())
        return identity;
    return identityOf(first);
}

} // namespace library
