#pragma once

#include "dialogs/message.h"
#include "platform/process.h"

namespace help {

// Help > Readme from the current folder: "notepad readme.txt" where a notepad program exists
// (always on Windows); otherwise the desktop's opener for files (xdg-open) on readme.txt, and a
// read-only window of our own when the opener is missing, cannot start or ends with a failure.
// Every failure gets a message that names what failed.
void openReadme(QWidget *parent, const platform::ProcessStarter &start, const dialogs::Notifier &notify);

} // namespace help
