#pragma once

#include "library/folders/rememberedselection.h"
#include "library/library.h"

#include <QObject>

#include <array>

class QTabWidget;

namespace forms {
class FileListBox;
}

namespace app {

class FindLine;

// The tab and the ROMs last selected, whether titles or covers were shown, the lists' order and
// the window's size: saved in a file as the user chooses them, and read back at start-up, each
// ROM selected again once its tab lists it, unless the user has chosen another meanwhile.
class SelectionRestorer : public QObject
{
    Q_OBJECT
public:
    using Lists = std::array<forms::FileListBox *, library::Library::kFolderCount>;
    // file: where the selection is saved; nothing is saved or restored when empty. The tab that
    // find filters keeps the user's own selection.
    SelectionRestorer(const QString &file, QTabWidget *tabs, const Lists &lists, library::Library *library, const FindLine *find,
                      QObject *parent = nullptr);

    // Reads the file, once; waits for it up to patience, and restores at once what came by then.
    void load(std::chrono::milliseconds patience = {});
    // What the window tells it: slot's folder was read; the user selected a ROM, or a tab.
    void listed(int slot);
    void selected(int slot);
    void tabChosen(int index);
    void titlesShown(bool shown);
    void coversShown(bool shown);
    void orderChosen(library::RomOrder order);
    // The window's size when not maximised, and whether it is: kept once the file has been read.
    void windowPlaced(const QSize &size, bool maximised);

signals:
    // A ROM of slot was selected again, in a tab that may not be the current one.
    void restored(int slot);
    // The lists showed titles when the window was left (and the user has not chosen since).
    void titlesRestored(bool shown);
    void coversRestored(bool shown);
    void orderRestored(library::RomOrder order);
    // The window's size when it was left (invalid: its first), and whether it was maximised.
    void windowRestored(const QSize &size, bool maximised);

private:
    void restore(const library::RememberedSelection &remembered);
    void select(int slot);
    void keep();

    QTabWidget *m_tabs;
    Lists m_lists;
    library::Library *m_library;
    const FindLine *m_find;
    library::SelectionKeeper *m_keeper = nullptr;
    library::RememberedSelection m_selection; // the user's choices, else those read back
    std::array<bool, library::Library::kFolderCount> m_restoring{}; // a slot's ROM waits for its list
    std::array<bool, library::Library::kFolderCount> m_listed{};    // a slot's folder has been read
    bool m_selecting = false; // a selection of its own, not the user's
    bool m_titlesChosen = false; // titles shown or hidden since start-up
    bool m_coversChosen = false;
    bool m_orderChosen = false;
    bool m_loaded = false;
    bool m_restored = false; // the file has been read
};

} // namespace app
