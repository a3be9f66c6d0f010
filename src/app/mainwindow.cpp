#include "app/mainwindow.h"

#include "config/romfolders.h"
#include "config/romslots.h"
#include "dialogs/aboutbox.h"
#include "dialogs/archiveentrydialog.h"
#include "dialogs/rominformationdialog.h"
#include "dialogs/romfoldersdialog.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "help/readme.h"
#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "library/folderwatcher.h"
#include "library/playhistory.h"
#include "library/romcache.h"
#include "library/romchecker.h"
#include "library/romshelf.h"
#include "platform/aside.h"
#include "platform/contextdoor.h"
#include "platform/cachefiles.h"
#include "platform/dirscan.h"
#include "platform/filenames.h"
#include "preview/snapshot.h"
#include "preview/snapshotloader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <utility>

namespace app {

namespace {

QString romCountCaption(int count) { return QStringLiteral("ROMs : ") + QString::number(count); }
// While a find query filters a list: "ROMs : K of N", K of its N rows shown.
QString romCountCaption(int shown, int count) { return romCountCaption(shown) + QStringLiteral(" of ") + QString::number(count); }

constexpr int kStartResolution = 4; // 320x240
constexpr int kStartController = 1; // Gamepad
constexpr qint64 kEarlyExitMs = 5000; // an end later than this is the user quitting
constexpr int kLogLinesShown = 10;
constexpr int kListingWaitMs = 200;     // a window not on screen by then is not waited for
constexpr int kDropsAfterMs = 500;      // drops are taken this long after the window first shows (X11)
const QString kLaunchLogName = QStringLiteral("last-launch.log");

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

MainWindow::MainWindow(AppContext context, QWidget *parent)
    : QMainWindow(parent), m_context(std::move(context)),
      m_romFolders(new config::RomFolders(m_context.configFiles, this)),
      m_snapshotLoader(new preview::SnapshotLoader(this))
{
    // The banner is decoded on another thread while the form is built.
    std::future<QImage> banner = std::async(std::launch::async, forms::bannerImage);
    m_form = forms::buildMainWindowForm(this);
    layout()->setSizeConstraint(QLayout::SetFixedSize); // not resizable: menu bar plus client area
    buildMenus();
    m_form.banner->setPicture(banner.get());

    m_watcher = new library::FolderWatcher(this);
    m_checker = new library::RomChecker({m_context.libraryFile, m_context.datFolders}, this);
    // The checker and the history each use the database: what is wrong with it is said once.
    auto tellOnce = [this](const QString &message) {
        if (!std::exchange(m_problemsSaid[message], true))
            m_context.notify(this, QStringLiteral("Quorvane"), message);
    };
    connect(m_checker, &library::RomChecker::problem, this, tellOnce);
    m_history = new library::PlayHistory(m_context.libraryFile, this);
    connect(m_history, &library::PlayHistory::problem, this, tellOnce);
    connect(m_history, &library::PlayHistory::changed, this, &MainWindow::showHistory);
    for (const config::RomSlot &slot : config::kRomSlots) {
        RomTab &tab = m_tabs[size_t(slot.index)];
        tab.list = m_form.romLists[size_t(slot.index)];
        tab.count = m_form.romCounts[size_t(slot.index)];
        // The list's ROMs and the archives that may hold some: those that hold none leave it once checked.
        tab.shelf = new library::RomShelf(tab.list->pattern() + QStringLiteral(";*.zip;*.7z"), m_context.applicationFolder,
                                          m_context.readFolder, m_watcher, this);
        tab.list->setModel(tab.shelf->filter());
        tab.shelf->setChecker(m_checker);
        connect(tab.shelf, &library::RomShelf::listed, this, [this, &tab, index = slot.index] {
            // A folder change while a query filters keeps the query, and the ROM selected if it stays.
            if (index == m_findSlot && tab.list->fileName().isEmpty() && !m_findSelected.isEmpty())
                tab.list->selectFile(m_findSelected);
            m_listed[size_t(index)] = true;
            if (m_restoring[size_t(index)])
                selectRemembered(index);
            updateCount(tab);
        });
        connect(tab.shelf->filter(), &QAbstractItemModel::rowsRemoved, this, [this, &tab] { updateCount(tab); });
        // What a check learns may name another picture: an archive's first ROM's, once it is known.
        connect(tab.shelf->model(), &QAbstractItemModel::dataChanged, this, [this, index = slot.index] {
            if (index == m_form.romTabs->currentIndex())
                previewSnapshot(index);
        });
        connect(tab.list, &forms::FileListBox::fileSelected, this, [this, &tab, index = slot.index] {
            const QString selected = tab.list->fileName();
            if (index == m_findSlot && !selected.isEmpty())
                m_findSelected = selected;
            if (!m_selectingRemembered && !selected.isEmpty()) {
                m_restoring[size_t(index)] = false; // the user's own choice
                m_remembered.folders[size_t(index)] = tab.shelf->listedFolder();
                m_remembered.roms[size_t(index)] = selected;
                keepSelection();
            }
            previewSnapshot(index);
        });
        connect(tab.list, &forms::FileListBox::fileActivated, this, [this, index = slot.index] { launchRom(index); });
        connect(tab.list, &forms::FileListBox::menuRequested, this,
                [this, index = slot.index](const QPoint &at) { showRomMenu(index, at); });
        connect(tab.list, &forms::FileListBox::informationRequested, this,
                [this, index = slot.index] { showRomInformation(index); });
    }
    connect(m_form.sound, &QCheckBox::stateChanged, this, &MainWindow::updateSoundCaption);
    connect(m_snapshotLoader, &preview::SnapshotLoader::loaded, m_form.snapshot, &forms::PictureBox::setPicture);
    connect(m_romFolders, &config::RomFolders::changed, this, &MainWindow::listRomFolders);
    connect(m_form.romTabs, &QTabWidget::currentChanged, this, [this](int index) {
        closeFind();
        m_remembered.tab = index;
        keepSelection();
    });
    if (!m_context.selectionFile.isEmpty()) {
        m_keeper = new library::SelectionKeeper(m_context.selectionFile, this);
        connect(m_keeper, &library::SelectionKeeper::loaded, this, &MainWindow::restoreSelection);
    }
    m_door = platform::ContextDoor::open(this);
#ifdef Q_OS_WIN
    // Windows' drop registration is cheap: made before the window shows, it changes nothing of a
    // window already on screen.
    setAcceptDrops(true);
#endif
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    struct Item {
        const char *name;
        const char *caption;
        void (MainWindow::*handler)();
    };
    struct Menu {
        const char *name;
        const char *caption;
        std::vector<Item> items;
    };
    const std::vector<Menu> menus{
        {"filemnu", "&File", {{"filemnufind", "&Find...", &MainWindow::openFind}, {"filemnuexit", "&Exit", &MainWindow::exit}}},
        {"mnuoptions", "&Options", {{"mnuoptionsdir", "&Directories", &MainWindow::editRomFolders}}},
        {"mnuhelp", "&Help",
         {{"mnuhelpreadme", "&Readme", &MainWindow::showReadme}, {"mnuhelpabout", "&About", &MainWindow::showAbout}}},
    };
    menuBar()->setFont(forms::formFont(forms::kDefaultFont)); // the platform's menu font would win
    for (const Menu &menu : menus) {
        QMenu *popup = menuBar()->addMenu(QString::fromLatin1(menu.caption));
        popup->setFont(menuBar()->font());
        popup->setObjectName(QString::fromLatin1(menu.name));
        popup->menuAction()->setObjectName(QString::fromLatin1(menu.name));
        for (const Item &item : menu.items) {
            if (item.handler == &MainWindow::exit) { // the ROMs last started, newest first
                m_recentMenu = popup->addMenu(QStringLiteral("&Recent"));
                m_recentMenu->setObjectName(QStringLiteral("filemnurecent"));
                m_recentMenu->menuAction()->setObjectName(QStringLiteral("filemnurecent"));
                m_recentMenu->setFont(menuBar()->font());
                m_recentMenu->setEnabled(false);
            }
            QAction *action = popup->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            connect(action, &QAction::triggered, this, item.handler);
            if (item.handler == &MainWindow::openFind)
                action->setShortcut(QKeySequence::Find);
        }
    }
}

void MainWindow::buildFindLine()
{
    // Laid over the foot of a list, on the form's surface: it moves no control of the form. Made
    // when first opened: its clear button's icon took 3 ms before the window could show.
    m_findLine = new QLineEdit(centralWidget());
    m_findLine->setObjectName(QStringLiteral("findLine"));
    m_findLine->setAccessibleName(QStringLiteral("Find ROM"));
    m_findLine->setPlaceholderText(QStringLiteral("Find ROM"));
    m_findLine->setFont(forms::formFont(forms::kDefaultFont));
    m_findLine->setClearButtonEnabled(true);
    m_findLine->hide();
    m_findLine->installEventFilter(this);
    connect(m_findLine, &QLineEdit::textChanged, this, &MainWindow::find);
}

void MainWindow::openFind()
{
    if (!m_findLine)
        buildFindLine();
    const int slot = m_form.romTabs->currentIndex();
    if (slot != m_findSlot)
        closeFind();
    m_findSlot = slot;
    const forms::FileListBox *list = m_tabs[size_t(slot)].list;
    m_findSelected = m_findStart = list->fileName();
    const int height = m_findLine->sizeHint().height();
    const QPoint foot = list->mapTo(centralWidget(), QPoint(0, list->height() - height));
    m_findLine->setGeometry(QRect(foot, QSize(list->width(), height)));
    m_findLine->show();
    m_findLine->raise();
    m_findLine->setFocus(Qt::ShortcutFocusReason);
    m_findLine->selectAll();
}

void MainWindow::closeFind()
{
    if (m_findSlot < 0)
        return;
    const RomTab &tab = m_tabs[size_t(std::exchange(m_findSlot, -1))];
    const bool hadFocus = m_findLine->hasFocus();
    m_findLine->hide();
    m_findLine->clear();
    // Every row again, the ROM that was selected still selected and in view.
    const QString selected = tab.list->fileName().isEmpty() ? m_findStart : tab.list->fileName();
    tab.shelf->filter()->setQuery(QString());
    if (!selected.isEmpty() && tab.list->selectFile(selected))
        tab.list->scrollTo(tab.list->currentIndex(), QAbstractItemView::PositionAtCenter);
    updateCount(tab);
    if (hadFocus)
        tab.list->setFocus(Qt::OtherFocusReason);
}

void MainWindow::find(const QString &query)
{
    if (m_findSlot < 0)
        return;
    const RomTab &tab = m_tabs[size_t(m_findSlot)];
    tab.shelf->filter()->setQuery(query);
    if (tab.list->listCount() > 0)
        tab.list->setCurrentIndex(tab.list->model()->index(0, 0));
    else
        previewSnapshot(m_findSlot); // nothing left to show
    updateCount(tab);
}

bool MainWindow::findKey(QKeyEvent *event)
{
    forms::FileListBox *list = m_tabs[size_t(m_findSlot)].list;
    switch (event->key()) {
    case Qt::Key_Escape:
        closeFind();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As in the list: Alt+Enter tells what the ROM is, Enter starts it.
        if (!event->isAutoRepeat() && !list->fileName().isEmpty()) {
            if (event->modifiers() & Qt::AltModifier)
                showRomInformation(m_findSlot);
            else
                launchRom(m_findSlot);
        }
        return true;
    case Qt::Key_F10:
        if (event->modifiers() != Qt::ShiftModifier)
            return false;
        [[fallthrough]];
    case Qt::Key_Menu:
        openListMenu(list);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int shown = list->listCount();
        if (shown == 0)
            return true;
        const int step = event->key() == Qt::Key_Down ? 1 : -1;
        list->setCurrentIndex(list->model()->index(std::clamp(list->currentIndex().row() + step, 0, shown - 1), 0));
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::updateCount(const RomTab &tab)
{
    const library::RomFilter *filter = tab.shelf->filter();
    tab.count->setText(filter->filtering() ? romCountCaption(filter->rowCount(), filter->totalCount())
                                           : romCountCaption(filter->totalCount()));
}

void MainWindow::loadStartState()
{
    // The folders first, so that the lists show them (a file that cannot be read is said once and
    // leaves them empty). The options are set after the lists exist: the sound box's caption
    // follows its state through its signal. The application folder becomes current last, once
    // nothing is left to read with a relative path from where the program was started: the
    // emulator, the snapshots and the readme are all looked up there.
    QString error;
    bool read;
    {
        const QSignalBlocker quiet(m_romFolders); // listed once, below, changed or not
        read = m_romFolders->load(&error);
    }
    if (!read) {
        m_context.notify(this, QStringLiteral("Quorvane"),
                         QStringLiteral("The configuration file could not be read.\n\n%1\n%2")
                             .arg(QDir::toNativeSeparators(m_romFolders->files().fileToRead()), error));
    }
    // Unless start-up is to wait for the lists, the folders are read once the window is on screen:
    // on two cores, reading them beside its first drawing made the window a third later to show,
    // whatever the readers' priority. A window not shown by then (or not at all) does not wait.
    if (m_context.folderPatience.count() > 0 || isVisible()) {
        listRomFolders();
    } else {
        m_listingWaitsForScreen = true;
        QTimer::singleShot(kListingWaitMs, this, &MainWindow::listWaitingFolders);
    }
    m_form.sound->setCheckState(Qt::Checked);
    updateSoundCaption();
    m_form.resolution->setCurrentRow(kStartResolution);
    m_form.controller->setCurrentRow(kStartController);
    QDir::setCurrent(m_context.applicationFolder);
}

void MainWindow::restoreSelection(const library::RememberedSelection &kept)
{
    for (size_t slot = 0; slot < m_tabs.size(); ++slot) {
        if (!m_remembered.roms[slot].isEmpty())
            continue; // chosen since start-up
        m_remembered.folders[slot] = kept.folders[slot];
        m_remembered.roms[slot] = kept.roms[slot];
        m_restoring[slot] = !kept.roms[slot].isEmpty();
    }
    if (m_remembered.tab < 0 && kept.tab >= 0) // first, so that its snapshot is the one shown
        m_form.romTabs->setCurrentIndex(kept.tab);
    for (size_t slot = 0; slot < m_tabs.size(); ++slot) {
        if (m_restoring[slot] && m_listed[slot])
            selectRemembered(int(slot));
    }
}

void MainWindow::selectRemembered(int slot)
{
    m_restoring[size_t(slot)] = false;
    const RomTab &tab = m_tabs[size_t(slot)];
    if (slot == m_findSlot || m_remembered.folders[size_t(slot)] != tab.shelf->listedFolder())
        return;
    // By the name's bytes in the list's own buffer: 100,000 names are looked through in a moment.
    const int row = tab.shelf->model()->rowOf(platform::toUtf8Lossless(m_remembered.roms[size_t(slot)]));
    if (row < 0)
        return; // no longer there
    const QModelIndex entry = tab.list->model()->index(row, 0);
    m_selectingRemembered = true;
    tab.list->setCurrentIndex(entry);
    m_selectingRemembered = false;
    tab.list->scrollTo(entry, QAbstractItemView::PositionAtCenter);
    const int current = m_form.romTabs->currentIndex();
    if (slot != current) // the box shows the current tab's snapshot
        previewSnapshot(current);
}

void MainWindow::keepSelection()
{
    if (!m_keeper)
        return;
    if (m_remembered.tab < 0)
        m_remembered.tab = m_form.romTabs->currentIndex();
    m_keeper->keep(m_remembered);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!std::exchange(m_shown, true) && windowHandle())
        windowHandle()->installEventFilter(this);
}

void MainWindow::openListMenu(forms::FileListBox *list)
{
    // The selected ROM's menu, below its row, as the keyboard opens it in the list itself.
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QCoreApplication::sendEvent(list, &request);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_findLine && m_findSlot >= 0) {
        if (event->type() == QEvent::KeyPress && findKey(static_cast<QKeyEvent *>(event)))
            return true;
        // The keyboard's menu request is the ROM's menu; the mouse's keeps the line's own.
        if (event->type() == QEvent::ContextMenu && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            openListMenu(m_tabs[size_t(m_findSlot)].list);
            return true;
        }
    }
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        // Queued: the first drawing, which this exposure starts, goes first.
        QMetaObject::invokeMethod(this, &MainWindow::listWaitingFolders, Qt::QueuedConnection);
#ifndef Q_OS_WIN
        // A ROM dropped on the window is started. Taking drops costs the window's thread 13 ms on
        // X11, which it would otherwise spend before it can show, or filling the lists.
        QTimer::singleShot(kDropsAfterMs, this, [this] { setAcceptDrops(true); });
#endif
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::listWaitingFolders()
{
    if (m_listingWaitsForScreen)
        listRomFolders();
}

void MainWindow::listRomFolders()
{
    m_listingWaitsForScreen = false;
    struct Countdown {
        std::mutex mutex;
        std::condition_variable done;
        int left = config::kSlotCount;
    };
    const auto countdown = std::make_shared<Countdown>();
    for (const config::RomSlot &slot : config::kRomSlots) {
        m_tabs[size_t(slot.index)].shelf->setFolder(m_romFolders->folder(slot.index), [countdown] {
            const std::lock_guard<std::mutex> lock(countdown->mutex);
            --countdown->left;
            countdown->done.notify_all();
        });
    }
    std::unique_lock<std::mutex> lock(countdown->mutex);
    countdown->done.wait_for(lock, m_context.folderPatience, [&] { return countdown->left == 0; });
    lock.unlock();
    for (const RomTab &tab : m_tabs) // the readings that came in time
        QCoreApplication::sendPostedEvents(tab.shelf, QEvent::MetaCall);
    // With the folders, once: restoring the tab last shown before the window is on screen had made
    // it 3 to 5 ms later to show.
    if (m_keeper && !std::exchange(m_selectionAsked, true))
        m_keeper->load();
    // The play, with the folders too: its reading (and the database's check) would take a
    // processor from the window's first drawing.
    if (!std::exchange(m_historyAsked, true)) {
        m_history->load();
        // What an unpack that a crash ended left in the ROM cache goes; a cache never made stays unmade.
        if (!m_context.romCacheFolder.isEmpty()) {
            platform::runAside([folder = m_context.romCacheFolder] {
                QString error;
                if (platform::entryKind(folder) == platform::EntryKind::Folder)
                    library::RomCache(folder).open(&error);
            });
        }
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Ends at once; the hidden dialog goes with its parent and nothing is written.
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::exit() { close(); }

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void MainWindow::updateSoundCaption()
{
    switch (m_form.sound->checkState()) {
    case Qt::Unchecked: m_form.sound->setText(QStringLiteral("No Sound")); break;
    case Qt::Checked: m_form.sound->setText(QStringLiteral("Sound")); break;
    default: break; // grayed: the caption stays as it was
    }
}

QStringList MainWindow::snapshotPaths(int slot) const
{
    const RomTab &tab = m_tabs[size_t(slot)];
    const QString name = tab.list->fileName();
    if (name.isEmpty())
        return {};
    if (!library::isArchiveName(platform::toUtf8Lossless(name)))
        return {preview::snapshotPath(m_context.applicationFolder, name)};
    // An archive's own picture, else its first ROM's once the archive has been checked.
    QStringList paths{preview::archiveSnapshotPath(m_context.applicationFolder, name)};
    const library::RomFacts *facts = tab.shelf->model()->factsAt(tab.shelf->model()->rowOf(platform::toUtf8Lossless(name)));
    if (facts && facts->archive && !facts->archive->roms.empty())
        paths << preview::snapshotPath(m_context.applicationFolder, platform::fromUtf8Lossless(facts->archive->roms.front().fileName()));
    return paths;
}

void MainWindow::previewSnapshot(int slot)
{
    // What is shown, or on its way, stays: a check that only confirms what a row is does not
    // blank it again.
    const QStringList paths = snapshotPaths(slot);
    if (!paths.isEmpty() && paths == m_previewed)
        return;
    m_previewed = paths;
    // Blank at once, so that the previous selection's snapshot never stays; the picture follows
    // from another thread, the window never waits for a decode, and a failed load is silent.
    m_form.snapshot->setPicture(QImage());
    if (paths.isEmpty())
        m_snapshotLoader->cancel();
    else
        m_snapshotLoader->request(paths, m_form.snapshot->visibleSize());
}

void MainWindow::launchRom(int slot)
{
    // The folder the list shows, not the one the file holds now: another program may have saved
    // other folders since, and the user starts only what they see.
    const RomTab &tab = m_tabs[size_t(slot)];
    if (library::isArchiveName(platform::toUtf8Lossless(tab.list->fileName())))
        startArchive(selectedPath(slot));
    else
        startEmulator(tab.shelf->listedFolder(), tab.list->fileName(), selectedIdentity(slot));
}

QByteArray MainWindow::selectedIdentity(int slot) const
{
    const RomTab &tab = m_tabs[size_t(slot)];
    const library::RomListModel *model = tab.shelf->model();
    const library::RomFacts *facts = model->factsAt(model->rowOf(platform::toUtf8Lossless(tab.list->fileName())));
    return facts && facts->identity.error.isEmpty() ? facts->identity.data.sha1 : QByteArray();
}

QString MainWindow::selectedPath(int slot) const
{
    const RomTab &tab = m_tabs[size_t(slot)];
    const QString name = tab.list->fileName();
    if (name.isEmpty())
        return {};
    QString folder = tab.shelf->listedFolder();
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    return folder + name;
}

void MainWindow::showHistory()
{
    const QSet<QByteArray> favourites = m_history->favourites();
    for (const RomTab &tab : m_tabs)
        tab.shelf->model()->setFavourites(favourites);
    m_recentMenu->clear();
    int number = 0;
    for (const library::RecentLaunch &launch : m_history->recentLaunches()) {
        const QString path = platform::fromUtf8Lossless(launch.path);
        QString name = platform::displayName(QFileInfo(path).fileName());
        QAction *action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(++number % 10).arg(name.replace(QLatin1Char('&'), QStringLiteral("&&"))),
                                                  this, [this, path, game = launch.sha1] { startRecent(path, game); });
        action->setToolTip(platform::displayName(QDir::toNativeSeparators(path)));
        action->setObjectName(QStringLiteral("filemnurecent%1").arg(number));
    }
    m_recentMenu->setEnabled(number > 0);
}

std::array<QString, 3> MainWindow::listedFolders() const
{
    std::array<QString, 3> folders;
    for (size_t slot = 0; slot < m_tabs.size(); ++slot)
        folders[slot] = m_tabs[slot].shelf->listedFolder();
    return folders;
}

int MainWindow::tabOfFolder(const std::array<QString, 3> &listedFolders, const QString &path)
{
    // By the file system's judgement: another spelling of the folder, or a link to it, is it too.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    for (size_t slot = 0; slot < listedFolders.size(); ++slot) {
        if (!listedFolders[slot].isEmpty() && QFileInfo(listedFolders[slot]) == folder)
            return int(slot);
    }
    return -1;
}

void MainWindow::inspectAside(const QString &path, std::function<void(platform::PathKind kind, int tab)> then)
{
    // A stat on a share that has gone away waits for the share's timeout: never on this thread.
    platform::runAside([door = m_door, path, folders = listedFolders(), then = std::move(then)]() mutable {
        const platform::PathKind kind = platform::pathKind(path);
        const int tab = kind == platform::PathKind::RegularFile ? tabOfFolder(folders, path) : -1;
        door->post([then = std::move(then), kind, tab] { then(kind, tab); });
    });
}

void MainWindow::startRecent(const QString &path, const QByteArray &game)
{
    inspectAside(path, [this, path, game](platform::PathKind kind, int tab) {
        if (kind == platform::PathKind::RegularFile) {
            if (tab >= 0 && m_tabs[size_t(tab)].list->selectFile(QFileInfo(path).fileName())) {
                m_form.romTabs->setCurrentIndex(tab);
                launchRom(tab);
            } else {
                startInspected(path, kind);
            }
            return;
        }
        // Moved into a listed folder, or renamed there: found by what it is.
        m_history->forgetRecentLaunch(path);
        for (const config::RomSlot &slot : config::kRomSlots) {
            const RomTab &tab = m_tabs[size_t(slot.index)];
            const int row = game.isEmpty() ? -1 : rowOfGame(*tab.shelf->model(), game);
            if (row < 0 || !tab.list->selectFile(tab.shelf->model()->fileName(row)))
                continue;
            m_form.romTabs->setCurrentIndex(slot.index);
            launchRom(slot.index);
            return;
        }
        m_context.notify(this, QStringLiteral("Quorvane"),
                         QStringLiteral("%1 is no longer there. It is removed from the recent ROMs.")
                             .arg(platform::displayName(QDir::toNativeSeparators(path))));
    });
}

int MainWindow::rowOfGame(const library::RomListModel &model, const QByteArray &game)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        const library::RomFacts *facts = model.factsAt(row);
        if (facts && facts->identity.error.isEmpty() && facts->identity.data.sha1 == game)
            return row;
    }
    return -1;
}

void MainWindow::showRomInformation(int slot)
{
    const QString path = selectedPath(slot);
    if (!path.isEmpty())
        dialogs::showRomInformation(m_checker, m_history, path, this);
}

void MainWindow::showRomMenu(int slot, const QPoint &globalPos)
{
    if (!m_romMenu) {
        m_romMenu = new QMenu(this);
        m_romMenu->setObjectName(QStringLiteral("romMenu"));
        m_romMenu->setAccessibleName(QStringLiteral("ROM"));
        m_romMenu->setFont(forms::formFont(forms::kDefaultFont));
        QAction *run = m_romMenu->addAction(QStringLiteral("&Run"), this, [this] { launchRom(m_romMenuSlot); });
        run->setObjectName(QStringLiteral("romMenuRun"));
        QAction *information =
            m_romMenu->addAction(QStringLiteral("ROM &Information..."), this, [this] { showRomInformation(m_romMenuSlot); });
        information->setObjectName(QStringLiteral("romMenuInformation"));
        information->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return)); // shown beside it; the list takes the key
        m_favouriteAction = m_romMenu->addAction(QString(), this, [this] {
            const QByteArray game = selectedIdentity(m_romMenuSlot);
            const QString path = selectedPath(m_romMenuSlot);
            const RomTab &tab = m_tabs[size_t(m_romMenuSlot)];
            const QByteArray name = platform::toUtf8Lossless(tab.list->fileName());
            if (game.isEmpty() && library::isArchiveName(name)) { // its ROM read first, and its row told
                m_checker->identifyArchive(tab.shelf->listedFolder(), name, [this, path](const QByteArray &sha1) {
                    m_history->setFavourite(path, sha1, !m_history->isFavourite(sha1));
                });
                return;
            }
            m_history->setFavourite(path, game, !m_history->isFavourite(game));
        });
        m_favouriteAction->setObjectName(QStringLiteral("romMenuFavourite"));
        m_romMenu->setDefaultAction(run);
    }
    const QByteArray game = selectedIdentity(slot);
    m_favouriteAction->setText(!game.isEmpty() && m_history->isFavourite(game) ? QStringLiteral("Remove from &Favourites")
                                                                               : QStringLiteral("Add to &Favourites"));
    m_romMenuSlot = slot;
    m_romMenu->popup(globalPos);
}

void MainWindow::startFile(const QString &path)
{
    inspectAside(path, [this, path](platform::PathKind kind, int) { startInspected(path, kind); });
}

void MainWindow::startInspected(const QString &path, platform::PathKind kind)
{
    const QFileInfo file(path);
    QString reason;
    if (kind == platform::PathKind::Missing)
        reason = QStringLiteral("The file does not exist.");
    else if (kind != platform::PathKind::RegularFile)
        reason = QStringLiteral("It is not a file.");
    else if (!file.fileName().endsWith(QStringLiteral(".nes"), Qt::CaseInsensitive) && !library::isArchiveName(platform::toUtf8Lossless(file.fileName())))
        reason = QStringLiteral("It is no ROM that Quorvane lists: their names end in \".nes\", \".zip\" or \".7z\".");
    if (!reason.isEmpty()) {
        m_context.notify(this, QStringLiteral("Quorvane"),
                         QStringLiteral("%1 cannot be started.\n\n%2").arg(platform::displayName(QDir::toNativeSeparators(path)), reason));
        return;
    }
    if (library::isArchiveName(platform::toUtf8Lossless(file.fileName())))
        startArchive(file.absoluteFilePath());
    else
        startEmulator(file.absolutePath() + QLatin1Char('/'), file.fileName());
}

void MainWindow::startArchive(const QString &path)
{
    if (m_context.romCacheFolder.isEmpty()) {
        m_context.notify(this, QStringLiteral("Quorvane"), QStringLiteral("%1 cannot be started: there is no folder to unpack it into.")
                                                               .arg(platform::displayName(QDir::toNativeSeparators(path))));
        return;
    }
    // What its row knows, when a tab lists it under this very spelling (a list's own launch); any
    // other is listed afresh.
    const library::RomFacts *facts = nullptr;
    for (const RomTab &tab : m_tabs) {
        const QString folder = tab.shelf->listedFolder();
        if (!folder.isEmpty() && QDir::cleanPath(folder) == QDir::cleanPath(QFileInfo(path).absolutePath()))
            facts = tab.shelf->model()->factsAt(tab.shelf->model()->rowOf(platform::toUtf8Lossless(QFileInfo(path).fileName())));
    }
    ArchiveStart job{path, {}, {}, 0, {}, m_context.romCacheFolder, emulatorStarter()};
    // One thread from the list to the emulator's start, unless the user is to choose a ROM. The
    // archive is listed afresh when it changed since its row was checked; what its row knows of
    // each ROM spares reading it again when the ROM is cached.
    platform::runAside([this, door = m_door, job = std::move(job), folders = listedFolders(),
                        known = facts ? facts->archive : nullptr]() mutable {
        const QFileInfo file(job.path);
        const int tab = tabOfFolder(folders, job.path);
        job.listedFolder = tab >= 0 ? folders[size_t(tab)] : QString();
        job.stamp = platform::fileStamp(file.absolutePath(), platform::toUtf8Lossless(file.fileName()));
        if (known && known->problem.isEmpty() && job.stamp.size >= 0 && known->stamp == job.stamp) {
            job.listing = *known;
        } else {
            job.listing = library::listArchive(job.path, {}, library::Reading::NamesOnly); // its ROM is read next
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
        const QString archive = platform::displayName(QDir::toNativeSeparators(job.path));
        if (!job.listing.problem.isEmpty() || job.listing.roms.empty()) {
            door->post([this, text = QStringLiteral("%1 cannot be started.\n\n%2")
                                         .arg(archive, job.listing.problem.isEmpty()
                                                           ? QStringLiteral("It holds no NES ROM.")
                                                           : QStringLiteral("It cannot be used: %1.").arg(job.listing.problem))] {
                m_context.notify(this, QStringLiteral("Quorvane"), text);
            });
            return;
        }
        if (job.listing.roms.size() == 1) {
            unpackAndStart(this, door, std::move(job));
            return;
        }
        door->post([this, door, job = std::move(job), archive]() mutable {
            QStringList names;
            for (const library::ArchiveEntry &entry : job.listing.roms)
                names << platform::displayName(platform::fromUtf8Lossless(entry.name));
            const int chosen = dialogs::chooseArchiveEntry(QFileInfo(archive).fileName(), names, this);
            if (chosen < 0)
                return;
            job.chosen = size_t(chosen);
            job.run = emulatorStarter(); // the options as they stand now
            platform::runAside([this, door, job = std::move(job)]() mutable { unpackAndStart(this, door, std::move(job)); });
        });
    });
}

void MainWindow::unpackAndStart(MainWindow *window, const std::shared_ptr<platform::ContextDoor> &door, ArchiveStart job)
{
    library::ArchiveEntry &entry = job.listing.roms[job.chosen];
    const bool known = entry.isRead();
    library::RomCache cache(job.cacheFolder);
    QString error;
    library::RomCache::Unpacked unpacked;
    if (cache.open(&error, library::RomCache::Leftovers::Keep)) // those are removed at start-up
        unpacked = cache.unpack(job.path, entry);
    else
        unpacked.error = error;
    if (!unpacked.error.isEmpty()) {
        door->post([window, text = unpacked.error] { window->m_context.notify(window, QStringLiteral("Quorvane"), text); });
        return;
    }
    const QFileInfo file(unpacked.file);
    job.run(QDir::toNativeSeparators(file.absolutePath() + QLatin1Char('/')), file.fileName(), entry.data.sha1,
            {job.path, platform::fromUtf8Lossless(entry.name)});
    cache.trim(file.absolutePath());
    // Its identity is kept with the archive, under the folder as its list names it: its row,
    // favourite and plays follow the game from now on.
    if (!known && !job.listedFolder.isEmpty() && job.stamp.size >= 0) {
        door->post([window, folder = job.listedFolder, name = platform::toUtf8Lossless(QFileInfo(job.path).fileName()),
                    stamp = job.stamp, listing = std::move(job.listing)] { window->m_checker->keepArchive(folder, name, stamp, listing); });
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().value(0).isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QUrl url = event->mimeData()->urls().value(0);
    if (!url.isLocalFile())
        return;
    event->acceptProposedAction();
#ifdef Q_OS_WIN
    startFile(url.toLocalFile());
#else // the name's very bytes, which need not be UTF-8
    startFile(platform::fromSystem8Bit(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())));
#endif
}

void MainWindow::startEmulator(const QString &folder, const QString &fileName, const QByteArray &sha1,
                               const ArchiveSource &source)
{
    // The rest may wait on a disk or a share: the emulator's file is looked for, the log is
    // written, and a start returns only once the system has loaded the program. A thread of its
    // own does it, so that the window never waits; what it has to tell comes through the door.
    platform::runAside([run = emulatorStarter(), folder, fileName, sha1, source] { run(folder, fileName, sha1, source); });
}

MainWindow::EmulatorStart MainWindow::emulatorStarter()
{
    // Everything it uses is copied now: it runs on another thread, and may outlive the window,
    // which it reaches only through the door.
    return [this, door = m_door, start = m_context.start, applicationFolder = m_context.applicationFolder,
            logFolder = m_context.logFolder, workingFolder = QDir::currentPath(), resolution = m_form.resolution->selectedIndex(),
            sound = m_form.sound->checkState(), controller = m_form.controller->selectedIndex()](
               const QString &folder, const QString &fileName, const QByteArray &sha1, const ArchiveSource &source) {
        // The launch and its play are kept once it has started, by what the game is; the time
        // played is added when the emulator ends, whichever comes first of the two.
        struct Play {
            QByteArray game;
            qint64 endedAfterMs = -1;
        };
        const auto play = std::make_shared<Play>();
        const launch::LaunchCommand command = launch::launchCommand(folder, fileName, resolution, sound, controller);
        launch::LaunchPlan plan;
        QString error;
        bool started = launch::planLaunch(command, applicationFolder, &plan, &error);
        if (started) {
            plan.command.workingFolder = workingFolder;
            qint64 headerSize = 0;
            // An unpacked ROM's log names where it came from, so that the launch can be repeated.
            const QString origin = source.archive.isEmpty()
                ? QString()
                : QStringLiteral("the ROM %1 of the archive %2, unpacked to %3\n")
                      .arg(source.entry, QDir::toNativeSeparators(source.archive), QDir::toNativeSeparators(command.romPath));
            plan.command.outputFile = startLaunchLog(logFolder, command.commandLine(), origin, plan.command, &headerSize);
            const platform::ExitWatch watch{door, [this, program = plan.tried, log = plan.command.outputFile,
                                                   headerSize, play](const platform::ProcessExit &exit) {
                                                play->endedAfterMs = exit.runMs;
                                                if (!play->game.isEmpty())
                                                    m_history->addPlayTime(play->game, exit.runMs);
                                                reportEarlyExit(exit, program, log, headerSize);
                                            }};
            started = start(plan.command, watch, &error);
        }
        if (started) {
            door->post([this, path = source.archive.isEmpty() ? command.romPath : source.archive, sha1, play] {
                m_history->recordLaunch(path, sha1, [this, play](const QByteArray &game) {
                    play->game = game;
                    if (play->endedAfterMs >= 0)
                        m_history->addPlayTime(game, play->endedAfterMs);
                });
            });
        }
        if (!started) {
            door->post([this, text = QStringLiteral("The emulator could not be started.\n\n%1\n%2").arg(plan.tried, error)] {
                m_context.notify(this, QStringLiteral("Quorvane"), text);
            });
        }
    };
}

void MainWindow::reportEarlyExit(const platform::ProcessExit &exit, const QString &program, const QString &log,
                                 qint64 headerSize)
{
    if (!exit.failed() || exit.runMs > kEarlyExitMs)
        return;
    QString text = QStringLiteral("The emulator ended with a failure as it started.\n\n%1\n%2")
                       .arg(QDir::toNativeSeparators(program), exit.inWords());
    if (!log.isEmpty()) {
        const QStringList lines = lastLines(log, headerSize, kLogLinesShown);
        if (!lines.isEmpty())
            text += QStringLiteral("\n\nIts last words:\n") + lines.join(QLatin1Char('\n'));
        text += QStringLiteral("\n\nIts whole output is in %1").arg(QDir::toNativeSeparators(log));
    }
    m_context.notify(this, QStringLiteral("Quorvane"), text);
}

void MainWindow::editRomFolders()
{
    if (!m_romFoldersDialog) // built when first asked for: start-up does not wait for it
        m_romFoldersDialog = new dialogs::RomFoldersDialog(*m_romFolders, m_context.notify, this);
    m_romFoldersDialog->centreOnScreen();
    m_romFoldersDialog->exec();
    // Unsaved edits are gone; the folders are read back from the file, which another program may
    // have changed meanwhile.
    m_romFolders->load(nullptr);
}

void MainWindow::showReadme() { help::openReadme(this, m_context.start, m_context.notify); }

void MainWindow::showAbout() { dialogs::showAbout(); }

} // namespace app
