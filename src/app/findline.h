#pragma once

#include "library/library.h"

#include <QObject>

#include <array>

class QLineEdit;
class QKeyEvent;
class QWidget;

namespace forms {
class FileListBox;
}

namespace app {

// File > Find (Ctrl+F): a line over the foot of the current tab's list that filters it as the
// user types; the first row it leaves is selected. Up and Down move through the rows shown, Enter
// starts the selected one, Alt+Enter, Shift+F10 and the Menu key act on it as in the list, and
// Escape, or another tab, closes it and shows every row again.
class FindLine : public QObject
{
    Q_OBJECT
public:
    using Lists = std::array<forms::FileListBox *, library::Library::kFolderCount>;
    // surface: where the line is laid, over the lists, moving no control of the form.
    FindLine(QWidget *surface, const Lists &lists, library::Library *library, QObject *parent = nullptr);

    void open(int slot);
    void close();
    // The tab it filters; -1 while closed.
    int slot() const { return m_slot; }
    // What the lists tell it: a folder read again keeps the query, and the ROM selected if it stays.
    void relisted(int slot);
    void selected(int slot);

signals:
    // Slot's count of rows shown changed.
    void countChanged(int slot);
    // Enter and Alt+Enter on the line, for the selected row.
    void startAsked(int slot);
    void informationAsked(int slot);
    // The query leaves no row: the picture of the one selected before goes.
    void emptied(int slot);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void find(const QString &query);
    bool handleKey(QKeyEvent *event);
    void openMenu();

    QWidget *m_surface;
    Lists m_lists;
    library::Library *m_library;
    QLineEdit *m_line = nullptr; // made when first opened
    int m_slot = -1;
    QString m_selected; // the ROM last selected while it filters: kept through folder changes
    QString m_start;    // the ROM selected as it opened: selected again if it closes on none
};

} // namespace app
