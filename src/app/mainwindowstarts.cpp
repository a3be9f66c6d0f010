// The main window's starts: a double click or Enter, Run With, File > Recent, and a ROM from
// outside; each with the emulator its game has, once the emulators have been looked for.
#include "app/mainwindow.h"

#include "config/romslots.h"
#include "dialogs/emulatorsdialog.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFileInfo>

namespace app {

LaunchOptions MainWindow::launchOptions(const QByteArray &game) const
{
    return {m_form.resolution->selectedIndex(), m_form.sound->checkState(), m_form.controller->selectedIndex(),
            m_gameEmulators.runFor(game)};
}

void MainWindow::withEmulator(const QByteArray &game, const std::function<void(const LaunchOptions &options)> &start, bool lookedAgain)
{
    const LaunchOptions options = launchOptions(game);
    if (options.emulator.isSet()) {
        start(options);
        return;
    }
    if (!lookedAgain) { // not looked for yet, or one may have been installed since; a start does not wait for the lists
        connect(m_emulators, &launch::EmulatorChoice::loaded, this, [this, game, start] { withEmulator(game, start, true); },
                Qt::SingleShotConnection);
        m_emulatorsAsked = true;
        m_emulators->load();
        return;
    }
    tell(m_gameEmulators.noneFoundMessage());
    editEmulators();
}

void MainWindow::startEntry(const library::RomEntry &entry)
{
    if (entry.isValid())
        withEmulator(entry.game, [this, entry](const LaunchOptions &options) { m_launcher->start(entry, options); });
}

void MainWindow::launchRom(int slot)
{
    startEntry(selectedEntry(slot));
}

void MainWindow::runWith(int slot, const QString &emulator)
{
    const library::RomEntry entry = selectedEntry(slot);
    if (!entry.isRom())
        return;
    m_library->history()->setEmulator(entry.path, entry.game, emulator);
    // Started with the one chosen, whether or not the choice could be kept.
    LaunchOptions options = launchOptions();
    options.emulator = m_emulators->run(emulator);
    if (options.emulator.isSet())
        m_launcher->start(entry, options);
    else
        startEntry(entry); // none found: looked for again, or said
}

void MainWindow::showSwitchesFor(int slot)
{
    if (!m_emulators->isLoaded() || slot < 0)
        return;
    const launch::EmulatorRun run = m_gameEmulators.runFor(selectedEntry(slot).game);
    showEmulatorSwitches(run.isSet() ? &run.definition : nullptr, m_form);
}

void MainWindow::editEmulators()
{
    dialogs::EmulatorsDialog dialog(m_emulators, m_context.notify, this);
    dialog.centreOnScreen();
    dialog.exec();
}

void MainWindow::startFile(const QString &path)
{
    m_library->locate(path, [this, path](platform::PathKind kind, int slot) {
        startLocated(path, kind, slot);
    });
}

void MainWindow::startLocated(const QString &path, platform::PathKind kind, int slot)
{
    const QString folder = slot >= 0 ? m_library->folder(slot)->listedFolder() : QString();
    withEmulator({}, [this, path, kind, folder](const LaunchOptions &options) { m_launcher->startFile(path, kind, options, folder); });
}

void MainWindow::startRecent(const QString &path, const QByteArray &game)
{
    m_library->locate(path, [this, path, game](platform::PathKind kind, int slot) {
        if (kind == platform::PathKind::RegularFile) {
            if (slot >= 0 && m_form.romLists[size_t(slot)]->selectFile(QFileInfo(path).fileName())) {
                m_form.romTabs->setCurrentIndex(slot);
                launchRom(slot);
            } else {
                startLocated(path, kind, slot);
            }
            return;
        }
        // Moved into a listed folder, or renamed there: found by what it is.
        m_library->history()->forgetRecentLaunch(path);
        for (const config::RomSlot &tab : config::kRomSlots) {
            forms::FileListBox *list = m_form.romLists[size_t(tab.index)];
            const int row = m_library->rowOfGame(tab.index, game);
            if (row < 0)
                continue;
            list->setCurrentIndex(list->model()->index(row, 0));
            m_form.romTabs->setCurrentIndex(tab.index);
            launchRom(tab.index);
            return;
        }
        tell(QStringLiteral("%1 is no longer there. It is removed from the recent ROMs.")
                 .arg(platform::displayName(QDir::toNativeSeparators(path))));
    });
}

} // namespace app
