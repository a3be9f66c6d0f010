#include "dialogs/aboutbox.h"

#include "forms/controls.h"
#include "forms/formbuilder.h"

#include <QPushButton>

namespace dialogs {

void showAbout()
{
    // No owner window: modal to the whole application.
    forms::FormDialog about(nullptr);
    QObject::connect(forms::buildAboutForm(&about).ok, &QPushButton::clicked, &about, &QDialog::accept);
    about.setWindowModality(Qt::ApplicationModal);
    about.centreOnScreen();
    about.exec();
}

} // namespace dialogs
