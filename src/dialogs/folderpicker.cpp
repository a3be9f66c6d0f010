#include "dialogs/folderpicker.h"

#include "forms/dirlistbox.h"
#include "platform/drives.h"
#include "platform/folders.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

QString pickedFolderText(const QString &folderPath, const QString &relativeTo)
{
    if (!relativeTo.isEmpty()) {
        const QString relative = QDir(relativeTo).relativeFilePath(folderPath);
        if (!relative.startsWith(QStringLiteral("..")) && QDir::isRelativePath(relative))
            return QDir::toNativeSeparators(relative.isEmpty() ? QStringLiteral(".") : relative) + QDir::separator();
    }
    return QDir::toNativeSeparators(folderPath) + QDir::separator();
}

FolderPicker::FolderPicker(int slot, QLineEdit *target, Notifier notify, QWidget *parent, const QString &relativeTo)
    : forms::FormDialog(parent), m_target(target), m_notify(std::move(notify)), m_relativeTo(relativeTo),
      m_form(forms::buildPickerForm(this, slot))
{
    connect(m_form.drives, &forms::DriveListBox::driveChanged, this, &FolderPicker::changeDrive);
    connect(m_form.ok, &QPushButton::clicked, this, &FolderPicker::choose);
    connect(m_form.folders, &forms::DirListBox::pathChanged, this, [this](const QString &path) {
        const QString drive = platform::driveOf(path);
        platform::rememberDriveFolder(drive, QDir::fromNativeSeparators(path));
        m_form.drives->setDrive(drive);
    });
    connect(m_form.folders, &forms::DirListBox::openFailed, this, [this](const QString &folder, const QString &reason) {
        m_notify(this, QStringLiteral("Select Directory"),
                 QStringLiteral("%1 cannot be opened.\n\n%2").arg(QDir::toNativeSeparators(folder), reason));
    });
    // The lists start at the process's current folder. When that cannot be read (removed, or no
    // permission), say so and start at the nearest folder above it that can, never at nothing.
    const QString start = platform::currentFolder();
    QString reason = QStringLiteral("The folder no longer exists.");
    const bool opened = m_form.folders->openNearest(start.isEmpty() ? QDir::rootPath() : start, &reason) && !start.isEmpty();
    if (!opened) {
        m_notify(this, QStringLiteral("Select Directory"),
                 QStringLiteral("The current folder %1 cannot be opened.\n\n%2\n\nShowing %3 instead.")
                     .arg(QDir::toNativeSeparators(start), reason, m_form.folders->path()));
    }
}

void FolderPicker::changeDrive()
{
    const QString drive = m_form.drives->drive();
    const QString folder = platform::driveCurrentFolder(drive);
    QString reason;
    if (!m_form.folders->setPath(folder, &reason)) {
        m_notify(this, QStringLiteral("Select Directory"),
                 QStringLiteral("The drive %1 cannot be read.\n\n%2").arg(QDir::toNativeSeparators(drive), reason));
        m_form.drives->setDrive(platform::driveOf(m_form.folders->path())); // stay where the list was
    }
}

void FolderPicker::choose()
{
    m_target->setText(pickedFolderText(m_form.folders->path(), m_relativeTo));
    accept();
}

} // namespace dialogs
