#pragma once

#include "forms/controls.h"

class QLineEdit;

namespace forms {
class DirListBox;
class DriveListBox;
} // namespace forms

namespace config {

// The folder path a picker stores: the folder's full path and one separator, appended whatever
// the path ends in (so a root gets two).
QString pickedFolderText(const QString &folderPath);

// A folder picker ("Select Directory"): choose a drive and a folder; "&OK" writes the folder into
// the slot's field of the Directories form. Starts at the process's current folder every time.
class FolderPicker : public forms::FormDialog
{
    Q_OBJECT
public:
    FolderPicker(const char *formName, QLineEdit *target, forms::Notifier notify, QWidget *parent = nullptr);

    forms::DriveListBox *drive1() const { return m_drive; }
    forms::DirListBox *dir1() const { return m_dir; }

    void Drive1_Change();
    void Command1_Click();

private:
    QLineEdit *m_target;
    forms::Notifier m_notify;
    forms::DriveListBox *m_drive;
    forms::DirListBox *m_dir;
};

} // namespace config
