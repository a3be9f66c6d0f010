#pragma once

#include "dialogs/message.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"

namespace config {
class RomFolders;
}

namespace dialogs {

// The ROM folders dialog ("Directories"): edits a copy of the three folders, each typed or picked
// with its "..." button, and whether each includes its subfolders; Save writes them through the
// model and closes. Closing it any other way
// forgets the edits.
class RomFoldersDialog : public forms::FormDialog
{
    Q_OBJECT
public:
    RomFoldersDialog(config::RomFolders &folders, Notifier notify, QWidget *parent = nullptr);

    // Opens the picker of slot 0..2; its OK puts the chosen folder into the slot's field.
    void browse(int slot);
    // Writes the three fields; on failure says why and stays open with what was typed.
    void save();

    // Every opening starts from the model's folders, on the first field with nothing selected, so
    // that no key replaces a path unasked.
    void setVisible(bool visible) override;

private:
    config::RomFolders &m_folders;
    Notifier m_notify;
    forms::RomFoldersForm m_form;
};

} // namespace dialogs
