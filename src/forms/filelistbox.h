#pragma once

#include "forms/romnames.h"

#include <QListView>

namespace forms {

class RomListModel;

// A file list: shows the matching files of one folder; one entry can be selected at a time.
// fileSelected is raised when the selection changes (mouse, keyboard, or the entry gone from its
// folder), fileActivated on a left-button double click or Enter.
class FileListBox : public QListView
{
    Q_OBJECT
public:
    explicit FileListBox(const QString &pattern, QWidget *parent = nullptr);

    // Shows names, read from folder. When the list already shows folder, the difference is
    // applied in place, so that the selection, the current entry and the scroll position stay.
    void showFolder(const QString &folder, RomNames names);
    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    int listCount() const;
    // The selected entry's name without folder; empty when nothing is selected.
    QString fileName() const;
    // Selects the entry named name (as a click would); false when there is none.
    bool selectFile(const QString &name);

signals:
    void fileSelected();
    void fileActivated(); // a left-button double click on an entry, or Enter on the selected one

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_pattern;
    QString m_path;
    RomListModel *m_model;
};

} // namespace forms
