#include "dialogs/romfoldersdialog.h"

#include "config/romfolders.h"
#include "config/romslots.h"
#include "dialogs/folderpicker.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

RomFoldersDialog::RomFoldersDialog(config::RomFolders &folders, Notifier notify, QWidget *parent)
    : forms::FormDialog(parent), m_folders(folders), m_notify(std::move(notify)), m_form(forms::buildRomFoldersForm(this))
{
    for (const config::RomSlot &slot : config::kRomSlots) {
        connect(m_form.browseButtons[size_t(slot.index)], &QPushButton::clicked, this,
                [this, index = slot.index] { browse(index); });
    }
    connect(m_form.save, &QPushButton::clicked, this, &RomFoldersDialog::save);
}

void RomFoldersDialog::setVisible(bool visible)
{
    if (visible) {
        for (const config::RomSlot &slot : config::kRomSlots) {
            m_form.folderFields[size_t(slot.index)]->setText(m_folders.folder(slot.index));
            m_form.subfolders[size_t(slot.index)]->setChecked(m_folders.includesSubfolders(slot.index));
        }
        m_form.folderFields[0]->setFocus(Qt::OtherFocusReason);
    }
    forms::FormDialog::setVisible(visible);
    // Showing hands the focus field a Tab-like focus, which would select all its text.
    if (visible) {
        for (QLineEdit *field : m_form.folderFields)
            field->deselect();
    }
}

void RomFoldersDialog::browse(int slot)
{
    // A portable setup keeps folders inside the program's own folder relative to it.
    const config::ConfigFiles &files = m_folders.files();
    const QString relativeTo = files.portable ? QFileInfo(files.file).absolutePath() : QString();
    FolderPicker picker(slot, m_form.folderFields[size_t(slot)], m_notify, this, relativeTo);
    picker.centreOnScreen();
    picker.exec();
}

void RomFoldersDialog::save()
{
    QStringList folders;
    for (const QLineEdit *field : m_form.folderFields)
        folders.append(field->text());
    QList<bool> subfolders;
    for (const QCheckBox *box : m_form.subfolders)
        subfolders.append(box->isChecked());
    QString error;
    if (!m_folders.save(folders, subfolders, &error)) {
        // Nothing was saved: keep the dialog open with what the user entered.
        m_notify(this, QStringLiteral("Save"),
                 QStringLiteral("The folders could not be saved.\n\n%1\n%2")
                     .arg(QDir::toNativeSeparators(m_folders.files().file), error));
        return;
    }
    accept();
}

} // namespace dialogs
