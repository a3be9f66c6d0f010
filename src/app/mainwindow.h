#pragma once

#include "app/appcontext.h"

#include <QMainWindow>

class QAction;
class QLabel;

namespace config {
class RomFoldersDialog;
}
namespace forms {
class CheckBox;
class FileListBox;
class OptionList;
class PictureBox;
class TabControl;
} // namespace forms

namespace preview {
class SnapshotLoader;
}

namespace app {

// "ROMs : " followed by the number of entries of a file list.
QString RomCountCaption(int count);

// The main window: three tabs of ROMs, the option lists, the snapshot preview and the menus.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext context, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up: reads the folders, fills the tabs, sets the options, enters the application folder.
    void Form_Load();

    void Form_Unload();
    void filemnuexit_Click();
    void Check1_Click();
    void File1_Click();
    void File2_Click();
    void File3_Click();
    void File1_DblClick();
    void File2_DblClick();
    void File3_DblClick();
    void mnuoptionsdir_Click();
    void mnuhelpreadme_Click();
    void mnuhelpabout_Click();

    // The twin handlers share these, parameterised by RomFolder slot 1..3.
    void previewSnapshot(int slot);
    void launchRom(int slot);

    forms::FileListBox *fileList(int slot) const;
    QLabel *countLabel(int slot) const;
    config::RomFoldersDialog *romFoldersDialog() const { return m_romFoldersDialog; }
    forms::CheckBox *check1() const { return m_check1; }
    forms::OptionList *list1() const { return m_list1; }
    forms::OptionList *list2() const { return m_list2; }
    forms::PictureBox *picture2() const { return m_picture2; }
    forms::TabControl *ssTab1() const { return m_tabs; }
    QAction *action(const char *name) const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    // Points the three file lists at the store's folders, reading the folders side by side.
    void pointFileLists();
    // After Save: the lists pointed again and the count labels set again.
    void repointFileLists();
    void setCountLabels();

    AppContext m_context;
    config::RomFoldersDialog *m_romFoldersDialog = nullptr;
    forms::CheckBox *m_check1;
    forms::OptionList *m_list1;
    forms::OptionList *m_list2;
    forms::PictureBox *m_picture2;
    forms::TabControl *m_tabs;
    preview::SnapshotLoader *m_snapshotLoader;
};

} // namespace app
