#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

namespace forms {

// The names of the files in folder that match pattern ("*.nes": by ending, without regard to
// case), hidden files and subfolders left out, sorted by name without regard to case.
QStringList matchingFiles(const QString &folder, const QString &pattern);

// A file list: shows the matching files of one folder; one entry can be selected at a time.
// fileSelected is raised when the selection changes (mouse or keyboard), fileActivated on a
// left-button double click or Enter.
class FileListBox : public QListView
{
    Q_OBJECT
public:
    explicit FileListBox(const QString &pattern, QWidget *parent = nullptr);

    // Points the list at folder with entries already read by matchingFiles(folder, pattern()).
    void setPath(const QString &folder, const QStringList &entries);
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
    QStringListModel *m_model;
};

} // namespace forms
