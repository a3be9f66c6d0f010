#pragma once

#include <QStringList>

class QWidget;

namespace dialogs {

// Asks which of an archive's ROMs to start: a list of them, where Enter (or a double click)
// starts one and Escape cancels. The row chosen, or -1.
int chooseArchiveEntry(const QString &archiveName, const QStringList &entries, QWidget *parent);

} // namespace dialogs
