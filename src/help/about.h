#pragma once

#include "forms/controls.h"

namespace help {

// The About box: product name, version, description, credits; "&OK" closes it.
class Form2 : public forms::FormDialog
{
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);
    void Command1_Click();
};

// Shows a fresh About box modally and returns when it has been closed.
void showAbout(QWidget *parent);

} // namespace help
