#include "help/aboutbox.h"

#include "forms/formdefs.h"

#include <QPushButton>

namespace help {

AboutBox::AboutBox(QWidget *parent) : forms::FormDialog(forms::aboutBoxDef(), parent)
{
    connect(findChild<QPushButton *>(QStringLiteral("Command1")), &QPushButton::clicked, this,
            &AboutBox::Command1_Click);
}

void AboutBox::Command1_Click() { accept(); }

void showAbout()
{
    // No owner window: modal to the whole application.
    AboutBox about;
    about.setWindowModality(Qt::ApplicationModal);
    about.centreOnScreen();
    about.exec();
}

} // namespace help
