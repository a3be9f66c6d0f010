#include "library/checking/romchecker.h"

#include "library/database/librarydatabase.h"
#include "platform/filenames.h"
#include "platform/receiver.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace library {

namespace {

constexpr int kBatchMs = 150;        // facts reach the list at least this often while a folder is read
constexpr int kFilesPerCommit = 500; // checks saved in one transaction
// Archives listed at once, two at a time: each is unpacked and summed whole as it is listed, and a
// second processor shares a folder of zips' check.
constexpr size_t kArchivesAtOnce = 64;

QString joined(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// Runs helper on helpers while this thread runs own, and returns once both have ended (or the
// helper was dropped unrun).
void runBeside(platform::WorkQueue &helpers, const std::function<void()> &helper, const std::function<void()> &own)
{
    struct Latch {
        std::mutex mutex;
        std::condition_variable done;
        bool ended = false;
    };
    const auto latch = std::make_shared<Latch>();
    // Told as the job is let go, whether it ran or not.
    std::shared_ptr<void> ending(nullptr, [latch](void *) {
        const std::lock_guard<std::mutex> lock(latch->mutex);
        latch->ended = true;
        latch->done.notify_all();
    });
    helpers.post([&helper, ending = std::move(ending)](const platform::CancelFlag &) { helper(); });
    own();
    std::unique_lock<std::mutex> lock(latch->mutex);
    latch->done.wait(lock, [&] { return latch->ended; });
}

} // namespace

// What the checks share with the queues' threads, which may outlive the checker. The library
// database is used by one job at a time: the checking queue runs them in order.
struct RomChecker::Work {
    using Databases = std::shared_ptr<const RomDatabase>;

    RomChecker::Places places;
    std::shared_ptr<platform::Receiver> receiver;
    RomChecker *checker; // reached only through the receiver
    std::atomic<bool> closing{false};
    platform::WorkQueue helpers{"ROM check helper", platform::WorkQueue::Priority::BelowWindow};

    std::mutex mutex;
    std::map<QString, QByteArray> waiting; // folders to check, and their names
    int pending = 0;                       // jobs posted and not yet ended

    std::once_flag datsRead;
    Databases dats;
    std::unique_ptr<LibraryDatabase> library; // opened with the first job that needs it
    bool databaseTried = false;
    bool libraryUnchecked = false; // its whole-file check is still to come

    Databases databases();
    void openLibraryOnce();
    std::unique_ptr<LibraryDatabase> openLibrary(LibraryDatabase::Check check);
    bool overtaken(const QString &folder, const platform::CancelFlag &cancelled);
    void checkNextFolder(const platform::CancelFlag &cancelled);
    void checkFolder(const QString &folder, const QByteArray &names, const platform::CancelFlag &cancelled);
    std::vector<platform::FileStamp> takeStamps(const QString &folder, const QByteArray &names, const std::function<void()> &meanwhile);
    std::vector<ArchiveListing> listArchives(const QString &folder, const std::vector<std::pair<QByteArray, platform::FileStamp>> &toRead,
                                             size_t from, size_t to, const std::function<bool()> &overtaken);
    void keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing);
    void show(const QString &folder, RomFactsByName facts)
    {
        receiver->post([checker = checker, folder, facts = std::move(facts)] { emit checker->checked(folder, facts); });
    }
    void tell(const QString &message)
    {
        receiver->post([checker = checker, message] { emit checker->problem(message); });
    }
};

RomChecker::RomChecker(Places places, QObject *parent) : QObject(parent), m_work(std::make_shared<Work>())
{
    m_work->places = std::move(places);
    m_work->receiver = platform::Receiver::of(this);
    m_work->checker = this;
}

RomChecker::~RomChecker()
{
    m_work->closing = true; // a wait on another program's lock ends
    m_checking.cancel();
    m_inspecting.cancel();
}

void RomChecker::post(std::function<void(Work &work, const platform::CancelFlag &cancelled)> job)
{
    {
        const std::lock_guard<std::mutex> lock(m_work->mutex);
        ++m_work->pending;
    }
    m_checking.post([work = m_work, job = std::move(job)](const platform::CancelFlag &cancelled) {
        job(*work, cancelled);
        const std::lock_guard<std::mutex> lock(work->mutex);
        if (--work->pending == 0)
            work->receiver->post([checker = work->checker] { emit checker->idle(); });
    });
}

RomChecker::Work::Databases RomChecker::Work::databases()
{
    // Read by whichever thread asks first; another that asks meanwhile waits for it.
    std::call_once(datsRead, [this] {
        auto read = std::make_shared<RomDatabase>();
        QStringList errors;
        for (const QString &folder : places.datFolders)
            read->addFolder(folder, &errors);
        if (!errors.isEmpty())
            tell(QStringLiteral("These ROM databases could not be read; the others are used.\n\n") + errors.join(QLatin1Char('\n')));
        dats = std::move(read);
    });
    return dats;
}

void RomChecker::check(const QString &folder, const QByteArray &names)
{
    {
        const std::lock_guard<std::mutex> lock(m_work->mutex);
        m_work->waiting[folder] = names;
    }
    post([](Work &work, const platform::CancelFlag &cancelled) { work.checkNextFolder(cancelled); });
}

void RomChecker::inspect(const QString &path, std::function<void(const RomFacts &)> done)
{
    m_inspecting.post([work = m_work, path, done = std::move(done)](const platform::CancelFlag &cancelled) {
        ArchiveListing listing;
        RomIdentity identity = identifyRomOrArchive(path, WholeFileSums::Both, cancelled.asCheck(), &listing);
        if (cancelled.isSet())
            return;
        const Work::Databases known = work->databases();
        RomFacts facts = judgeRom(std::move(identity), known.get());
        if (isArchiveName(platform::toUtf8Lossless(path)))
            facts.archive = std::make_shared<const ArchiveListing>(std::move(listing));
        work->receiver->post([facts = std::move(facts), done] { done(facts); });
    });
}

void RomChecker::keepArchive(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing)
{
    post([folder, name, stamp, listing = std::move(listing)](Work &work, const platform::CancelFlag &) mutable {
        work.openLibraryOnce();
        work.keepAndShow(folder, name, stamp, std::move(listing));
    });
}

void RomChecker::identifyArchive(const QString &folder, const QByteArray &name, std::function<void(const QByteArray &)> done)
{
    post([folder, name, done = std::move(done)](Work &work, const platform::CancelFlag &cancelled) {
        work.openLibraryOnce();
        const platform::FileStamp stamp = platform::fileStamp(folder, name);
        ArchiveListing listing = listArchive(joined(folder, platform::fromUtf8Lossless(name)), cancelled.asCheck());
        QByteArray sha1;
        if (!listing.roms.empty() && listing.roms.front().isRead()) {
            sha1 = listing.roms.front().data.sha1;
            work.keepAndShow(folder, name, stamp, std::move(listing));
        }
        work.receiver->post([done, sha1] { done(sha1); });
    });
}

std::unique_ptr<LibraryDatabase> RomChecker::Work::openLibrary(LibraryDatabase::Check check)
{
    QString message;
    std::unique_ptr<LibraryDatabase> opened = LibraryDatabase::open(places.databaseFile, &message, check, &closing);
    if (!message.isEmpty())
        tell(message);
    return opened;
}

void RomChecker::Work::openLibraryOnce()
{
    if (!library && !places.databaseFile.isEmpty() && !std::exchange(databaseTried, true)) {
        library = openLibrary(LibraryDatabase::Check::Later);
        libraryUnchecked = library != nullptr;
    }
}

bool RomChecker::Work::overtaken(const QString &folder, const platform::CancelFlag &cancelled)
{
    if (cancelled.isSet())
        return true;
    const std::lock_guard<std::mutex> lock(mutex);
    return waiting.count(folder) > 0;
}

void RomChecker::Work::checkNextFolder(const platform::CancelFlag &cancelled)
{
    QString folder;
    QByteArray names;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (waiting.empty())
            return; // an earlier job took it: a folder asked for twice is checked once
        auto next = waiting.begin();
        folder = next->first;
        names = std::move(next->second);
        waiting.erase(next);
    }
    checkFolder(folder, names, cancelled);
}

std::vector<platform::FileStamp> RomChecker::Work::takeStamps(const QString &folder, const QByteArray &names,
                                                              const std::function<void()> &meanwhile)
{
    // In pieces, by whichever thread is free: a helper starts at once, and this one joins it once
    // it has done what it does meanwhile (reading the database).
    constexpr qsizetype kStampsPerPiece = 128;
    struct Piece {
        QByteArrayView names;
        std::vector<platform::FileStamp> stamps;
    };
    std::vector<Piece> pieces;
    for (qsizetype at = 0, from = 0, count = 0; at < names.size(); ++count) {
        const qsizetype end = names.indexOf('\0', at);
        at = end < 0 ? names.size() : end + 1;
        if (count % kStampsPerPiece == kStampsPerPiece - 1 || at == names.size()) {
            pieces.push_back({QByteArrayView(names.constData() + from, at - from), {}});
            from = at;
        }
    }
    std::atomic<size_t> next{0};
    const auto take = [&] {
        for (size_t piece; (piece = next++) < pieces.size();)
            pieces[piece].stamps = platform::fileStamps(folder, pieces[piece].names);
    };
    runBeside(helpers, take, [&] {
        meanwhile();
        take();
    });
    std::vector<platform::FileStamp> all;
    for (Piece &piece : pieces)
        all.insert(all.end(), piece.stamps.begin(), piece.stamps.end());
    return all;
}

std::vector<ArchiveListing> RomChecker::Work::listArchives(const QString &folder,
                                                           const std::vector<std::pair<QByteArray, platform::FileStamp>> &toRead,
                                                           size_t from, size_t to, const std::function<bool()> &overtaken)
{
    std::vector<ArchiveListing> listings(to - from);
    std::atomic<size_t> next{from};
    const auto list = [&] {
        for (size_t at; (at = next++) < to && !overtaken();)
            listings[at - from] = listArchive(joined(folder, platform::fromUtf8Lossless(toRead[at].first)), overtaken);
    };
    if (to - from > 1)
        runBeside(helpers, list, list);
    else
        list();
    return listings;
}

void RomChecker::Work::keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing)
{
    listing.stamp = stamp;
    if (library && stamp.size >= 0)
        library->keepChecks(platform::toUtf8Lossless(folder), {{name, stamp, encodeListing(listing), {}}}, {}, nullptr);
    RomFactsByName facts;
    facts.insert(name, judgeArchive(std::move(listing), databases().get()));
    show(folder, std::move(facts));
}

void RomChecker::Work::checkFolder(const QString &folder, const QByteArray &names, const platform::CancelFlag &cancelled)
{
    const QByteArray key = platform::toUtf8Lossless(folder);
    const Databases known = databases();
    // What was found before is judged while the stamps are still being taken.
    RomFactsByName knownFacts;
    QHash<QByteArray, platform::FileStamp> knownStamps; // by the same keys, shared
    // The files' stamps are taken while the database is read: the two wait on different things.
    const std::vector<platform::FileStamp> stamps = takeStamps(folder, names, [&] {
        openLibraryOnce();
        std::vector<CheckedFile> rows = library ? library->checkedFiles(key) : std::vector<CheckedFile>();
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
        if (std::exchange(libraryUnchecked, false) && !library->isSound()) {
            library.reset(); // closed first: Windows moves no file that is open
            library = openLibrary(LibraryDatabase::Check::AtOpen);
            knownFacts.clear();
            knownStamps.clear();
        }
    });

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
    if (overtaken(folder, cancelled))
        return;
    for (auto gone = knownStamps.keyBegin(); gone != knownStamps.keyEnd(); ++gone)
        knownFacts.remove(*gone);
    if (!knownFacts.isEmpty())
        show(folder, std::move(knownFacts));
    if (library && !knownStamps.isEmpty()) // the files no longer there are forgotten
        library->keepChecks(key, {}, std::vector<QByteArray>(knownStamps.keyBegin(), knownStamps.keyEnd()), nullptr);

    std::vector<CheckedFile> toKeep;
    RomFactsByName batch;
    QDeadlineTimer nextBatch(kBatchMs);
    auto keepChecks = [&] {
        QString error;
        if (library && !library->keepChecks(key, toKeep, {}, &error))
            qWarning("Quorvane: ROM checks not saved: %s", qPrintable(error));
        toKeep.clear();
    };
    auto post = [&] {
        if (!batch.isEmpty())
            show(folder, std::exchange(batch, {}));
        nextBatch.setRemainingTime(kBatchMs);
    };
    const std::function<bool()> isOvertaken = [&] { return overtaken(folder, cancelled); };
    for (size_t at = 0; at < toRead.size();) {
        if (isOvertaken())
            break;
        const auto &[name, stamp] = toRead[at];
        if (isArchiveName(name)) {
            size_t end = at;
            while (end < toRead.size() && end - at < kArchivesAtOnce && isArchiveName(toRead[end].first))
                ++end;
            std::vector<ArchiveListing> listings = listArchives(folder, toRead, at, end, isOvertaken);
            if (isOvertaken())
                break;
            for (ArchiveListing &listing : listings) {
                const auto &[archive, archiveStamp] = toRead[at++];
                listing.stamp = archiveStamp;
                toKeep.push_back({archive, archiveStamp, encodeListing(listing), {}});
                batch.insert(archive, judgeArchive(std::move(listing), known.get()));
            }
        } else {
            ++at;
            RomIdentity identity = identifyRom(joined(folder, platform::fromUtf8Lossless(name)), WholeFileSums::CrcOnly, isOvertaken);
            if (identity.error.isEmpty())
                toKeep.push_back({name, stamp, identity.header, identity.data});
            else if (isOvertaken())
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
