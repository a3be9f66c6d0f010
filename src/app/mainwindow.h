#pragma once

#include "app/appcontext.h"
#include "forms/formbuilder.h"
#include "library/rememberedselection.h"
#include "library/romarchive.h"
#include "platform/dirscan.h"

#include <QHash>
#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QMenu;

namespace config {
class RomFolders;
}
namespace dialogs {
class RomFoldersDialog;
}
namespace library {
class FolderWatcher;
class RomListModel;
class PlayHistory;
class RomChecker;
class RomShelf;
} // namespace library
namespace platform {
class ContextDoor;
}
namespace preview {
class SnapshotLoader;
}

namespace app {

// The main window: three tabs of ROMs, the option lists, the snapshot preview and the menus.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: reads the folders, lists them, sets the options, enters the application folder.
    void loadStartState();

    // Shows the snapshot of the ROM selected in slot 0..2's list, or a blank box.
    void previewSnapshot(int slot);
    // Starts the emulator on the ROM selected in slot 0..2's list, with the chosen options.
    void launchRom(int slot);
    // Starts the emulator on the ROM at path, as a double click would (given on the command line,
    // or dropped on the window); a path that is no ROM Quorvane lists is said, and nothing starts.
    void startFile(const QString &path);

    // ROM > Information (Alt+Enter, or the ROM's menu): what the ROM selected in slot 0..2's list
    // is, in the ROM Information window.
    void showRomInformation(int slot);
    // The menu of the ROM selected in slot 0..2's list, at globalPos: "&Run", "ROM &Information...",
    // "Add to &Favourites" or "Remove from &Favourites".
    void showRomMenu(int slot, const QPoint &globalPos);
    // File > Recent: the ROM at path is selected in its tab when listed there, and started; one
    // no longer there is looked for by what it is (game, its identity) in the tabs, and started
    // there; else it is said, and leaves the list.
    void startRecent(const QString &path, const QByteArray &game = {});
    QMenu *recentMenu() const { return m_recentMenu; }
    QMenu *romMenu() const { return m_romMenu; } // built when first shown

    // The folder and names slot 0..2's list shows.
    const library::RomShelf *romShelf(int slot) const { return m_tabs[size_t(slot)].shelf; }

    // File > Find (Ctrl+F): a find line over the current tab's list filters it as the user types;
    // Escape, or another tab, closes it and shows every row again.
    void openFind();
    void closeFind();

    void editRomFolders(); // Options > Directories
    void showReadme();     // Help > Readme
    void showAbout();      // Help > About
    void exit();           // File > Exit
    // Shown, raised and made active: another start of the program asked for it.
    void bringToFront();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // One ROM folder's tab: its list, its count, and the shelf whose names the list shows.
    struct RomTab {
        forms::FileListBox *list;
        QLabel *count;
        library::RomShelf *shelf;
    };

    void buildMenus();
    // The pictures to show for the ROM selected in slot's list, the first that exists; none when
    // nothing is selected.
    QStringList snapshotPaths(int slot) const;
    void buildFindLine();
    void updateSoundCaption();
    // A ROM unpacked from an archive: where it came from, for the log and the history.
    struct ArchiveSource {
        QString archive;
        QString entry;
    };
    // The emulator on folder and fileName with the options as they stand, off the window's thread;
    // the launch and the play are kept by the game's identity (sha1, read from the file when empty).
    void startEmulator(const QString &folder, const QString &fileName, const QByteArray &sha1 = {},
                       const ArchiveSource &source = {});
    // Starts the emulator on a ROM, on any thread: made on the window's thread with the options as
    // they stand, it reaches the window only through the door.
    using EmulatorStart = std::function<void(const QString &folder, const QString &fileName, const QByteArray &sha1,
                                             const ArchiveSource &source)>;
    EmulatorStart emulatorStarter();
    // Starts a ROM of the archive at path: asks which one when it holds several, unpacks it into
    // the ROM cache off the window's thread, and starts the emulator on the unpacked file.
    void startArchive(const QString &path);
    struct ArchiveStart {
        QString path;
        platform::FileStamp stamp; // the archive's, as it was listed
        library::ArchiveListing listing;
        size_t chosen = 0;
        QString listedFolder; // its folder as a tab lists it; empty when none does
        QString cacheFolder;
        EmulatorStart run;
    };
    // On a thread aside: unpacks the chosen ROM and starts the emulator on it.
    static void unpackAndStart(MainWindow *window, const std::shared_ptr<platform::ContextDoor> &door, ArchiveStart job);
    // The folders the tabs list, and the tab of these whose folder holds the file at path (-1:
    // none), by the file system's judgement: on any thread.
    std::array<QString, 3> listedFolders() const;
    static int tabOfFolder(const std::array<QString, 3> &listedFolders, const QString &path);
    // What is at path, and which tab lists its folder, found off the window's thread and told to
    // then on it.
    void inspectAside(const QString &path, std::function<void(platform::PathKind kind, int tab)> then);
    // startFile, once what is at path is known.
    void startInspected(const QString &path, platform::PathKind kind);
    // The first row of model whose ROM is game; -1 when none is (or is not checked yet).
    static int rowOfGame(const library::RomListModel &model, const QByteArray &game);
    // The identity of the ROM selected in slot's list, once checked; empty before.
    QByteArray selectedIdentity(int slot) const;
    QString selectedPath(int slot) const;
    // What the history holds, shown: the stars in the lists, File > Recent.
    void showHistory();
    void updateCount(const RomTab &tab);
    // The tab and ROMs last selected, read back at start-up: each ROM is selected again once its
    // tab lists it, unless the user has chosen another meanwhile.
    void restoreSelection(const library::RememberedSelection &kept);
    void selectRemembered(int slot);
    void keepSelection();
    // The find line's text is the current tab's query; the first row it leaves is selected.
    void find(const QString &query);
    // Up and Down move through the rows shown, Enter starts the selected one, Alt+Enter, Shift+F10
    // and the Menu key act on it as in the list, Escape closes.
    bool findKey(QKeyEvent *event);
    void openListMenu(forms::FileListBox *list);
    // Points the shelves at the model's folders: each is read on a thread of its own, and waited
    // for as long as the context says; a list whose folder has not answered by then fills when it
    // does.
    void listRomFolders();
    // The start-up listing, when it still waits for the window to be on screen.
    void listWaitingFolders();
    // Tells the user when the emulator failed at once: that is no user quitting a game.
    void reportEarlyExit(const platform::ProcessExit &exit, const QString &program, const QString &log, qint64 headerSize);

    AppContext m_context;
    config::RomFolders *m_romFolders;
    dialogs::RomFoldersDialog *m_romFoldersDialog = nullptr;
    preview::SnapshotLoader *m_snapshotLoader;
    forms::MainWindowForm m_form;
    library::FolderWatcher *m_watcher;
    library::RomChecker *m_checker;
    library::PlayHistory *m_history;
    QMenu *m_romMenu = nullptr;
    QAction *m_favouriteAction = nullptr;
    QMenu *m_recentMenu = nullptr;
    int m_romMenuSlot = 0;
    std::array<RomTab, 3> m_tabs{};
    std::shared_ptr<platform::ContextDoor> m_door; // launches reach the window through it
    bool m_listingWaitsForScreen = false;
    bool m_shown = false;
    QLineEdit *m_findLine = nullptr;
    int m_findSlot = -1;    // the tab the find line filters; -1 while closed
    QString m_findSelected; // the ROM last selected while it filters: kept through folder changes
    QString m_findStart;    // the ROM selected as it opened: selected again if it closes on none
    library::SelectionKeeper *m_keeper = nullptr;
    library::RememberedSelection m_remembered; // what is kept: the user's choices, else those kept before
    std::array<bool, 3> m_restoring{};         // a slot's remembered ROM waits for its list
    std::array<bool, 3> m_listed{};            // a slot's folder has been listed
    bool m_selectingRemembered = false;
    bool m_selectionAsked = false; // the selection kept is read once, with the folders
    bool m_historyAsked = false;   // and so is the play
    QHash<QString, bool> m_problemsSaid; // the database's, each said once
    QStringList m_previewed;             // the pictures the box shows, or is about to
};

} // namespace app
