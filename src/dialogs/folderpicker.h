#pragma once

#include "dialogs/message.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"

class QLineEdit;

namespace dialogs {

// The folder path a picker stores: the folder's full path and one separator, appended whatever
// the path ends in (so a root gets two). With relativeTo (the program's folder, for a portable
// setup), a folder inside it is stored relative to it ("roms/"), so that the setup survives a new
// drive letter or mount point.
QString pickedFolderText(const QString &folderPath, const QString &relativeTo = QString());

// A folder picker ("Select Directory"): choose a drive and a folder; "&OK" writes the folder into
// the slot's field of the ROM folders dialog. Starts at the process's current folder every time.
class FolderPicker : public forms::FormDialog
{
    Q_OBJECT
public:
    // The picker of slot 0..2, each a window of its own.
    FolderPicker(int slot, QLineEdit *target, Notifier notify, QWidget *parent = nullptr,
                 const QString &relativeTo = QString());

    // Shows the folder the newly chosen drive keeps, or stays where it was when it cannot be read.
    void changeDrive();
    // "&OK": the open folder (not one merely highlighted) goes into the field, and the picker closes.
    void choose();

private:
    QLineEdit *m_target;
    Notifier m_notify;
    QString m_relativeTo;
    forms::PickerForm m_form;
};

} // namespace dialogs
