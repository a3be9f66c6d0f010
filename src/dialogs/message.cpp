#include "dialogs/message.h"

#include <QMessageBox>

namespace dialogs {

void showMessage(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text);
}

} // namespace dialogs
