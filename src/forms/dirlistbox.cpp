#include "forms/dirlistbox.h"

#include "platform/drives.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>

namespace forms {

namespace {
constexpr int kPathRole = Qt::UserRole;

QTreeWidgetItem *makeItem(const QString &name, const QString &path, const QIcon &icon)
{
    auto *item = new QTreeWidgetItem(QStringList{name});
    item->setData(0, kPathRole, path);
    item->setIcon(0, icon);
    return item;
}
} // namespace

bool canReadFolder(const QString &folder, QString *reason)
{
    const QFileInfo info(folder);
    QString why;
    if (!info.exists())
        why = QStringLiteral("The folder does not exist.");
    else if (!info.isDir())
        why = QStringLiteral("It is not a folder.");
    else if (!info.isReadable() || !QDir(folder).isReadable())
        why = QStringLiteral("Permission denied.");
#ifndef Q_OS_WIN
    else if (!info.isExecutable())
        why = QStringLiteral("Permission denied.");
#endif
    if (reason)
        *reason = why;
    return why.isEmpty();
}

DirListBox::DirListBox(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { open(item); });
}

bool DirListBox::openNearest(const QString &folder, QString *reason)
{
    if (setPath(folder, reason))
        return true;
    // Up the chain to the first folder that can be read; the root at worst.
    QDir dir(QDir::cleanPath(QDir::fromNativeSeparators(folder)));
    while (!dir.isRoot() && dir.cdUp()) {
        if (setPath(dir.path()))
            return false;
    }
    setPath(QDir::fromNativeSeparators(platform::driveOf(folder)));
    return false;
}

void DirListBox::open(QTreeWidgetItem *item)
{
    const QString folder = item->data(0, kPathRole).toString();
    QString reason;
    if (!setPath(folder, &reason))
        emit openFailed(folder, reason);
}

bool DirListBox::setPath(const QString &folder, QString *reason)
{
    const QString clean = QDir::cleanPath(QDir(QDir::fromNativeSeparators(folder)).absolutePath());
    if (!canReadFolder(clean, reason))
        return false;

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the root down to the folder, each a child of the one above.
    QStringList chain;
    for (QDir dir(clean);; ) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    QTreeWidgetItem *parent = nullptr;
    for (const QString &step : chain) {
        const QString name = QDir(step).isRoot() ? QDir::toNativeSeparators(step) : QFileInfo(step).fileName();
        QTreeWidgetItem *item = makeItem(name, step, openIcon);
        if (parent)
            parent->addChild(item);
        else
            addTopLevelItem(item);
        parent = item;
    }
    const QStringList subfolders =
        QDir(clean).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : subfolders)
        parent->addChild(makeItem(name, QDir(clean).filePath(name), closedIcon));
    expandAll();
    setCurrentItem(parent);

    m_path = QDir::toNativeSeparators(clean);
    emit pathChanged(m_path);
    return true;
}

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent)
{
    for (const QString &drive : platform::drives())
        addItem(QDir::toNativeSeparators(drive), drive); // shown as the system writes it: "C:\"
    setDrive(platform::driveOf(QDir::currentPath()));
    // Picking the drive that is already chosen changes nothing.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (itemData(index).toString() == m_drive)
            return;
        m_drive = itemData(index).toString();
        emit Change();
    });
}

void DriveListBox::setDrive(const QString &drive)
{
    const int index = findData(drive);
    if (index >= 0) {
        setCurrentIndex(index);
        m_drive = drive;
    }
}

} // namespace forms
