#include "library/folders/rememberedselection.h"

#include "config/profilefile.h"
#include "platform/workqueue.h"
#include "platform/receiver.h"
#include "platform/dirscan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace library {

namespace {

const QString kSection = QStringLiteral("Quorvane Selection");
constexpr qint64 kMaxFileSize = 64 * 1024; // a few names: anything larger is no file of ours
constexpr int kWriteAttempts = 5;

QString folderKey(int slot) { return QStringLiteral("Folder%1").arg(slot + 1); }
QString romKey(int slot) { return QStringLiteral("Rom%1").arg(slot + 1); }

// The orders as the file names them, by RomOrder.
const std::array<QLatin1String, 4> kOrderNames{QLatin1String("Name"), QLatin1String("MostPlayed"), QLatin1String("LastPlayed"),
                                               QLatin1String("RecentlyAdded")};
constexpr int kLargestSide = 32767; // Qt's largest window

bool breaksLine(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0));
}

} // namespace

RememberedSelection readRememberedSelection(const QString &path)
{
    RememberedSelection selection;
    QFile file;
    if (path.isEmpty() || !platform::openRegularFile(path, file) || file.size() > kMaxFileSize)
        return selection;
    const QByteArray contents = file.read(kMaxFileSize);
    const auto value = [&contents](const char *key) { return profile::profileValue(contents, kSection, QLatin1String(key)).value_or(QString()); };
    selection.showTitles = value("ShowTitles") == QLatin1String("1");
    selection.showCovers = value("Covers") == QLatin1String("1");
    selection.maximised = value("Maximised") == QLatin1String("1");
    const QString order = value("SortBy");
    for (size_t i = 0; i < kOrderNames.size(); ++i) {
        if (order == kOrderNames[i])
            selection.order = RomOrder(i);
    }
    bool wide = false, high = false;
    const QSize size(value("Width").toInt(&wide), value("Height").toInt(&high));
    if (wide && high && size.width() > 0 && size.height() > 0 && size.width() <= kLargestSide && size.height() <= kLargestSide)
        selection.windowSize = size;
    bool ok = false;
    const int tab = profile::profileValue(contents, kSection, QStringLiteral("Tab")).value_or(QString()).toInt(&ok);
    if (!ok || tab < 0 || tab >= int(selection.roms.size()))
        return selection;
    selection.tab = tab;
    for (int slot = 0; slot < int(selection.roms.size()); ++slot) {
        selection.folders[size_t(slot)] = profile::profileValue(contents, kSection, folderKey(slot)).value_or(QString());
        selection.roms[size_t(slot)] = profile::profileValue(contents, kSection, romKey(slot)).value_or(QString());
    }
    return selection;
}

bool writeRememberedSelection(const QString &path, const RememberedSelection &selection, QString *error)
{
    QList<profile::KeyValue> values{{QStringLiteral("Tab"), QString::number(selection.tab)},
                                    {QStringLiteral("ShowTitles"), selection.showTitles ? QStringLiteral("1") : QStringLiteral("0")},
                                    {QStringLiteral("Covers"), selection.showCovers ? QStringLiteral("1") : QStringLiteral("0")},
                                    {QStringLiteral("SortBy"), kOrderNames.at(size_t(selection.order))},
                                    {QStringLiteral("Maximised"), selection.maximised ? QStringLiteral("1") : QStringLiteral("0")}};
    if (selection.windowSize.isValid()) {
        values.append({QStringLiteral("Width"), QString::number(selection.windowSize.width())});
        values.append({QStringLiteral("Height"), QString::number(selection.windowSize.height())});
    }
    for (int slot = 0; slot < int(selection.roms.size()); ++slot) {
        QString folder = selection.folders[size_t(slot)];
        QString rom = selection.roms[size_t(slot)];
        // A name with a line break in it cannot stand in the file: that tab remembers nothing.
        if (breaksLine(folder) || breaksLine(rom)) {
            folder.clear();
            rom.clear();
        }
        values.append({folderKey(slot), folder});
        values.append({romKey(slot), rom});
    }
    // The user's data folder may not exist yet.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return profile::WritePrivateProfileStrings(kSection, values, path, error);
}

struct SelectionKeeper::Writer {
    std::mutex mutex;
    std::optional<RememberedSelection> pending;
    bool writing = false;
};

SelectionKeeper::SelectionKeeper(const QString &path, QObject *parent)
    : QObject(parent), m_path(path), m_writer(std::make_shared<Writer>())
{
    qRegisterMetaType<RememberedSelection>();
}

std::optional<RememberedSelection> SelectionKeeper::load(std::chrono::milliseconds patience)
{
    // Detached: a file on a disk that does not answer holds nothing up, closing included.
    auto read = std::make_shared<std::promise<RememberedSelection>>();
    std::future<RememberedSelection> came = read->get_future();
    m_queue.post([receiver = platform::Receiver::of(this), this, path = m_path, read](const platform::CancelFlag &) {
        const RememberedSelection selection = readRememberedSelection(path);
        read->set_value(selection);
        receiver->post([this, selection] { emit loaded(selection); });
    });
    if (patience.count() > 0 && came.wait_for(patience) == std::future_status::ready)
        return came.get();
    return std::nullopt;
}

void SelectionKeeper::keep(const RememberedSelection &selection)
{
    const std::lock_guard<std::mutex> lock(m_writer->mutex);
    m_writer->pending = selection;
    if (std::exchange(m_writer->writing, true))
        return; // the running write takes it next
    m_queue.post([writer = m_writer, path = m_path](const platform::CancelFlag &) {
        std::unique_lock<std::mutex> lock(writer->mutex);
        while (writer->pending) {
            const RememberedSelection next = *std::exchange(writer->pending, std::nullopt);
            lock.unlock();
            // Windows now and then refuses to replace a file replaced a moment before (Access
            // denied): a few tries, a moment apart.
            QString error;
            for (int attempt = 1; !writeRememberedSelection(path, next, &error); ++attempt) {
                if (attempt == kWriteAttempts) {
                    qWarning("The ROMs last selected could not be saved in %s: %s", qPrintable(path), qPrintable(error));
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            lock.lock();
        }
        writer->writing = false;
    });
}

} // namespace library
