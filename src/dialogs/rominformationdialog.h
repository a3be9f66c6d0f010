#pragma once

#include <functional>

#include "forms/controls.h"
#include "forms/formbuilder.h"

namespace library {
class PlayHistory;
class RomChecker;
class RomInformation;
} // namespace library

namespace dialogs {

// The ROM Information window: what a ROM file is, line by line, its texts selectable. It opens
// at once; the file is read off the window's thread and the lines fill when it has been. "&Copy"
// puts every line on the clipboard, "&OK" closes.
class RomInformationDialog : public forms::FormDialog
{
    Q_OBJECT
public:
    // The emulator line for a game (its identity; empty before it is known).
    using EmulatorOf = std::function<QString(const QByteArray &game)>;
    // history gives the game's play once the file tells which game it is; none when null.
    RomInformationDialog(library::RomChecker *checker, const library::PlayHistory *history, const QString &path, QWidget *parent,
                         EmulatorOf emulatorOf = {});

    const library::RomInformation *information() const { return m_information; }
    const forms::RomInfoForm &form() const { return m_form; }

protected:
    // Escape closes the window wherever the focus is: a selectable text would keep the key.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showLines();

    library::RomInformation *m_information;
    forms::RomInfoForm m_form;
};

// Opens the window for path, modal to parent's window, and returns once it is closed.
void showRomInformation(library::RomChecker *checker, const library::PlayHistory *history, const QString &path,
                        QWidget *parent, RomInformationDialog::EmulatorOf emulatorOf = {});

} // namespace dialogs
