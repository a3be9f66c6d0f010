#pragma once

#include "forms/formbuilder.h"
#include "launch/emulatorchoice.h"
#include "library/database/playhistory.h"

#include <QPointer>

namespace app {

// Which emulator starts each game: the one chosen for it (kept by its identity in the play
// history) while that one is still known, else the default.
class GameEmulators
{
public:
    GameEmulators(launch::EmulatorChoice *choice, library::PlayHistory *history) : m_choice(choice), m_history(history) {}

    // The id chosen for game; empty when it has none (or one no longer known).
    QString chosenFor(const QByteArray &game) const;
    launch::EmulatorRun runFor(const QByteArray &game) const;
    // Its ROM Information line: "FCEUX (chosen for this game)", "FCEUX (the default)", "none found".
    QString describe(const QByteArray &game) const;
    // What a double click says when no emulator at all was found.
    QString noneFoundMessage() const;

private:
    QPointer<launch::EmulatorChoice> m_choice;
    QPointer<library::PlayHistory> m_history;
};

// Enables the option controls the emulator has a switch for; each other one is disabled, and its
// tooltip and accessible description say why. No emulator: all enabled, as they always were.
void showEmulatorSwitches(const launch::EmulatorDefinition *emulator, const forms::MainWindowForm &form);

} // namespace app
