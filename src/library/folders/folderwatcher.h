#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace library {

// A folder as it was read: where it is, and when it last changed as it was read.
struct ListedFolder {
    QString path;
    QDateTime modified;
};

// Tells when a folder's entries change. The watches are set on a thread of their own: to set one
// the system visits every entry of the folder it knows (milliseconds for 100,000 ROMs), and a
// folder on a share whose server is gone may not answer at all.
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatcher(QObject *parent = nullptr);
    // Returns at once; a watch still being set on a folder that does not answer is left to end
    // on its own.
    ~FolderWatcher() override;

    // What owner wants watched from now on (a folder and its subfolders), in place of what it
    // wanted before; an empty path is nothing. Give each folder by what it is (its canonical
    // path): owners that want the same folder share its watch, and each is told of its changes.
    // A folder that changed after it was read and before its watch was set counts as changed.
    // Returns at once.
    void watch(const QObject *owner, const QList<ListedFolder> &folders);

signals:
    void folderChanged(const QString &folder);

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::unique_ptr<QThread> m_thread;
    QHash<const QObject *, QList<ListedFolder>> m_wanted;
};

} // namespace library
