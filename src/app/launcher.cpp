#include "app/launcher.h"

#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "library/archives/romcache.h"
#include "platform/filenames.h"
#include "platform/receiver.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace app {

namespace {

constexpr qint64 kEarlyExitMs = 5000; // an end later than this is the user quitting
constexpr int kLogLinesShown = 10;
const QString kLaunchLogName = QStringLiteral("last-launch.log");

QString shownPath(const QString &path) { return platform::displayName(QDir::toNativeSeparators(path)); }

// The last lines the emulator wrote after the log's header, read from at most its last 64 KB.
QStringList lastLines(const QString &path, qint64 headerSize, int count)
{
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const qint64 from = std::max(headerSize, log.size() - 64 * 1024);
    if (!log.seek(from))
        return {};
    QStringList lines = QString::fromUtf8(log.read(64 * 1024)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    return lines.mid(std::max<qsizetype>(0, lines.size() - count));
}

// The emulator's log for this launch: the time and the command line, the emulator's output to
// follow. Empty when it cannot be written (the output then goes where it goes without it).
QString startLaunchLog(const QString &logFolder, const QString &commandLine, const QString &origin,
                       const platform::Command &command, qint64 *headerSize)
{
    if (logFolder.isEmpty() || !QDir().mkpath(logFolder))
        return QString();
    const QString path = QDir(logFolder).filePath(kLaunchLogName);
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    // The names keep their bytes, so that the log names files that exist.
    const QByteArray header = platform::toUtf8Lossless(QStringLiteral("%1  Quorvane started the emulator\n%2\nin %3\n%4\n")
                                                           .arg(QDateTime::currentDateTime().toString(Qt::ISODate), commandLine,
                                                                QDir::toNativeSeparators(command.workingFolder), origin));
    if (log.write(header) != header.size() || !log.flush())
        return QString();
    *headerSize = header.size();
    return path;
}

} // namespace

struct Launcher::Shared {
    Places places;
    std::shared_ptr<platform::Receiver> receiver;
    Launcher *launcher; // reached only through the receiver

    void fail(const QString &message) const
    {
        receiver->post([launcher = launcher, message] { emit launcher->failed(message); });
    }
};

// One start: the ROM, and the options and working folder as they stood when it was asked for.
struct Launcher::Request {
    quint64 launch = 0;
    LaunchOptions options;
    QString workingFolder;
    QString folder;   // the ROM's
    QString fileName;
    QByteArray game;  // its identity when known
    QString archive;  // a zipped ROM's archive, and the entry it was unpacked from
    QString entry;
};

// A ROM of an archive to start, from its listing to the emulator.
struct Launcher::ArchiveStart {
    Request request;
    QString path;
    platform::FileStamp stamp; // the archive's, as it was listed
    library::ArchiveListing listing;
    size_t chosen = 0;
    QString listedFolder; // its folder as a list shows it; empty when none does
    QPointer<library::RomChecker> checker;
};

Launcher::Launcher(Places places, library::RomChecker *checker, EntryChooser chooseEntry, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_chooseEntry(std::move(chooseEntry))
{
    m_shared->places = std::move(places);
    m_shared->receiver = platform::Receiver::of(this);
    m_shared->launcher = this;
    m_checker = checker;
}

Launcher::Request Launcher::request(const LaunchOptions &options)
{
    Request request;
    request.launch = ++m_launches;
    request.options = options;
    request.workingFolder = QDir::currentPath();
    return request;
}

void Launcher::start(const library::RomEntry &entry, const LaunchOptions &options)
{
    if (!entry.isValid())
        return;
    // The folder the list shows, not the one the file holds now: another program may have saved
    // other folders since, and the user starts only what they see.
    if (entry.isArchive)
        startArchive(entry.path, entry.archive, entry.folder, options);
    else
        startRom(entry.folder, entry.fileName, entry.game, options);
}

void Launcher::startFile(const QString &path, platform::PathKind kind, const LaunchOptions &options, const QString &listedFolder)
{
    const QFileInfo file(path);
    const bool archive = library::isArchiveName(platform::toUtf8Lossless(file.fileName()));
    QString reason;
    if (kind == platform::PathKind::Missing)
        reason = QStringLiteral("The file does not exist.");
    else if (kind != platform::PathKind::RegularFile)
        reason = QStringLiteral("It is not a file.");
    else if (!file.fileName().endsWith(QStringLiteral(".nes"), Qt::CaseInsensitive) && !archive)
        reason = QStringLiteral("It is no ROM that Quorvane lists: their names end in \".nes\", \".zip\" or \".7z\".");
    if (!reason.isEmpty())
        emit failed(QStringLiteral("%1 cannot be started.\n\n%2").arg(shownPath(path), reason));
    else if (archive)
        startArchive(file.absoluteFilePath(), nullptr, listedFolder, options);
    else
        startRom(file.absolutePath() + QLatin1Char('/'), file.fileName(), {}, options);
}

void Launcher::startRom(const QString &folder, const QString &fileName, const QByteArray &game, const LaunchOptions &options)
{
    Request started = request(options);
    started.folder = folder;
    started.fileName = fileName;
    started.game = game;
    m_starting.post([shared = std::shared_ptr<const Shared>(m_shared), started](const platform::CancelFlag &) {
        startEmulator(shared, started);
    });
}

void Launcher::startArchive(const QString &path, std::shared_ptr<const library::ArchiveListing> known, const QString &listedFolder,
                            const LaunchOptions &options)
{
    if (m_shared->places.romCacheFolder.isEmpty() && !options.emulator.definition.readsArchive(path)) {
        emit failed(QStringLiteral("%1 cannot be started: there is no folder to unpack it into.").arg(shownPath(path)));
        return;
    }
    ArchiveStart job;
    job.request = request(options);
    job.path = path;
    job.listedFolder = listedFolder;
    job.checker = m_checker;
    // Listed afresh when it changed since its row was checked; what its row knows of each ROM
    // spares reading it again when the ROM is cached.
    m_starting.post([this, shared = std::shared_ptr<const Shared>(m_shared), job = std::move(job),
                     known = std::move(known)](const platform::CancelFlag &cancelled) mutable {
        const QFileInfo file(job.path);
        job.stamp = platform::fileStamp(file.absolutePath(), platform::toUtf8Lossless(file.fileName()));
        if (known && known->problem.isEmpty() && job.stamp.size >= 0 && known->stamp == job.stamp) {
            job.listing = *known;
        } else {
            job.listing = library::listArchive(job.path, cancelled.asCheck(), library::Reading::NamesOnly); // its ROM is read next
            if (known) { // the same ROMs, read before
                for (library::ArchiveEntry &entry : job.listing.roms) {
                    const auto was = std::find_if(known->roms.cbegin(), known->roms.cend(), [&entry](const library::ArchiveEntry &rom) {
                        return rom.isRead() && rom.name == entry.name && rom.size == entry.size;
                    });
                    if (was != known->roms.cend())
                        entry = *was;
                }
            }
        }
        if (cancelled.isSet())
            return;
        if (!job.listing.problem.isEmpty() || job.listing.roms.empty()) {
            shared->fail(QStringLiteral("%1 cannot be started.\n\n%2")
                             .arg(shownPath(job.path), job.listing.problem.isEmpty()
                                                           ? QStringLiteral("It holds no NES ROM.")
                                                           : QStringLiteral("It cannot be used: %1.").arg(job.listing.problem)));
            return;
        }
        if (job.listing.roms.size() == 1 && job.request.options.emulator.definition.readsArchive(job.path))
            startWhole(shared, std::move(job));
        else if (job.listing.roms.size() == 1)
            unpackAndStart(shared, std::move(job));
        else // this is reached only while the launcher lives
            shared->receiver->post([this, job = std::move(job)]() mutable { chooseAndStart(std::move(job)); });
    });
}

void Launcher::chooseAndStart(ArchiveStart job)
{
    QStringList names;
    for (const library::ArchiveEntry &entry : job.listing.roms)
        names << platform::displayName(platform::fromUtf8Lossless(entry.name));
    const int chosen = m_chooseEntry ? m_chooseEntry(platform::displayName(QFileInfo(job.path).fileName()), names) : -1;
    if (chosen < 0 || size_t(chosen) >= job.listing.roms.size())
        return;
    job.chosen = size_t(chosen);
    m_starting.post([shared = std::shared_ptr<const Shared>(m_shared), job = std::move(job)](const platform::CancelFlag &) mutable {
        unpackAndStart(shared, std::move(job));
    });
}

void Launcher::startWhole(const std::shared_ptr<const Shared> &shared, ArchiveStart job)
{
    Request &request = job.request;
    const QFileInfo file(job.path);
    request.folder = QDir::toNativeSeparators(file.absolutePath() + QLatin1Char('/'));
    request.fileName = file.fileName();
    request.game = job.listing.roms.front().data.sha1; // known when its row was checked
    request.archive = job.path;
    startEmulator(shared, request);
}

void Launcher::unpackAndStart(const std::shared_ptr<const Shared> &shared, ArchiveStart job)
{
    library::ArchiveEntry &entry = job.listing.roms[job.chosen];
    const bool known = entry.isRead();
    library::RomCache cache(shared->places.romCacheFolder, shared->places.romCacheCap);
    QString error;
    library::RomCache::Unpacked unpacked;
    if (cache.open(&error, library::RomCache::Leftovers::Keep)) // those are removed at start-up
        unpacked = cache.unpack(job.path, entry);
    else
        unpacked.error = error;
    if (!unpacked.error.isEmpty()) {
        shared->fail(unpacked.error);
        return;
    }
    const QFileInfo file(unpacked.file);
    Request &request = job.request;
    request.folder = QDir::toNativeSeparators(file.absolutePath() + QLatin1Char('/'));
    request.fileName = file.fileName();
    request.game = entry.data.sha1;
    request.archive = job.path;
    request.entry = platform::fromUtf8Lossless(entry.name);
    startEmulator(shared, request);
    cache.trim(file.absolutePath());
    // Its identity is stored with the archive, under the folder as its list names it: its row,
    // favourite and plays follow the game from now on.
    if (!known && !job.listedFolder.isEmpty() && job.stamp.size >= 0) {
        shared->receiver->post([checker = job.checker, folder = job.listedFolder, name = platform::toUtf8Lossless(QFileInfo(job.path).fileName()),
                                stamp = job.stamp, listing = std::move(job.listing)] {
            if (checker)
                checker->keepArchive(folder, name, stamp, listing);
        });
    }
}

void Launcher::startEmulator(const std::shared_ptr<const Shared> &shared, const Request &request)
{
    const LaunchOptions &options = request.options;
    const QString romPath = launch::romPath(request.folder, request.fileName);
    launch::LaunchPlan plan;
    QString error;
    bool started = launch::planLaunch(options.emulator, romPath, {options.resolution, options.sound, options.controller},
                                      shared->places.applicationFolder, &plan, &error);
    if (!plan.refound.id.isEmpty())
        shared->receiver->post([launcher = shared->launcher, found = plan.refound] { emit launcher->emulatorRefound(found); });
    if (started) {
        plan.command.workingFolder = request.workingFolder;
        qint64 headerSize = 0;
        // An unpacked ROM's log names where it came from, so that the launch can be repeated.
        const QString origin = request.archive.isEmpty() || request.entry.isEmpty()
            ? QString()
            : QStringLiteral("the ROM %1 of the archive %2, unpacked to %3\n")
                  .arg(request.entry, QDir::toNativeSeparators(request.archive), QDir::toNativeSeparators(romPath));
        plan.command.outputFile = startLaunchLog(shared->places.logFolder, plan.commandLine, origin, plan.command, &headerSize);
        const platform::ExitWatch watch{shared->receiver, [shared, launch = request.launch, program = plan.tried,
                                                           log = plan.command.outputFile, headerSize](const platform::ProcessExit &exit) {
                                            emit shared->launcher->ended(launch, exit.runMs);
                                            reportEarlyExit(shared, exit, program, log, headerSize);
                                        }};
        started = shared->places.start(plan.command, watch, &error);
    }
    if (started) {
        shared->receiver->post([launcher = shared->launcher, launch = request.launch,
                                path = request.archive.isEmpty() ? romPath : request.archive, game = request.game] {
            emit launcher->started(launch, path, game);
        });
    } else {
        shared->fail(QStringLiteral("The emulator could not be started.\n\n%1\n%2").arg(plan.tried, error));
    }
}

void Launcher::reportEarlyExit(const std::shared_ptr<const Shared> &shared, const platform::ProcessExit &exit, const QString &program,
                               const QString &log, qint64 headerSize)
{
    if (!exit.failed() || exit.runMs > kEarlyExitMs)
        return;
    // The log is read on the queue: it may be on a share.
    shared->launcher->m_starting.post([shared, exit, program, log, headerSize](const platform::CancelFlag &) {
        QString text = QStringLiteral("The emulator ended with a failure as it started.\n\n%1\n%2")
                           .arg(QDir::toNativeSeparators(program), exit.inWords());
        if (!log.isEmpty()) {
            const QStringList lines = lastLines(log, headerSize, kLogLinesShown);
            if (!lines.isEmpty())
                text += QStringLiteral("\n\nIts last words:\n") + lines.join(QLatin1Char('\n'));
            text += QStringLiteral("\n\nIts whole output is in %1").arg(QDir::toNativeSeparators(log));
        }
        shared->fail(text);
    });
}

} // namespace app
