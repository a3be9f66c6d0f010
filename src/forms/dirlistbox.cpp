#include "forms/dirlistbox.h"

#include "platform/dirscan.h"
#include "platform/drives.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

namespace forms {

namespace {
constexpr int kPathRole = Qt::UserRole;

QTreeWidgetItem *makeItem(const QString &name, const QString &path, const QIcon &icon)
{
    auto *item = new QTreeWidgetItem(QStringList{platform::displayName(name)});
    item->setData(0, kPathRole, path);
    item->setIcon(0, icon);
    return item;
}
// The folder above a clean absolute path, by its text alone (names need not be valid text for Qt's
// file functions); empty above a root.
QString parentFolder(const QString &path)
{
    if (QDir(path).isRoot())
        return QString();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    QString up = path.left(slash);
    if (up.isEmpty() || up.endsWith(QLatin1Char(':')))
        up += QLatin1Char('/');
    return up;
}
} // namespace

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
    for (QString up = parentFolder(QDir::cleanPath(QDir::fromNativeSeparators(folder))); !up.isEmpty();
         up = parentFolder(up)) {
        if (setPath(up))
            return false;
    }
    setPath(QDir::fromNativeSeparators(platform::driveOf(folder)));
    return false;
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    // Enter opens the highlighted folder, as a double click does, so that the keyboard alone can
    // walk to any folder.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier
        && currentItem()) {
        event->accept();
        open(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
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
    if (!platform::canReadFolder(clean, reason))
        return false;

    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the root down to the folder, each a child of the one above.
    QStringList chain;
    for (QString step = clean; !step.isEmpty(); step = parentFolder(step))
        chain.prepend(step);
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
    QStringList subfolders = platform::subfolders(clean);
    std::sort(subfolders.begin(), subfolders.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
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
        emit driveChanged();
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
