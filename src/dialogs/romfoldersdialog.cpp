#include "dialogs/romfoldersdialog.h"

#include "config/romfolders.h"
#include "config/romslots.h"
#include "dialogs/folderpicker.h"
#include "forms/formdefs.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

RomFoldersDialog::RomFoldersDialog(config::RomFolders &folders, Notifier notify, QWidget *parent)
    : forms::FormDialog(forms::romFoldersDialogDef(), parent), m_folders(folders), m_notify(std::move(notify))
{
    for (const config::RomSlot &slot : config::kRomSlots) {
        m_fields[size_t(slot.number - 1)] = findChild<QLineEdit *>(QLatin1String(slot.folderField));
        connect(findChild<QPushButton *>(QLatin1String(slot.browseButton)), &QPushButton::clicked, this,
                [this, number = slot.number] { browse(number); });
    }
    connect(findChild<QPushButton *>(QStringLiteral("Command2")), &QPushButton::clicked, this, &RomFoldersDialog::save);
}

void RomFoldersDialog::setVisible(bool visible)
{
    if (visible) {
        for (const config::RomSlot &slot : config::kRomSlots)
            m_fields[size_t(slot.number - 1)]->setText(m_folders.folder(slot.number));
        m_fields[0]->setFocus(Qt::OtherFocusReason);
    }
    forms::FormDialog::setVisible(visible);
    // Showing hands the focus field a Tab-like focus, which would select all its text.
    if (visible) {
        for (QLineEdit *field : m_fields)
            field->deselect();
    }
}

void RomFoldersDialog::browse(int slot)
{
    // A portable setup keeps folders inside the program's own folder relative to it.
    const config::ConfigFiles &files = m_folders.files();
    const QString relativeTo = files.portable ? QFileInfo(files.file).absolutePath() : QString();
    FolderPicker picker(config::slotAt(slot).picker, m_fields[size_t(slot - 1)], m_notify, this, relativeTo);
    picker.centreOnScreen();
    picker.exec();
}

void RomFoldersDialog::save()
{
    QStringList folders;
    for (const QLineEdit *field : m_fields)
        folders.append(field->text());
    QString error;
    if (!m_folders.save(folders, &error)) {
        // Nothing was saved: keep the dialog open with what the user entered.
        m_notify(this, QStringLiteral("Save"),
                 QStringLiteral("The folders could not be saved.\n\n%1\n%2")
                     .arg(QDir::toNativeSeparators(m_folders.files().file), error));
        return;
    }
    accept();
}

} // namespace dialogs
