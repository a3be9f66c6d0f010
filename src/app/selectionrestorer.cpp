#include "app/selectionrestorer.h"

#include "app/findline.h"
#include "forms/filelistbox.h"
#include "platform/filenames.h"

#include <QTabWidget>

namespace app {

SelectionRestorer::SelectionRestorer(const QString &file, QTabWidget *tabs, const Lists &lists, library::Library *library,
                                     const FindLine *find, QObject *parent)
    : QObject(parent), m_tabs(tabs), m_lists(lists), m_library(library), m_find(find)
{
    if (file.isEmpty())
        return;
    m_keeper = new library::SelectionKeeper(file, this);
    connect(m_keeper, &library::SelectionKeeper::loaded, this, &SelectionRestorer::restore);
}

void SelectionRestorer::load(std::chrono::milliseconds patience)
{
    if (!m_keeper || std::exchange(m_loaded, true))
        return;
    if (const std::optional<library::RememberedSelection> came = m_keeper->load(patience))
        restore(*came);
}

void SelectionRestorer::listed(int slot)
{
    m_listed[size_t(slot)] = true;
    if (m_restoring[size_t(slot)])
        select(slot);
}

void SelectionRestorer::selected(int slot)
{
    const QString name = m_lists[size_t(slot)]->fileName();
    if (m_selecting || name.isEmpty())
        return;
    m_restoring[size_t(slot)] = false; // the user's own choice
    m_selection.folders[size_t(slot)] = m_library->folder(slot)->listedFolder();
    m_selection.roms[size_t(slot)] = name;
    keep();
}

void SelectionRestorer::tabChosen(int index)
{
    m_selection.tab = index;
    keep();
}

void SelectionRestorer::titlesShown(bool shown)
{
    m_titlesChosen = true;
    if (std::exchange(m_selection.showTitles, shown) != shown)
        keep();
}

void SelectionRestorer::coversShown(bool shown)
{
    m_coversChosen = true;
    if (std::exchange(m_selection.showCovers, shown) != shown)
        keep();
}

void SelectionRestorer::orderChosen(library::RomOrder order)
{
    m_orderChosen = true;
    if (std::exchange(m_selection.order, order) != order)
        keep();
}

void SelectionRestorer::windowPlaced(const QSize &size, bool maximised)
{
    if (!m_restored || (size == m_selection.windowSize && maximised == m_selection.maximised))
        return; // the window's placing before the file answered is not the user's
    m_selection.windowSize = size;
    m_selection.maximised = maximised;
    keep();
}

void SelectionRestorer::restore(const library::RememberedSelection &remembered)
{
    if (std::exchange(m_restored, true))
        return; // waited for at start-up, and come again through the signal
    if (!m_titlesChosen) {
        m_selection.showTitles = remembered.showTitles;
        emit titlesRestored(remembered.showTitles);
    }
    if (!m_coversChosen) {
        m_selection.showCovers = remembered.showCovers;
        emit coversRestored(remembered.showCovers);
    }
    if (!m_orderChosen) {
        m_selection.order = remembered.order;
        emit orderRestored(remembered.order);
    }
    m_selection.windowSize = remembered.windowSize;
    m_selection.maximised = remembered.maximised;
    emit windowRestored(remembered.windowSize, remembered.maximised);
    for (size_t slot = 0; slot < m_lists.size(); ++slot) {
        if (!m_selection.roms[slot].isEmpty())
            continue; // chosen since start-up
        m_selection.folders[slot] = remembered.folders[slot];
        m_selection.roms[slot] = remembered.roms[slot];
        m_restoring[slot] = !remembered.roms[slot].isEmpty();
    }
    if (m_selection.tab < 0 && remembered.tab >= 0) // first, so that its snapshot is the one shown
        m_tabs->setCurrentIndex(remembered.tab);
    for (size_t slot = 0; slot < m_lists.size(); ++slot) {
        if (m_restoring[slot] && m_listed[slot])
            select(int(slot));
    }
}

void SelectionRestorer::select(int slot)
{
    m_restoring[size_t(slot)] = false;
    forms::FileListBox *list = m_lists[size_t(slot)];
    if (slot == m_find->slot() || m_selection.folders[size_t(slot)] != m_library->folder(slot)->listedFolder())
        return;
    // By the name's bytes in the list's own buffer: 100,000 names are looked through in a moment.
    const int row = m_library->folder(slot)->model()->rowOf(platform::toUtf8Lossless(m_selection.roms[size_t(slot)]));
    if (row < 0)
        return; // no longer there
    const QModelIndex entry = list->model()->index(row, 0);
    m_selecting = true;
    list->setCurrentIndex(entry);
    m_selecting = false;
    list->centreOn(entry);
    emit restored(slot);
}

void SelectionRestorer::keep()
{
    if (!m_keeper)
        return;
    if (m_selection.tab < 0)
        m_selection.tab = m_tabs->currentIndex();
    m_keeper->keep(m_selection);
}

} // namespace app
