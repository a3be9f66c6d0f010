#pragma once

#include <QIcon>
#include <QListView>
#include <QPersistentModelIndex>

#include <functional>

namespace forms {

class CoverSource;

// A file list: a view of one folder's matching files (its model's edit role holds each name as
// the file system holds it); one entry can be selected at a time. fileSelected is raised when the
// selection changes (mouse, keyboard, or the entry gone from its folder), fileActivated on a
// left-button double click or Enter. A right click on an entry, the Menu key or Shift+F10 ask
// for the entry's menu, Alt+Enter for what the file is. An entry whose name is cut off at the
// list's edge shows the whole name in its tooltip, above what the model's tooltip says.
class FileListBox : public QListView
{
    Q_OBJECT
public:
    explicit FileListBox(const QString &pattern, QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    // Type-ahead: moves to the next entry, in the list's order, whose name starts with what was
    // typed, case and accents aside; the same letter again steps on to the next such entry.
    void keyboardSearch(const QString &search) override;
    QString pattern() const { return m_pattern; }
    // Draws beside each entry the icon iconOf gives for the model's role: the model holds what
    // an entry is, the list how that looks.
    void setIconRole(int role, std::function<QIcon(const QVariant &value)> iconOf);
    // Shows the entries as a grid of covers from source (none: as a list again). The entries,
    // the selection, the keys and the signals stay as they are; the arrows move in the grid.
    void showCovers(CoverSource *source);
    bool showsCovers() const { return m_covers != nullptr; }
    int listCount() const;
    // The selected entry's name without folder; empty when nothing is selected.
    QString fileName() const;
    // Selects the entry named name (as a click would); false when there is none.
    bool selectFile(const QString &name);
    // Scrolls entry to the middle of the list; a list not shown (another tab's) is scrolled when
    // it is, for only then is it laid out: a million entries take a while.
    void centreOn(const QModelIndex &entry);

signals:
    void fileSelected();
    void fileActivated(); // a left-button double click on an entry, or Enter on the selected one
    void menuRequested(const QPoint &globalPos); // for the selected entry, to show at globalPos
    void informationRequested();                 // Alt+Enter on the selected entry

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles = QList<int>()) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void spreadCovers(); // the grid's columns share the list's width
    QString m_pattern;
    QAbstractItemDelegate *m_listDelegate = nullptr; // the list's own, while covers are shown
    CoverSource *m_covers = nullptr;
    int m_markRole = -1;
    std::function<QIcon(const QVariant &value)> m_markOf;
    bool m_selectedGoing = false; // the selected entry is being removed
    QPersistentModelIndex m_centreWhenShown;
    QString m_typed;              // type-ahead: what was typed so far, folded
    qint64 m_typedAt = 0;         // when it was last typed to
};

} // namespace forms
