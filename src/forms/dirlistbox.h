#pragma once

#include <QComboBox>
#include <QTreeWidget>

namespace forms {

// A directory list: the chain of folders from the drive's root down to the current folder, then
// the current folder's subfolders. A double click, or Enter on the highlighted folder, opens a
// folder and makes it the current one; a folder that is only highlighted is not.
class DirListBox : public QTreeWidget
{
    Q_OBJECT
public:
    explicit DirListBox(QWidget *parent = nullptr);

    // The current folder's full path; only a root ends in a separator.
    QString path() const { return m_path; }
    // Makes folder the current one. A folder that cannot be read is refused (false), the list
    // stays where it was, and reason names why.
    bool setPath(const QString &folder, QString *reason = nullptr);
    // Makes folder the current one, or when it cannot be read, the nearest readable folder above
    // it (its drive's root at worst); false, with the reason, when folder itself could not be.
    bool openNearest(const QString &folder, QString *reason);

signals:
    void pathChanged(const QString &path);
    // A folder the user tried to open could not be read.
    void openFailed(const QString &folder, const QString &reason);

protected:
    // The chain is always open and cannot be folded: no expand arrows.
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}
    void keyPressEvent(QKeyEvent *event) override;

private:
    void open(QTreeWidgetItem *item);
    QString m_path;
};

// A drive list: the machine's drives; driveChanged is raised when the user picks another drive.
class DriveListBox : public QComboBox
{
    Q_OBJECT
public:
    explicit DriveListBox(QWidget *parent = nullptr);
    QString drive() const { return m_drive; }
    void setDrive(const QString &drive);

signals:
    void driveChanged();

private:
    QString m_drive;
};

} // namespace forms
