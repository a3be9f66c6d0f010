#pragma once

#include "config/romfolders.h"
#include "forms/controls.h"

class QLineEdit;

namespace config {

// The ROM folders dialog. Its three text fields are also where the current folder paths live
// while the program runs: start-up fills them, every launch reads them, the pickers write them,
// Save stores them in the configuration file.
class RomFoldersDialog : public forms::FormDialog
{
    Q_OBJECT
public:
    // onSaved runs after a successful write, before the dialog closes: it re-points the main
    // window's file lists and count labels.
    RomFoldersDialog(const ConfigFiles &files, forms::Notifier notify, std::function<void()> onSaved,
                QWidget *parent = nullptr);

    QLineEdit *field(int slot) const; // slot 1..3: Text1, Text2, Text3
    QString folder(int slot) const;
    void setFolder(int slot, const QString &path);

    // Fills the fields from the configuration file; false (and a message) when it is unreadable.
    bool reload();

    void Command1_Click(); // browse for folder 1 (Form3)
    void Command3_Click(); // browse for folder 2 (Directories2)
    void Command4_Click(); // browse for folder 3 (Form4)
    void Command2_Click(); // Save

    // Every opening starts on Text1 with nothing selected, so that no key replaces a path unasked.
    void setVisible(bool visible) override;

private:
    void browse(int slot);

    ConfigFiles m_files;
    forms::Notifier m_notify;
    std::function<void()> m_onSaved;
};

} // namespace config
