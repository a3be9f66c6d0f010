#pragma once

#include "app/appcontext.h"
#include "app/gameemulators.h"
#include "app/launcher.h"
#include "forms/formbuilder.h"
#include "library/library.h"

#include <QMainWindow>

#include <array>

class QMenu;
class QTimer;

namespace config {
class RomFolders;
}
namespace dialogs {
class RomFoldersDialog;
}
namespace forms {
class CoverSource;
}
namespace preview {
class CoverCache;
class SnapshotLoader;
}

namespace app {

class FindLine;
class RecentMenu;
class RomMenu;
class SelectionRestorer;

// The main window: three tabs of ROMs, the option lists, the snapshot preview and the menus. It
// shows what the library holds and asks the launcher to start games.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: reads the folders, lists them, sets the options, enters the application folder.
    void loadStartState();
    // Shows the window centred, at the size it was left at (maximised if it was), else at its first.
    void showAsLeft();

    // Shows the snapshot of the ROM selected in slot 0..2's list, or a blank box.
    void previewSnapshot(int slot);
    // Starts the emulator on the ROM selected in slot 0..2's list, with the chosen options.
    void launchRom(int slot);
    // Starts the emulator on the ROM at path, as a double click would (given on the command line,
    // or dropped on the window); a path that is no ROM Quorvane lists is told, and nothing starts.
    void startFile(const QString &path);

    // ROM > Information (Alt+Enter, or the ROM's menu): what the ROM selected in slot 0..2's list
    // is, in the ROM Information window.
    void showRomInformation(int slot);
    // The menu of the ROM selected in slot 0..2's list, at globalPos: "&Run", "ROM &Information...",
    // "Add to &Favourites" or "Remove from &Favourites".
    void showRomMenu(int slot, const QPoint &globalPos);
    // File > Recent: the ROM at path is selected in its tab when listed there, and started; one
    // no longer there is looked for by what it is (game, its identity) in the tabs, and started
    // there; else the user is told, and it leaves the list.
    void startRecent(const QString &path, const QByteArray &game = {});
    QMenu *recentMenu() const;
    QMenu *romMenu() const; // built when first shown

    // The folder and names slot 0..2's list shows.
    const library::RomFolder *romFolder(int slot) const { return m_library->folder(slot); }

    // File > Find (Ctrl+F): see FindLine.
    void openFind();
    void closeFind();

    void editRomFolders(); // Options > Directories
    void editEmulators();  // Options > Emulators
    // "Run With": starts the ROM selected in slot's list with the emulator id, which becomes its
    // game's own from then on (empty: the default again).
    void runWith(int slot, const QString &emulator);
    const launch::EmulatorChoice *emulators() const { return m_emulators; }
    void showReadme();     // Help > Readme
    void showAbout();      // Help > About
    void exit();           // File > Exit
    // Shown, raised and made active: another start of the program asked for it.
    void bringToFront();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildMenus();
    void buildSortMenu(QMenu *options);
    void setOrder(library::RomOrder order);
    // Options > Covers: the lists as grids of covers, or as lists again.
    void showCovers(bool shown);
    // The size and state the window was left in, once the file that keeps them has been read.
    void restorePlacement(const QSize &size, bool maximised);
    void resizeAsLeft(); // to the size it was left at, within the screen; none: as it is
    void connectList(int slot);
    void tell(const QString &message);
    // "The configuration file could not be read." with the file and why.
    QString configurationUnread(const QString &error) const;
    // The file at path as found (kind, and the list whose folder holds it: -1 for none), started.
    void startLocated(const QString &path, platform::PathKind kind, int slot);
    // The row selected in slot's list, as the library knows it; the folder alone when none is.
    library::RomEntry selectedEntry(int slot) const;
    // The options as the controls stand, and the emulator that starts game (empty: the default).
    LaunchOptions launchOptions(const QByteArray &game = {}) const;
    // Runs start with the options and game's emulator; with none (not looked for yet, or none
    // found), looks once more, then says so and opens Options > Emulators.
    void withEmulator(const QByteArray &game, const std::function<void(const LaunchOptions &options)> &start, bool lookedAgain = false);
    void startEntry(const library::RomEntry &entry);
    // The option controls follow the emulator of slot's selected ROM.
    void showSwitchesFor(int slot);
    void updateSoundCaption();
    void updateCount(int slot);
    // Reads the folders the configuration names, each on a queue of its own, and waits for them as
    // long as the context says; a list whose folder has not answered by then fills when it does.
    void listRomFolders();
    // The start-up listing, when it still waits for the window to be on screen.
    void listWaitingFolders();
    // Looks for the emulators, once.
    void findEmulators();
    // Where pictures by title are looked for.
    QStringList thumbnailFolders() const;

    AppContext m_context;
    config::RomFolders *m_romFolders;
    dialogs::RomFoldersDialog *m_romFoldersDialog = nullptr;
    preview::SnapshotLoader *m_snapshotLoader;
    forms::MainWindowForm m_form;
    library::Library *m_library;
    Launcher *m_launcher;
    launch::EmulatorChoice *m_emulators;
    GameEmulators m_gameEmulators{nullptr, nullptr};
    bool m_emulatorsAsked = false;
    int m_listedSlots = 0; // which lists have filled, one bit each
    FindLine *m_find;
    SelectionRestorer *m_selection;
    QAction *m_showTitles = nullptr; // Options > Show Titles
    QAction *m_showCovers = nullptr; // Options > Covers
    preview::CoverCache *m_covers = nullptr;         // made when covers are first shown
    std::array<forms::CoverSource *, 3> m_coverSources{}; // by slot
    std::array<QAction *, 4> m_orders{}; // Options > Sort By, by library::RomOrder
    QTimer *m_placing;                   // the window's size is kept once it has settled
    QSize m_leftSize;                    // as the window was left; invalid: its first size
    bool m_leftMaximised = false;
    RomMenu *m_romMenu = nullptr;
    RecentMenu *m_recentMenu = nullptr;
    bool m_listingWaitsForScreen = false;
    bool m_shown = false;
    QStringList m_previewed; // the pictures the box shows, or is about to
    QSize m_previewedBox;    // at that size of the box
};

} // namespace app
