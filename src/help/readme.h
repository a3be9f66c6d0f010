#pragma once

#include "forms/controls.h"
#include "platform/process.h"

class QPlainTextEdit;

namespace help {

inline const QString kReadmeFile = QStringLiteral("readme.txt");

struct ReadmeCommand {
    QString program;
    QStringList arguments;
};

// "notepad readme.txt" where a notepad program exists (always on Windows); otherwise the
// desktop's opener for files (xdg-open) on readme.txt, resolved against the current folder.
ReadmeCommand readmeCommand();

// A read-only window of our own that shows readme.txt, for when no editor could show it:
// captioned "readme.txt - Quorvane", not modal, the text in a fixed-pitch font.
QWidget *showReadmeViewer(QWidget *parent, const QString &path, const forms::Notifier &notify);

// Help > Readme from the current folder: notepad, or the desktop's opener with our own viewer
// when the opener is missing, cannot start or ends with a failure. Every failure gets a message
// that names what failed.
void openReadme(QWidget *parent, const platform::ProcessStarter &start, const forms::Notifier &notify);

} // namespace help
