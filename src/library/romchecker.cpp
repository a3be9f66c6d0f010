#include "library/romchecker.h"

#include "library/librarydatabase.h"
#include "library/nesheader.h"
#include "library/sha1.h"
#include "platform/contextdoor.h"
#include "platform/dirscan.h"
#include "platform/filenames.h"
#include "platform/process.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

namespace library {

namespace {

constexpr int kBatchMs = 150;         // facts reach the list at least this often while a folder is read
constexpr int kFilesPerCommit = 500;  // checks kept in one transaction

QString joined(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace

// The stamps of a folder's files, taken in pieces by whichever thread is free: a helper starts at
// once, and the checker's own thread joins it once it has read the database.
class StampTaking
{
public:
    StampTaking(const QString &folder, const QByteArray &names) : m_folder(folder)
    {
        for (qsizetype at = 0, count = 0; at < names.size(); ++count) {
            const qsizetype end = names.indexOf('\0', at);
            at = end < 0 ? names.size() : end + 1;
            if (count % kStampsPerPiece == kStampsPerPiece - 1 || at == names.size()) {
                const qsizetype from = m_pieces.empty() ? 0 : m_pieces.back().end;
                m_pieces.push_back({QByteArrayView(names.constData() + from, at - from), at, {}});
            }
        }
        m_helper = std::async(std::launch::async, [this] { help(); });
    }

    // Every stamp, in the names' order, once each piece is taken.
    std::vector<platform::FileStamp> stamps()
    {
        help();
        m_helper.get();
        std::vector<platform::FileStamp> all;
        for (Piece &piece : m_pieces)
            all.insert(all.end(), piece.stamps.begin(), piece.stamps.end());
        return all;
    }

private:
    static constexpr qsizetype kStampsPerPiece = 128;
    struct Piece {
        QByteArrayView names;
        qsizetype end; // where the next piece starts
        std::vector<platform::FileStamp> stamps;
    };

    void help()
    {
        for (size_t piece; (piece = m_next++) < m_pieces.size();)
            m_pieces[piece].stamps = platform::fileStamps(m_folder, m_pieces[piece].names);
    }

    QString m_folder;
    std::vector<Piece> m_pieces;
    std::atomic<size_t> m_next{0};
    std::future<void> m_helper;
};

RomFacts judgeRom(RomIdentity identity, const RomDatabase *databases)
{
    RomFacts facts;
    facts.identity = std::move(identity);
    const RomIdentity &id = facts.identity;
    QStringList warnings;
    if (!id.error.isEmpty()) {
        warnings << QStringLiteral("cannot be checked: %1").arg(id.error);
    } else {
        warnings = headerProblems(decodeNesHeader(id.header), id.size);
        if (const DatRom *entry = databases ? databases->find(id.data) : nullptr) {
            facts.title = entry->game;
            facts.status = entry->status;
            if (entry->isBadDump())
                warnings << QStringLiteral("a bad dump, says the ROM database");
        }
    }
    facts.warning = warnings.join(QLatin1Char('\n'));
    return facts;
}

namespace {

// Archives listed at once, two at a time: each is unpacked and summed whole as it is listed, and a
// second processor halves a folder of zips' check.
constexpr size_t kArchivesAtOnce = 64;

// The listings of the archives toRead[from..to) names in folder, read by this thread and one more.
std::vector<ArchiveListing> listArchives(const QString &folder, const std::vector<std::pair<QByteArray, platform::FileStamp>> &toRead,
                                         size_t from, size_t to, const std::function<bool()> &overtaken)
{
    std::vector<ArchiveListing> listings(to - from);
    std::atomic<size_t> next{from};
    auto work = [&] {
        for (size_t at; (at = next++) < to && !overtaken();)
            listings[at - from] = listArchive(joined(folder, platform::fromUtf8Lossless(toRead[at].first)), overtaken);
    };
    std::thread helper;
    if (to - from > 1)
        helper = std::thread([&work] {
            platform::yieldToWindow();
            work();
        });
    work();
    if (helper.joinable())
        helper.join();
    return listings;
}

// The identity of an archive's ROM that was read, as a plain file of its bytes has it.
RomIdentity identityOf(const ArchiveEntry &rom)
{
    RomIdentity identity;
    identity.size = rom.size;
    identity.header = rom.header;
    identity.data = rom.data;
    identity.file.crc32 = rom.crc32;
    return identity;
}

} // namespace

RomFacts judgeArchive(ArchiveListing listing, const RomDatabase *databases)
{
    RomFacts facts;
    if (listing.problem.isEmpty() && !listing.roms.empty() && listing.roms.front().isRead())
        facts = judgeRom(identityOf(listing.roms.front()), databases);
    if (!listing.problem.isEmpty())
        facts.warning = QStringLiteral("cannot be used: %1").arg(listing.problem);
    facts.archive = std::make_shared<const ArchiveListing>(std::move(listing));
    return facts;
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
    if (whole == WholeFileSums::CrcOnly)
        return identityOf(first); // read as it was listed
    Sha1 fileSha1;
    identity.error = readArchiveEntry(path, first, [&](QByteArrayView piece) {
        fileSha1.addData(piece);
        return !(cancelled && cancelled());
    });
    if (!identity.error.isEmpty())
        return identity;
    identity = identityOf(first);
    identity.file.sha1 = fileSha1.result();
    return identity;
}

RomChecker::RomChecker(Places places, QObject *parent)
    : QObject(parent), m_places(std::move(places)), m_door(platform::ContextDoor::open(this))
{
    m_inspections.setMaxThreadCount(2);
}

RomChecker::~RomChecker()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_closing->store(true);
    m_wake.notify_all();
    if (m_thread)
        m_thread->wait();
    m_inspections.waitForDone();
}

RomChecker::Databases RomChecker::databases()
{
    // Read by whichever thread asks first; another that asks meanwhile waits for it.
    std::call_once(m_datsRead, [this] {
        auto read = std::make_shared<RomDatabase>();
        QStringList errors;
        for (const QString &folder : m_places.datFolders)
            read->addFolder(folder, &errors);
        if (!errors.isEmpty()) {
            m_door->post([this, errors] {
                emit problem(QStringLiteral("These ROM databases could not be read; the others are used.\n\n")
                             + errors.join(QLatin1Char('\n')));
            });
        }
        m_dats = std::move(read);
    });
    return m_dats;
}

void RomChecker::check(const QString &folder, const QByteArray &names)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_waiting[folder] = names;
    }
    wake();
}

void RomChecker::wake()
{
    m_wake.notify_all();
    if (!m_thread) {
        // The lowest priority there is: the checks never take the window's time.
        m_thread.reset(QThread::create([this] { work(); }));
        m_thread->start(QThread::IdlePriority);
    }
}

void RomChecker::inspect(const QString &path, std::function<void(const RomFacts &)> done)
{
    m_inspections.start([this, path, done = std::move(done), door = m_door, closing = m_closing] {
        ArchiveListing listing;
        RomIdentity identity = identifyRomOrArchive(path, WholeFileSums::Both, [closing] { return closing->load(); }, &listing);
        if (closing->load())
            return;
        const Databases known = databases();
        RomFacts facts = judgeRom(std::move(identity), known.get());
        if (isArchiveName(platform::toUtf8Lossless(path)))
            facts.archive = std::make_shared<const ArchiveListing>(std::move(listing));
        door->post([facts = std::move(facts), done] { done(facts); });
    });
}

bool RomChecker::superseded(const QString &folder)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_stopping || m_waiting.count(folder) > 0;
}

std::unique_ptr<LibraryDatabase> RomChecker::openLibrary(LibraryDatabase::Check check)
{
    QString message;
    std::unique_ptr<LibraryDatabase> library = LibraryDatabase::open(m_places.databaseFile, &message, check);
    if (!message.isEmpty())
        m_door->post([this, message] { emit problem(message); });
    return library;
}

void RomChecker::work()
{
    for (;;) {
        QString folder;
        QByteArray names;
        std::vector<std::function<void()>> jobs;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_waiting.empty() && m_jobs.empty() && !m_stopping)
                m_door->post([this] { emit idle(); });
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty() || !m_jobs.empty(); });
            if (m_stopping)
                break;
            jobs.swap(m_jobs);
            if (jobs.empty()) {
                auto next = m_waiting.begin();
                folder = next->first;
                names = std::move(next->second);
                m_waiting.erase(next);
            }
        }
        if (!jobs.empty()) {
            openLibraryOnce();
            for (const std::function<void()> &job : jobs)
                job();
            continue;
        }
        // The files' stamps are taken while the database is read: the two wait on different things.
        StampTaking stamping(folder, names);
        openLibraryOnce();
        checkFolder(folder, names, stamping);
    }
    m_library.reset(); // closed on the thread that used it
}

void RomChecker::openLibraryOnce()
{
    if (!m_library && !m_places.databaseFile.isEmpty() && !std::exchange(m_databaseTried, true)) {
        m_library = openLibrary(LibraryDatabase::Check::Later);
        m_libraryUnchecked = m_library != nullptr;
    }
}

void RomChecker::runJob(std::function<void()> job)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    wake();
}

void RomChecker::keepArchive(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing)
{
    runJob([this, folder, name, stamp, listing = std::move(listing)]() mutable { keepAndShow(folder, name, stamp, std::move(listing)); });
}

void RomChecker::keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing)
{
    listing.stamp = stamp;
    if (m_library && stamp.size >= 0)
        m_library->keepChecks(platform::toUtf8Lossless(folder), {{name, stamp, encodeListing(listing), {}}}, {}, nullptr);
    RomFactsByName facts;
    facts.insert(name, judgeArchive(std::move(listing), databases().get()));
    m_door->post([this, folder, facts] { emit checked(folder, facts); });
}

void RomChecker::identifyArchive(const QString &folder, const QByteArray &name, std::function<void(const QByteArray &)> done)
{
    runJob([this, folder, name, done = std::move(done)] {
        const platform::FileStamp stamp = platform::fileStamp(folder, name);
        const QString path = joined(folder, platform::fromUtf8Lossless(name));
        ArchiveListing listing = listArchive(path);
        QByteArray sha1;
        if (!listing.roms.empty() && listing.roms.front().isRead()) {
            sha1 = listing.roms.front().data.sha1;
            keepAndShow(folder, name, stamp, std::move(listing));
        }
        m_door->post([done, sha1] { done(sha1); });
    });
}

void RomChecker::checkFolder(const QString &folder, const QByteArray &names, StampTaking &stamping)
{
    const QByteArray key = platform::toUtf8Lossless(folder);
    const Databases known = databases();
    // What was found before is judged while the stamps are still being taken.
    RomFactsByName knownFacts;
    QHash<QByteArray, platform::FileStamp> knownStamps; // by the same keys, shared
    std::vector<CheckedFile> rows = m_library ? m_library->checkedFiles(key) : std::vector<CheckedFile>();
    knownFacts.reserve(qsizetype(rows.size()));
    knownStamps.reserve(qsizetype(rows.size()));
    for (CheckedFile &file : rows) {
        knownStamps.insert(file.name, file.stamp);
        if (isArchiveName(file.name)) { // what it holds is kept where a ROM's header is
            ArchiveListing listing;
            // One listed before its ROMs were identified as they are listed is read again.
            const auto unread = [&listing] {
                return std::any_of(listing.roms.cbegin(), listing.roms.cend(), [](const ArchiveEntry &rom) { return !rom.isRead(); });
            };
            if (decodeListing(file.header, &listing) && !unread()) {
                listing.stamp = file.stamp;
                knownFacts.insert(std::move(file.name), judgeArchive(std::move(listing), known.get()));
            }
            else
                knownStamps.remove(file.name); // read again
            continue;
        }
        RomIdentity identity;
        identity.size = file.stamp.size;
        identity.header = std::move(file.header);
        identity.data = std::move(file.sums);
        knownFacts.insert(std::move(file.name), judgeRom(std::move(identity), known.get()));
    }
    // The whole file is checked once, while the stamps are still being taken: a start waits for
    // no more than it needs. A damaged one is put aside, and nothing it held is used.
    if (std::exchange(m_libraryUnchecked, false) && !m_library->isSound()) {
        m_library.reset(); // closed first: Windows moves no file that is open
        m_library = openLibrary(LibraryDatabase::Check::AtOpen);
        knownFacts.clear();
        knownStamps.clear();
    }
    const std::vector<platform::FileStamp> stamps = stamping.stamps();

    // A file whose stamp is unchanged shows what it held, at once; the others are read after.
    std::vector<std::pair<QByteArray, platform::FileStamp>> toRead;
    size_t index = 0;
    for (qsizetype at = 0; at < names.size(); ++index) {
        const qsizetype end = names.indexOf('\0', at);
        const QByteArray name = QByteArray::fromRawData(names.constData() + at, (end < 0 ? names.size() : end) - at);
        at = end < 0 ? names.size() : end + 1;
        const platform::FileStamp stamp = index < stamps.size() ? stamps[index] : platform::FileStamp();
        if (stamp.size < 0)
            continue; // gone since the list was read: forgotten below
        const auto kept = knownStamps.find(name);
        const bool unchanged = kept != knownStamps.end() && *kept == stamp;
        if (kept != knownStamps.end())
            knownStamps.erase(kept);
        if (!unchanged) {
            knownFacts.remove(name);
            toRead.emplace_back(QByteArray(name.constData(), name.size()), stamp); // outlives names
        }
    }
    if (superseded(folder))
        return;
    for (auto gone = knownStamps.keyBegin(); gone != knownStamps.keyEnd(); ++gone)
        knownFacts.remove(*gone);
    if (!knownFacts.isEmpty())
        m_door->post([this, folder, facts = std::move(knownFacts)] { emit checked(folder, facts); });
    LibraryDatabase *library = m_library.get();
    if (library && !knownStamps.isEmpty()) // the files no longer there are forgotten
        library->keepChecks(key, {}, std::vector<QByteArray>(knownStamps.keyBegin(), knownStamps.keyEnd()), nullptr);

    std::vector<CheckedFile> toKeep;
    RomFactsByName batch;
    QDeadlineTimer nextBatch(kBatchMs);
    auto keepChecks = [&] {
        QString error;
        if (library && !library->keepChecks(key, toKeep, {}, &error))
            qWarning("Quorvane: ROM checks not kept: %s", qPrintable(error));
        toKeep.clear();
    };
    auto post = [&] {
        if (!batch.isEmpty())
            m_door->post([this, folder, facts = std::exchange(batch, {})] { emit checked(folder, facts); });
        nextBatch.setRemainingTime(kBatchMs);
    };
    auto overtaken = [this, &folder] { return superseded(folder); };
    for (size_t at = 0; at < toRead.size();) {
        if (overtaken())
            break;
        const auto &[name, stamp] = toRead[at];
        if (isArchiveName(name)) {
            size_t end = at;
            while (end < toRead.size() && end - at < kArchivesAtOnce && isArchiveName(toRead[end].first))
                ++end;
            std::vector<ArchiveListing> listings = listArchives(folder, toRead, at, end, overtaken);
            if (overtaken())
                break;
            for (ArchiveListing &listing : listings) {
                const auto &[archive, archiveStamp] = toRead[at++];
                listing.stamp = archiveStamp;
                toKeep.push_back({archive, archiveStamp, encodeListing(listing), {}});
                batch.insert(archive, judgeArchive(std::move(listing), known.get()));
            }
        } else {
            ++at;
            RomIdentity identity = identifyRom(joined(folder, platform::fromUtf8Lossless(name)), WholeFileSums::CrcOnly, overtaken);
            if (identity.error.isEmpty())
                toKeep.push_back({name, stamp, identity.header, identity.data});
            else if (overtaken())
                break;
            batch.insert(name, judgeRom(std::move(identity), known.get()));
        }
        if (int(toKeep.size()) >= kFilesPerCommit)
            keepChecks();
        if (nextBatch.hasExpired())
            post();
    }
    keepChecks();
    post();
}

} // namespace library
