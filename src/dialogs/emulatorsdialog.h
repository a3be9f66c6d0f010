#pragma once

#include "dialogs/message.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"

namespace launch {
class EmulatorChoice;
}

namespace dialogs {

// Options > Emulators: the emulators found (each with where) and the user's own, which of them
// starts games by default, and a form to add one's own. What it shows and changes lives in the
// EmulatorChoice.
class EmulatorsDialog : public forms::FormDialog
{
    Q_OBJECT
public:
    EmulatorsDialog(launch::EmulatorChoice *choice, Notifier notify, QWidget *parent = nullptr);

    // The id of the emulator the list's selected row shows; empty when none is selected.
    QString selectedId() const;
    void makeDefault();
    void removeOwn();
    void addOwn();
    void browseProgram();

private:
    void showEmulators();

    launch::EmulatorChoice *m_choice;
    Notifier m_notify;
    forms::EmulatorsForm m_form;
    QStringList m_shownIds; // by row of the list
};

// The program picker ("Select Program"): a drive, a folder, and one of the programs in it; the
// path chosen, or empty when it was closed without one.
QString pickProgram(QWidget *parent, const QString &startFolder, const Notifier &notify);

} // namespace dialogs
