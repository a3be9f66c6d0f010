#pragma once

#include "app/appcontext.h"
#include "app/folderwatcher.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QLabel;
class QTimer;

namespace config {
class RomFolders;
}
namespace dialogs {
class RomFoldersDialog;
}
namespace forms {
class CheckBox;
class FileListBox;
class OptionList;
class PictureBox;
} // namespace forms
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

    // Shows the snapshot of the ROM selected in slot 1..3's list, or a blank box.
    void previewSnapshot(int slot);
    // Starts the emulator on the ROM selected in slot 1..3's list, with the chosen options.
    void launchRom(int slot);

    void editRomFolders(); // Options > Directories
    void showReadme();     // Help > Readme
    void showAbout();      // Help > About
    void exit();           // File > Exit

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void updateSoundCaption();
    // Points the three file lists at the model's folders: reads them side by side, each on a
    // thread of its own, and waits for them as long as the context says; a list whose folder has
    // not answered by then fills when it does.
    void listRomFolders();
    // The start-up listing, when it still waits for the window to be on screen.
    void listWaitingFolders();
    // Reads slot 1..3's folder off this thread; the list shows what it finds, in place when it
    // shows that folder already. Returns at once.
    void readFolder(int slot, const QString &folder, const std::function<void()> &whenPosted);
    void showReading(int slot, quint64 reading, const ListedFolder &folder, const forms::RomNames &names, bool readable);
    // The folder changed on disk: read it again once the changes have settled.
    void folderChanged(const QString &folder);
    // Tells the user when the emulator failed at once: that is no user quitting a game.
    void reportEarlyExit(const platform::ProcessExit &exit, const QString &program, const QString &log, qint64 headerSize);

    AppContext m_context;
    config::RomFolders *m_romFolders;
    dialogs::RomFoldersDialog *m_romFoldersDialog = nullptr;
    preview::SnapshotLoader *m_snapshotLoader;
    forms::CheckBox *m_sound;
    forms::OptionList *m_resolution;
    forms::OptionList *m_controller;
    forms::PictureBox *m_snapshot;
    std::array<forms::FileListBox *, 3> m_fileLists{};
    std::array<QLabel *, 3> m_countLabels{};
    std::shared_ptr<platform::ContextDoor> m_door; // readings and launches reach the window through it
    std::array<quint64, 3> m_readings{};             // the newest reading of each slot
    bool m_listingWaitsForScreen = false;
    FolderWatcher *m_watcher;
    std::array<ListedFolder, 3> m_watched;           // each slot's folder being watched
    std::array<QTimer *, 3> m_settling{};            // a changed folder is read again when it settles
    std::array<qint64, 3> m_changedSince{};          // when its first unread change came
};

} // namespace app
