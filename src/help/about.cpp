#include "help/about.h"

#include "forms/formdefs.h"

#include <QPushButton>

namespace help {

Form2::Form2(QWidget *parent) : forms::FormDialog(forms::form2Def(), parent)
{
    connect(findChild<QPushButton *>(QStringLiteral("Command1")), &QPushButton::clicked, this,
            &Form2::Command1_Click);
}

void Form2::Command1_Click() { accept(); }

void showAbout(QWidget *parent)
{
    Form2 about(parent);
    about.centreOnScreen();
    about.exec();
}

} // namespace help
