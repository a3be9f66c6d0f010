#pragma once

#include "platform/process.h"

namespace help {

struct ReadmeCommand {
    QString program;
    QStringList arguments;
    QString display() const; // as the user would type it
};

// "notepad readme.txt" where a notepad program exists; otherwise the desktop's default editor for
// text files opened on readme.txt, resolved against the current folder.
ReadmeCommand readmeCommand();

// Starts the readme command without waiting for it, from the current folder.
platform::StartResult openReadme(const platform::ProcessStarter &start);

} // namespace help
