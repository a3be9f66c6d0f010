#include "dialogs/aboutbox.h"

#include "forms/controls.h"
#include "forms/formdefs.h"

#include <QPushButton>

namespace dialogs {

void showAbout()
{
    // No owner window: modal to the whole application.
    forms::FormDialog about(forms::aboutBoxDef(), nullptr);
    QObject::connect(about.findChild<QPushButton *>(QStringLiteral("Command1")), &QPushButton::clicked, &about,
                     &QDialog::accept);
    about.setWindowModality(Qt::ApplicationModal);
    about.centreOnScreen();
    about.exec();
}

} // namespace dialogs
