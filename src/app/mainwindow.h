#pragma once

#include "app/appcontext.h"

#include <QMainWindow>

#include <array>

class QLabel;

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

private:
    void buildMenus();
    void updateSoundCaption();
    // Points the three file lists at the model's folders, reading the folders side by side, and
    // sets the count labels.
    void listRomFolders();
    // The emulator's log for this launch: the time and the command line, the emulator's output to
    // follow. Empty when it cannot be written (the output then goes where it goes without it).
    QString startLaunchLog(const QString &commandLine, const platform::Command &command, qint64 *headerSize);
    // Tells the user when the emulator failed at once: that is no user quitting a game.
    void reportEarlyExit(const platform::ProcessExit &exit, const QString &program, const QString &log, qint64 headerSize);

    AppContext m_context;
    config::RomFolders *m_romFolders;
    dialogs::RomFoldersDialog *m_romFoldersDialog;
    preview::SnapshotLoader *m_snapshotLoader;
    forms::CheckBox *m_sound;
    forms::OptionList *m_resolution;
    forms::OptionList *m_controller;
    forms::PictureBox *m_snapshot;
    std::array<forms::FileListBox *, 3> m_fileLists{};
    std::array<QLabel *, 3> m_countLabels{};
};

} // namespace app
