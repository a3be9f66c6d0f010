#include "config/romfoldersdialog.h"

#include "config/folderpicker.h"
#include "config/romfolders.h"
#include "config/romslots.h"
#include "forms/formdefs.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

namespace config {

RomFoldersDialog::RomFoldersDialog(const ConfigFiles &files, forms::Notifier notify, std::function<void()> onSaved,
                         QWidget *parent)
    : forms::FormDialog(forms::romFoldersDialogDef(), parent), m_files(files),
      m_notify(std::move(notify)), m_onSaved(std::move(onSaved))
{
    auto button = [this](const char *name) { return findChild<QPushButton *>(QLatin1String(name)); };
    connect(button("Command1"), &QPushButton::clicked, this, &RomFoldersDialog::Command1_Click);
    connect(button("Command3"), &QPushButton::clicked, this, &RomFoldersDialog::Command3_Click);
    connect(button("Command4"), &QPushButton::clicked, this, &RomFoldersDialog::Command4_Click);
    connect(button("Command2"), &QPushButton::clicked, this, &RomFoldersDialog::Command2_Click);
}

QLineEdit *RomFoldersDialog::field(int slot) const
{
    return findChild<QLineEdit *>(QLatin1String(kRomSlots.at(size_t(slot - 1)).storeField));
}

QString RomFoldersDialog::folder(int slot) const { return field(slot)->text(); }

void RomFoldersDialog::setFolder(int slot, const QString &path)
{
    // A field keeps only what stands before the first NUL.
    const qsizetype nul = path.indexOf(QChar(0));
    field(slot)->setText(nul < 0 ? path : path.left(nul));
}

bool RomFoldersDialog::reload()
{
    QString error;
    const QString file = m_files.fileToRead();
    const QStringList folders = ReadRomFolders(file, &error);
    for (const RomSlot &slot : kRomSlots)
        setFolder(slot.number, folders.at(slot.number - 1));
    if (error.isEmpty())
        return true;
    m_notify(parentWidget(), QStringLiteral("Quorvane"),
             QStringLiteral("The configuration file could not be read.\n\n%1\n%2")
                 .arg(QDir::toNativeSeparators(file), error));
    return false;
}

void RomFoldersDialog::setVisible(bool visible)
{
    if (visible)
        field(1)->setFocus(Qt::OtherFocusReason);
    forms::FormDialog::setVisible(visible);
    // Showing hands the focus field a Tab-like focus, which would select all its text.
    if (visible) {
        for (const RomSlot &slot : kRomSlots)
            field(slot.number)->deselect();
    }
}

void RomFoldersDialog::Command1_Click() { browse(1); }
void RomFoldersDialog::Command3_Click() { browse(2); }
void RomFoldersDialog::Command4_Click() { browse(3); }

void RomFoldersDialog::browse(int slot)
{
    FolderPicker picker(kRomSlots.at(size_t(slot - 1)).picker, field(slot), m_notify, this);
    picker.centreOnScreen();
    picker.exec();
}

void RomFoldersDialog::Command2_Click()
{
    QStringList folders;
    for (const RomSlot &slot : kRomSlots)
        folders.append(folder(slot.number));
    QString error;
    if (!WriteRomFolders(m_files.file, folders, &error)) {
        // Nothing was saved: keep the dialog open with what the user entered.
        m_notify(this, QStringLiteral("Save"),
                 QStringLiteral("The folders could not be saved.\n\n%1\n%2")
                     .arg(QDir::toNativeSeparators(m_files.file), error));
        return;
    }
    if (m_onSaved)
        m_onSaved();
    accept();
}

} // namespace config
