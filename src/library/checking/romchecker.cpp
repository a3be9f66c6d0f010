#include "library/checking/romchecker.h"

#include "library/checking/datfolder.h"
#include "library/database/librarydatabase.h"
#include "platform/filenames.h"
#include "platform/memory.h"
#include "platform/receiver.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <numeric>

namespace library {

namespace {

constexpr int kBatchMs = 150;        // facts reach the list at least this often while a folder is read
constexpr int kFilesPerCommit = 500; // checks saved in one transaction
constexpr size_t kFactsPerBatch = 20000; // at most, in one batch: each is small
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

// Where each name of a names buffer starts, in its order.
std::vector<quint32> startsOf(const QByteArray &names)
{
    std::vector<quint32> starts;
    for (qsizetype at = 0; at < names.size();) {
        starts.push_back(quint32(at));
        const qsizetype end = names.indexOf('\0', at);
        at = end < 0 ? names.size() : end + 1;
    }
    return starts;
}

// The facts of an archive's listing; when a ROM database needs sums the listing did not compute,
// the archive is listed again with every sum.
RomFacts judgeAllSummed(const QString &path, ArchiveListing listing, const RomDatabase *databases, const std::function<bool()> &cancelled)
{
    const platform::FileStamp stamp = listing.stamp;
    RomFacts facts = judgeArchive(listing, databases);
    if (!facts.needsEverySum)
        return facts;
    ArchiveListing again = listArchive(path, cancelled, Reading::EverySum);
    again.stamp = stamp;
    return judgeArchive(std::move(again), databases);
}

// The same for a ROM file.
RomFacts judgeAllSummed(const QString &path, RomIdentity identity, const RomDatabase *databases, const std::function<bool()> &cancelled)
{
    RomFacts facts = judgeRom(identity, databases);
    return facts.needsEverySum ? judgeRom(identifyRom(path, WholeFileSums::Every, cancelled), databases) : facts;
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
    std::vector<platform::FileStamp> takeStamps(const QString &folder, const QByteArray &names, const std::vector<quint32> &starts,
                                                const std::function<void()> &meanwhile);
    std::vector<ArchiveListing> listArchives(const QString &folder, const std::vector<QByteArray> &names, const std::function<bool()> &overtaken);
    void keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing);
    void show(const QString &folder, CheckedBatch facts, const std::function<bool()> &overtaken = {});
    std::mutex showing;
    std::condition_variable shownOne;
    int unshown = 0; // batches posted that the checker has not yet passed on
    void tell(const QString &message)
    {
        receiver->post([checker = checker, message] { emit checker->problem(message); });
    }
};

// Facts are sent a batch at a time, and no faster than the window takes them: the batches waiting
// for it stay few, whatever the folder's size.
void RomChecker::Work::show(const QString &folder, CheckedBatch facts, const std::function<bool()> &overtaken)
{
    constexpr int kWaitingAtMost = 2;
    for (std::unique_lock<std::mutex> lock(showing); unshown >= kWaitingAtMost;) {
        if (shownOne.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::no_timeout)
            continue;
        lock.unlock(); // a checker gone takes none: what is still to be shown is given up
        if (closing || (overtaken && overtaken()))
            return;
        lock.lock();
    }
    {
        const std::lock_guard<std::mutex> lock(showing);
        ++unshown;
    }
    receiver->post([work = this, checker = checker, folder, facts = std::move(facts)] {
        emit checker->checked(folder, facts);
        const std::lock_guard<std::mutex> lock(work->showing);
        --work->unshown;
        work->shownOne.notify_all();
    });
}

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
            readDatFolder(*read, folder, &errors);
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
        RomIdentity identity = identifyRomOrArchive(path, WholeFileSums::Every, cancelled.asCheck(), &listing);
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
    if (names.size() >= platform::kWorthGivingBack)
        platform::giveBackFreedMemory(); // the folder's stamps and order
}

std::vector<platform::FileStamp> RomChecker::Work::takeStamps(const QString &folder, const QByteArray &names,
                                                              const std::vector<quint32> &starts, const std::function<void()> &meanwhile)
{
    // In pieces, by whichever thread is free: a helper starts at once, and this one joins it once
    // it has done what it does meanwhile (opening the database).
    constexpr size_t kStampsPerPiece = 128;
    const size_t count = starts.size();
    const size_t pieces = (count + kStampsPerPiece - 1) / kStampsPerPiece;
    std::vector<platform::FileStamp> all(count);
    std::atomic<size_t> next{0};
    const auto take = [&] {
        for (size_t piece; (piece = next++) < pieces;) {
            const size_t first = piece * kStampsPerPiece, end = std::min(count, first + kStampsPerPiece);
            const qsizetype to = end < count ? qsizetype(starts[end]) : names.size();
            const std::vector<platform::FileStamp> stamps =
                platform::fileStamps(folder, QByteArrayView(names.constData() + starts[first], to - starts[first]));
            std::copy_n(stamps.begin(), std::min(stamps.size(), all.size() - first), all.begin() + qsizetype(first));
        }
    };
    runBeside(helpers, take, [&] {
        meanwhile();
        take();
    });
    return all;
}

std::vector<ArchiveListing> RomChecker::Work::listArchives(const QString &folder, const std::vector<QByteArray> &names,
                                                           const std::function<bool()> &overtaken)
{
    std::vector<ArchiveListing> listings(names.size());
    std::atomic<size_t> next{0};
    const auto list = [&] {
        for (size_t at; (at = next++) < names.size() && !overtaken();)
            listings[at] = listArchive(joined(folder, platform::fromUtf8Lossless(names[at])), overtaken);
    };
    if (names.size() > 1)
        runBeside(helpers, list, list);
    else
        list();
    return listings;
}

void RomChecker::Work::keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing)
{
    listing.stamp = stamp;
    RomFacts facts = judgeAllSummed(joined(folder, platform::fromUtf8Lossless(name)), std::move(listing), databases().get(), {});
    if (library && stamp.size >= 0)
        library->keepChecks(platform::toUtf8Lossless(folder), {{name, stamp, encodeListing(*facts.archive), {}, {}}}, {}, nullptr);
    CheckedBatch batch;
    batch.add(name, facts);
    show(folder, std::move(batch));
}

namespace {

// What a check kept of an unchanged file, judged anew (the ROM databases may have changed);
// false for an archive listed before its ROMs were identified as they are listed: it is read again.
bool judgeKept(CheckedFile &file, const RomDatabase *databases, RomFacts *facts)
{
    if (isArchiveName(file.name)) { // what it holds is kept where a ROM's header is
        ArchiveListing listing;
        if (!decodeListing(file.header, &listing)
            || std::any_of(listing.roms.cbegin(), listing.roms.cend(), [](const ArchiveEntry &rom) { return !rom.isRead(); }))
            return false;
        listing.stamp = file.stamp;
        *facts = judgeArchive(std::move(listing), databases);
        return !facts->needsEverySum;
    }
    const bool matched = databases && !databases->isEmpty();
    *facts = judgeRom(keptIdentity(file.stamp.size, std::move(file.header), std::move(file.sums), file.moreSums, matched), databases);
    return !facts->needsEverySum; // read again, with every sum
}

} // namespace

void RomChecker::Work::checkFolder(const QString &folder, const QByteArray &names, const platform::CancelFlag &cancelled)
{
    const QByteArray key = platform::toUtf8Lossless(folder);
    const Databases known = databases();
    const std::vector<quint32> starts = startsOf(names);
    const auto nameAt = [&](quint32 ordinal) { return QByteArrayView(names.constData() + starts[ordinal]); };
    const std::function<bool()> isOvertaken = [&] { return overtaken(folder, cancelled); };
    // The files' stamps are taken while the database is opened and, the first time, checked
    // whole: the two wait on different things. A damaged one is put aside, and nothing it held is
    // used.
    const std::vector<platform::FileStamp> stamps = takeStamps(folder, names, starts, [&] {
        openLibraryOnce();
        if (std::exchange(libraryUnchecked, false) && !library->isSound()) {
            library.reset(); // closed first: Windows moves no file that is open
            library = openLibrary(LibraryDatabase::Check::AtOpen);
        }
    });
    if (isOvertaken())
        return;

    CheckedBatch batch(names);
    QDeadlineTimer nextBatch(kBatchMs);
    auto post = [&] {
        if (!batch.isEmpty())
            show(folder, std::exchange(batch, CheckedBatch(names)), isOvertaken);
        nextBatch.setRemainingTime(kBatchMs);
    };
    auto postNowAndThen = [&] {
        if (batch.size() >= kFactsPerBatch || nextBatch.hasExpired())
            post();
    };
    // A file whose stamp is unchanged shows what it held, at once; the others are read after.
    std::vector<bool> shown(starts.size(), false);
    std::vector<QByteArray> gone;
    if (library) {
        std::vector<quint32> byName(starts.size()); // the ordinals in the order of the names' bytes
        std::iota(byName.begin(), byName.end(), 0u);
        std::sort(byName.begin(), byName.end(), [&](quint32 a, quint32 b) { return nameAt(a) < nameAt(b); });
        library->forEachCheckedFile(key, [&](CheckedFile &file) {
            const auto found = std::lower_bound(byName.cbegin(), byName.cend(), file.name,
                                                [&](quint32 ordinal, const QByteArray &name) { return nameAt(ordinal) < name; });
            if (found == byName.cend() || nameAt(*found) != file.name || stamps[*found].size < 0) {
                gone.push_back(std::move(file.name)); // forgotten below
                return !isOvertaken();
            }
            RomFacts facts;
            if (stamps[*found] == file.stamp && judgeKept(file, known.get(), &facts)) {
                shown[*found] = true;
                batch.add(*found, facts);
                postNowAndThen();
            }
            return !isOvertaken();
        });
    }
    if (isOvertaken())
        return;
    post();
    if (library && !gone.empty()) // the files no longer there are forgotten
        library->keepChecks(key, {}, gone, nullptr);
    gone = {};

    std::vector<CheckedFile> toKeep;
    auto keepChecks = [&] {
        QString error;
        if (library && !library->keepChecks(key, toKeep, {}, &error))
            qWarning("Quorvane: ROM checks not saved: %s", qPrintable(error));
        toKeep.clear();
    };
    const auto toRead = [&](quint32 ordinal) { return !shown[ordinal] && stamps[ordinal].size >= 0; };
    for (quint32 at = 0; at < starts.size();) {
        if (isOvertaken())
            break;
        if (!toRead(at)) {
            ++at;
            continue;
        }
        const QByteArray name = nameAt(at).toByteArray();
        if (isArchiveName(name)) {
            std::vector<quint32> ordinals;
            std::vector<QByteArray> archives;
            for (; at < starts.size() && archives.size() < kArchivesAtOnce; ++at) {
                if (!toRead(at))
                    continue;
                if (!isArchiveName(nameAt(at)))
                    break;
                ordinals.push_back(at);
                archives.push_back(nameAt(at).toByteArray());
            }
            std::vector<ArchiveListing> listings = listArchives(folder, archives, isOvertaken);
            if (isOvertaken())
                break;
            for (size_t i = 0; i < listings.size(); ++i) {
                listings[i].stamp = stamps[ordinals[i]];
                const RomFacts facts = judgeAllSummed(joined(folder, platform::fromUtf8Lossless(archives[i])), std::move(listings[i]),
                                                      known.get(), isOvertaken);
                if (isOvertaken())
                    break; // a listing cut short is never kept
                toKeep.push_back({archives[i], stamps[ordinals[i]], encodeListing(*facts.archive), {}, {}});
                batch.add(ordinals[i], facts);
            }
        } else {
            const QString path = joined(folder, platform::fromUtf8Lossless(name));
            const RomFacts facts = judgeAllSummed(path, identifyRom(path, WholeFileSums::CrcOnly, isOvertaken), known.get(), isOvertaken);
            const RomIdentity &identity = facts.identity;
            if (identity.error.isEmpty())
                toKeep.push_back({name, stamps[at], identity.header, identity.data, encodeMoreSums(identity)});
            else if (isOvertaken())
                break;
            batch.add(at, facts);
            ++at;
        }
        if (int(toKeep.size()) >= kFilesPerCommit)
            keepChecks();
        postNowAndThen();
    }
    keepChecks();
    post();
}

} // namespace library
