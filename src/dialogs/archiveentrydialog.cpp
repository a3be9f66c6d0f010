#include "dialogs/archiveentrydialog.h"

#include "forms/controls.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace dialogs {

int chooseArchiveEntry(const QString &archiveName, const QStringList &entries, QWidget *parent)
{
    QDialog dialog(parent); // Enter starts and Escape cancels, as in any list of choices
    dialog.setObjectName(QStringLiteral("archiveEntries"));
    dialog.setWindowTitle(QStringLiteral("Choose a ROM"));
    dialog.setFont(forms::formFont(forms::kDefaultFont));
    auto *layout = new QVBoxLayout(&dialog);
    auto *question = new QLabel(QStringLiteral("%1 holds several ROMs. Which one is to start?").arg(archiveName), &dialog);
    question->setObjectName(QStringLiteral("archiveEntriesQuestion"));
    question->setWordWrap(true);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("archiveEntryList"));
    list->setAccessibleName(QStringLiteral("ROMs in the archive"));
    list->addItems(entries);
    list->setCurrentRow(0);
    question->setBuddy(list);
    // As wide as the longest name, within reason; as high as its names, a dozen at most (more scroll).
    const int widest = std::max(question->fontMetrics().horizontalAdvance(question->text()) / 2,
                                list->sizeHintForColumn(0) + 2 * list->frameWidth() + 24);
    list->setMinimumWidth(std::min(widest, 640));
    list->setFixedHeight(std::min(int(entries.size()), 12) * list->sizeHintForRow(0) + 2 * list->frameWidth() + 2);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *start = buttons->addButton(QStringLiteral("&Start"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("archiveEntryStart"));
    start->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("archiveEntryCancel"));
    layout->addWidget(question);
    layout->addWidget(list);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    list->setFocus();
    dialog.adjustSize();
    forms::centreOnScreen(&dialog);
    return dialog.exec() == QDialog::Accepted ? list->currentRow() : -1;
}

} // namespace dialogs
