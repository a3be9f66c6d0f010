#pragma once

#include "forms/controls.h"

namespace help {

// The About box: product name, version, description, credits; "&OK" closes it.
class AboutBox : public forms::FormDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);
    void Command1_Click();
};

// Shows a fresh About box, modal to the application, and returns when it has been closed.
void showAbout();

} // namespace help
