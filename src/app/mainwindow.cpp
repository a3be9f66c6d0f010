#include "app/mainwindow.h"

#include "app/findline.h"
#include "app/rommenus.h"
#include "app/selectionrestorer.h"
#include "config/romfolders.h"
#include "config/romslots.h"
#include "dialogs/aboutbox.h"
#include "dialogs/archiveentrydialog.h"
#include "dialogs/rominformationdialog.h"
#include "dialogs/romfoldersdialog.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "forms/formdefs.h"
#include "help/readme.h"
#include "platform/filenames.h"
#include "platform/workqueue.h"
#include "preview/snapshotloader.h"
#include "preview/titlepictures.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindow>

#include <future>

namespace app {

namespace {

QString romCountCaption(int count) { return QStringLiteral("ROMs : ") + QString::number(count); }
// While a find query filters a list: "ROMs : K of N", K of its N rows shown.
QString romCountCaption(int shown, int count) { return romCountCaption(shown) + QStringLiteral(" of ") + QString::number(count); }

constexpr int kStartResolution = 4; // 320x240
constexpr int kStartController = 1; // Gamepad
constexpr int kListingWaitMs = 200; // a window not on screen by then is not waited for
constexpr int kDropsAfterMs = 500;  // drops are taken this long after the window first shows (X11)
constexpr int kFindEmulatorsAfterMs = 3000; // the emulators are looked for by then, lists filled or not
constexpr std::chrono::milliseconds kStatePatience{100}; // the window's remembered state, waited for before it shows
constexpr int kPlacingSettlesMs = 500; // a window being resized is kept once it rests this long

QIcon markIcon(const QVariant &mark)
{
    using Mark = library::RomListModel::RomMark;
    switch (Mark(mark.toInt())) {
    case Mark::Warning: return forms::warningIcon();
    case Mark::Favourite: return forms::favouriteIcon();
    case Mark::WarnedFavourite: return forms::favouriteIcon(true);
    case Mark::Blank: break;
    }
    return forms::blankIcon();
}

} // namespace

MainWindow::MainWindow(AppContext context, QWidget *parent)
    : QMainWindow(parent), m_context(std::move(context)),
      m_romFolders(new config::RomFolders(m_context.configFiles, this)),
      m_snapshotLoader(new preview::SnapshotLoader(this))
{
    // The banner is decoded on another thread while the form is built.
    const auto banner = std::make_shared<std::promise<QImage>>();
    platform::WorkQueue bannerQueue("Banner");
    bannerQueue.post([banner](const platform::CancelFlag &) { banner->set_value(forms::bannerImage()); });
    m_form = forms::buildMainWindowForm(this);
    buildMenus();
    m_form.banner->setPicture(banner->get_future().get());

    std::array<QString, library::Library::kFolderCount> patterns;
    for (const config::RomSlot &slot : config::kRomSlots) // ROMs, and the archives that may hold some
        patterns[size_t(slot.index)] = m_form.romLists[size_t(slot.index)]->pattern() + QStringLiteral(";*.zip;*.7z");
    m_library = new library::Library({m_context.applicationFolder, m_context.libraryFile, m_context.datFolders,
                                      m_context.romCacheFolder, m_context.readFolder},
                                     patterns, this);
    connect(m_library, &library::Library::problem, this, &MainWindow::tell);
    library::PlayHistory *history = m_library->history();
    connect(history, &library::PlayHistory::changed, this, [this, history] { m_recentMenu->show(history->recentLaunches()); });

    m_launcher = new Launcher({m_context.applicationFolder, m_context.logFolder, m_context.romCacheFolder, library::kDefaultCacheCap, m_context.start},
                              m_library->checker(),
                              [this](const QString &archive, const QStringList &roms) {
                                  return dialogs::chooseArchiveEntry(archive, roms, this);
                              },
                              this);
    connect(m_launcher, &Launcher::failed, this, &MainWindow::tell);
    m_emulators = new launch::EmulatorChoice({m_context.applicationFolder, m_context.emulatorsFile, m_context.emulatorStateFile}, this);
    if (m_context.emulatorPlaces)
        m_emulators->searchIn(*m_context.emulatorPlaces);
    m_gameEmulators = GameEmulators(m_emulators, history);
    connect(m_emulators, &launch::EmulatorChoice::problem, this, &MainWindow::tell);
    connect(m_emulators, &launch::EmulatorChoice::defaultPicked, this, &MainWindow::tell);
    connect(m_emulators, &launch::EmulatorChoice::changed, this, [this] { showSwitchesFor(m_form.romTabs->currentIndex()); });
    connect(history, &library::PlayHistory::changed, this, [this] { showSwitchesFor(m_form.romTabs->currentIndex()); });
    connect(m_launcher, &Launcher::emulatorRefound, m_emulators, &launch::EmulatorChoice::refound);
    connect(m_launcher, &Launcher::started, history, &library::PlayHistory::launchStarted);
    connect(m_launcher, &Launcher::ended, history, &library::PlayHistory::launchEnded);

    const FindLine::Lists lists{m_form.romLists[0], m_form.romLists[1], m_form.romLists[2]};
    m_find = new FindLine(centralWidget(), lists, m_library, this);
    connect(m_find, &FindLine::countChanged, this, &MainWindow::updateCount);
    connect(m_find, &FindLine::startAsked, this, &MainWindow::launchRom);
    connect(m_find, &FindLine::informationAsked, this, &MainWindow::showRomInformation);
    connect(m_find, &FindLine::emptied, this, &MainWindow::previewSnapshot);
    m_selection = new SelectionRestorer(m_context.selectionFile, m_form.romTabs, lists, m_library, m_find, this);
    connect(m_selection, &SelectionRestorer::restored, this, [this](int slot) {
        const int current = m_form.romTabs->currentIndex();
        if (slot != current) // the box shows the current tab's snapshot
            previewSnapshot(current);
    });
    for (const config::RomSlot &slot : config::kRomSlots)
        connectList(slot.index);
    connect(m_showTitles, &QAction::toggled, this, [this](bool shown) {
        for (const config::RomSlot &slot : config::kRomSlots)
            m_library->folder(slot.index)->model()->setShowTitles(shown);
        m_selection->titlesShown(shown);
    });
    connect(m_selection, &SelectionRestorer::titlesRestored, m_showTitles, &QAction::setChecked);
    connect(m_showCovers, &QAction::toggled, this, &MainWindow::showCovers);
    connect(m_selection, &SelectionRestorer::coversRestored, m_showCovers, &QAction::setChecked);
    connect(m_selection, &SelectionRestorer::orderRestored, this, [this](library::RomOrder order) {
        m_orders[size_t(order)]->setChecked(true);
        m_library->setOrder(order);
    });
    connect(m_selection, &SelectionRestorer::windowRestored, this, &MainWindow::restorePlacement);
    m_placing = new QTimer(this);
    m_placing->setSingleShot(true);
    m_placing->setInterval(kPlacingSettlesMs);
    connect(m_placing, &QTimer::timeout, this, [this] {
        m_selection->windowPlaced(isMaximized() ? normalGeometry().size() : size(), isMaximized());
        previewSnapshot(m_form.romTabs->currentIndex()); // as large as the box has become
    });

    connect(m_form.sound, &QCheckBox::stateChanged, this, &MainWindow::updateSoundCaption);
    connect(m_snapshotLoader, &preview::SnapshotLoader::loaded, m_form.snapshot, &forms::PictureBox::setPicture);
    connect(m_romFolders, &config::RomFolders::changed, this, &MainWindow::listRomFolders);
    connect(m_form.romTabs, &QTabWidget::currentChanged, this, [this](int index) {
        m_find->close();
        m_selection->tabChosen(index);
        showSwitchesFor(index);
    });
    // What the window looked like when it was left is read beside its building, and waited for a
    // moment: it shows at its size, in its order, at once.
    m_selection->load(kStatePatience);
#ifdef Q_OS_WIN
    // Windows' drop registration is cheap: made before the window shows, it changes nothing of a
    // window already on screen.
    setAcceptDrops(true);
#endif
}

MainWindow::~MainWindow() = default;

void MainWindow::connectList(int slot)
{
    forms::FileListBox *list = m_form.romLists[size_t(slot)];
    library::RomFolder *folder = m_library->folder(slot);
    list->setModel(folder->filter());
    list->setIconRole(library::RomListModel::MarkRole, markIcon);
    connect(folder, &library::RomFolder::listed, this, [this, slot] {
        m_find->relisted(slot);
        m_selection->listed(slot);
        updateCount(slot);
        m_listedSlots |= 1 << slot;
        if (m_listedSlots == 0b111)
            findEmulators();
    });
    connect(folder->filter(), &QAbstractItemModel::rowsRemoved, this, [this, slot] { updateCount(slot); });
    // What a check learns may name another picture (an archive's first ROM's, once it is known),
    // and the game, whose emulator the option controls follow.
    connect(folder->model(), &QAbstractItemModel::dataChanged, this, [this, slot] {
        if (slot == m_form.romTabs->currentIndex()) {
            previewSnapshot(slot);
            showSwitchesFor(slot);
        }
    });
    connect(list, &forms::FileListBox::fileSelected, this, [this, slot] {
        m_find->selected(slot);
        m_selection->selected(slot);
        previewSnapshot(slot);
        showSwitchesFor(slot);
    });
    connect(list, &forms::FileListBox::fileActivated, this, [this, slot] { launchRom(slot); });
    connect(list, &forms::FileListBox::menuRequested, this, [this, slot](const QPoint &at) { showRomMenu(slot, at); });
    connect(list, &forms::FileListBox::informationRequested, this, [this, slot] { showRomInformation(slot); });
}

void MainWindow::tell(const QString &message) { m_context.notify(this, QStringLiteral("Quorvane"), message); }

QString MainWindow::configurationUnread(const QString &error) const
{
    return QStringLiteral("The configuration file could not be read.\n\n%1\n%2")
        .arg(QDir::toNativeSeparators(m_romFolders->files().fileToRead()), error);
}

QMenu *MainWindow::recentMenu() const { return m_recentMenu; }

QMenu *MainWindow::romMenu() const { return m_romMenu; }

void MainWindow::openFind() { m_find->open(m_form.romTabs->currentIndex()); }

void MainWindow::closeFind() { m_find->close(); }

void MainWindow::updateCount(int slot)
{
    const library::RomFilter *filter = m_library->folder(slot)->filter();
    m_form.romCounts[size_t(slot)]->setText(filter->filtering() ? romCountCaption(filter->rowCount(), filter->totalCount())
                                                                : romCountCaption(filter->totalCount()));
}

void MainWindow::loadStartState()
{
    // The folders first, so that the lists show them (a file that cannot be read is told once and
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
        tell(configurationUnread(error));
    }
    // Unless start-up is to wait for the lists, the folders are read once the window is on screen:
    // on two cores, reading them beside its first drawing makes the window later to show,
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

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!std::exchange(m_shown, true) && windowHandle())
        windowHandle()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        // Queued: the first drawing, which this exposure starts, goes first.
        QMetaObject::invokeMethod(this, &MainWindow::listWaitingFolders, Qt::QueuedConnection);
#ifndef Q_OS_WIN
        // A ROM dropped on the window is started. Taking drops is costly on X11: done later, it
        // does not hold up the window's first showing or the lists' filling.
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
    std::array<QString, library::Library::kFolderCount> folders;
    std::array<bool, library::Library::kFolderCount> subfolders{};
    for (const config::RomSlot &slot : config::kRomSlots) {
        folders[size_t(slot.index)] = m_romFolders->folder(slot.index);
        subfolders[size_t(slot.index)] = m_romFolders->includesSubfolders(slot.index);
    }
    m_library->setFolders(folders, subfolders, m_context.folderPatience);
    // The saved selection and the play are read with the folders, once: before, they would take a
    // processor from the window's first drawing.
    m_selection->load();
    m_library->loadHistory();
    // The emulators are looked for once the lists have filled, so that finding them takes
    // nothing from the lists; a folder that does not answer holds them up a few seconds at most.
    QTimer::singleShot(kFindEmulatorsAfterMs, this, &MainWindow::findEmulators);
}

void MainWindow::findEmulators()
{
    if (!std::exchange(m_emulatorsAsked, true))
        m_emulators->load();
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

library::RomEntry MainWindow::selectedEntry(int slot) const
{
    const forms::FileListBox *list = m_form.romLists[size_t(slot)];
    return m_library->entry(slot, list->fileName().isEmpty() ? -1 : list->currentIndex().row());
}

void MainWindow::previewSnapshot(int slot)
{
    // What is shown, or on its way, stays: a check that only confirms what a row is does not
    // blank it again.
    const library::RomEntry entry = selectedEntry(slot);
    const QStringList paths = m_library->snapshotPaths(entry);
    const QStringList byTitle = paths.isEmpty() ? QStringList() : preview::titlePicturePaths(thumbnailFolders(), entry.title);
    const QSize box = m_form.snapshot->visibleSize();
    if (!paths.isEmpty() && paths + byTitle == m_previewed && box == m_previewedBox)
        return;
    m_previewed = paths + byTitle;
    m_previewedBox = box;
    // Blank at once, so that the previous selection's snapshot never stays; the picture follows
    // from another thread, the window never waits for a decode, and a failed load is silent.
    m_form.snapshot->setPicture(QImage());
    if (paths.isEmpty())
        m_snapshotLoader->cancel();
    else
        m_snapshotLoader->request(paths, box, byTitle);
}

void MainWindow::showRomInformation(int slot)
{
    const library::RomEntry entry = selectedEntry(slot);
    if (entry.isRom())
        dialogs::showRomInformation(m_library->checker(), m_library->history(), entry.path, this,
                                    [this](const QByteArray &game) { return m_gameEmulators.describe(game); });
}

void MainWindow::showRomMenu(int slot, const QPoint &globalPos)
{
    if (!m_romMenu) {
        m_romMenu = new RomMenu(this);
        connect(m_romMenu, &RomMenu::runChosen, this, &MainWindow::launchRom);
        connect(m_romMenu, &RomMenu::informationChosen, this, &MainWindow::showRomInformation);
        connect(m_romMenu, &RomMenu::favouriteChosen, this, [this](int slot) { m_library->toggleFavourite(selectedEntry(slot)); });
        connect(m_romMenu, &RomMenu::runWithChosen, this, &MainWindow::runWith);
    }
    QList<std::pair<QString, QString>> emulators;
    for (const launch::EmulatorDefinition &definition : m_emulators->definitions()) {
        if (m_emulators->found(definition.id).isFound())
            emulators.append({definition.id, definition.name});
    }
    const library::RomEntry entry = selectedEntry(slot);
    m_romMenu->popup(slot, entry, globalPos, emulators, m_gameEmulators.chosenFor(entry.game));
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

void MainWindow::editRomFolders()
{
    if (!m_romFoldersDialog) // built when first asked for: start-up does not wait for it
        m_romFoldersDialog = new dialogs::RomFoldersDialog(*m_romFolders, m_context.notify, this);
    m_romFoldersDialog->centreOnScreen();
    m_romFoldersDialog->exec();
    // Unsaved edits are gone; the folders are read back from the file, which another program may
    // have changed meanwhile. One that cannot be read leaves the lists as they are.
    QString error;
    if (!m_romFolders->reload(&error)) {
        tell(configurationUnread(error) + QStringLiteral("\n\nThe ROM folders shown stay as they were."));
    }
}

void MainWindow::showReadme() { help::openReadme(this, m_context.start, m_context.notify); }

void MainWindow::showAbout() { dialogs::showAbout(); }

} // namespace app
