#pragma once
// What the main window's tests share: the includes, a layout with snapshots, clicks on a list.

#include "app/runninginstance.h"
#include "dialogs/emulatorsdialog.h"
#include "dialogs/romfoldersdialog.h"
#include "dialogs/rominformationdialog.h"
#include "forms/formbuilder.h"
#include "library/database/librarydatabase.h"
#include "library/checking/rominformation.h"
#include "launch/emulatorchoice.h"
#include "launch/launchcommand.h"
#include "library/archives/romcache.h"
#include "library/folders/romfolder.h"
#include "platform/filenames.h"
#include "testutil.h"
#include "archivewriter.h"

#include <QCryptographicHash>

#include <QClipboard>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QLineEdit>
#include <QMimeData>
#include <QSemaphore>
#include <QThread>
#include <QListWidget>

#include <atomic>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

namespace testutil {

struct Fixture : RomLayout {
    void snapshot(const char *name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(app() + u"/snap/"_s + QLatin1String(name), "JPEG", 95));
    }
};

inline QPoint rowCentre(QAbstractItemView *list, int row) { return list->visualRect(list->model()->index(row, 0)).center(); }

inline void clickFirstEntry(forms::FileListBox *list, bool twice = false, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(list->viewport(), button, {}, rowCentre(list, 0));
    if (twice)
        QTest::mouseDClick(list->viewport(), button, {}, rowCentre(list, 0));
}

#ifdef Q_OS_LINUX
// Whether the system watches folder for this process: the kernel lists each inotify watch, by
// the folder's inode, under the descriptor that holds it.
inline bool watchedBySystem(const QString &folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const QString watch = u" ino:%1 "_s.arg(qulonglong(info.st_ino), 0, 16);
    const QDir descriptors(u"/proc/self/fdinfo"_s);
    for (const QString &descriptor : descriptors.entryList(QDir::Files)) {
        QFile file(descriptors.filePath(descriptor));
        if (file.open(QIODevice::ReadOnly) && QString::fromLatin1(file.readAll()).contains(watch))
            return true;
    }
    return false;
}
#endif

} // namespace testutil

using namespace testutil;
