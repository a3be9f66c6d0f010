#include "help/readme.h"

#include "forms/formbuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>

namespace help {

namespace {
const QString kReadmeFile = QStringLiteral("readme.txt");
const QString kNotepad = QStringLiteral("notepad");
const QString kOpener = QStringLiteral("xdg-open");
const QString kTitle = QStringLiteral("Readme");

struct ReadmeCommand {
    QString program;
    QStringList arguments;
};

ReadmeCommand readmeCommand()
{
#ifndef Q_OS_WIN
    if (platform::findOnPath(kNotepad).isEmpty())
        return {kOpener, {QDir::current().absoluteFilePath(kReadmeFile)}};
#endif
    return {kNotepad, {kReadmeFile}};
}

// The fallback: captioned "readme.txt - Quorvane", not modal, the text in a fixed-pitch font.
QWidget *showReadmeViewer(QWidget *parent, const QString &path, const dialogs::Notifier &notify)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        notify(parent, kTitle,
               QStringLiteral("The help file readme.txt cannot be read.\n\n%1\n%2")
                   .arg(QDir::toNativeSeparators(path),
                        QFileInfo::exists(path) ? file.errorString() : QStringLiteral("The file does not exist.")));
        return nullptr;
    }
    auto *viewer = new QPlainTextEdit(parent);
    viewer->setObjectName(QStringLiteral("readmeViewer"));
    viewer->setWindowFlag(Qt::Window);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(QStringLiteral("readme.txt - Quorvane"));
    viewer->setReadOnly(true);
    viewer->setLineWrapMode(QPlainTextEdit::NoWrap);
    viewer->setFont(forms::fixedFont(9.75));
    viewer->setPlainText(QString::fromUtf8(file.readAll()));
    viewer->resize(640, 480);
    if (parent) // over the main window, as a window of its own opens
        viewer->move(parent->window()->frameGeometry().center() - QPoint(320, 240));
    viewer->show();
    return viewer;
}

} // namespace

void openReadme(QWidget *parent, const platform::ProcessStarter &start, const dialogs::Notifier &notify)
{
    const ReadmeCommand command = readmeCommand();
    if (command.program == kNotepad) {
        // Notepad is handed the bare name and deals with a missing file itself.
        QString error;
        if (!start({command.program, command.arguments, {}, QDir::currentPath(), {}}, {}, &error))
            notify(parent, kTitle, QStringLiteral("The editor notepad could not be started.\n\n%1").arg(error));
        return;
    }
    const QString path = command.arguments.front();
    if (!QFileInfo::exists(path)) {
        notify(parent, kTitle, QStringLiteral("The help file readme.txt is missing.\n\n%1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    // Whatever keeps the opener from showing the file, the user still gets to read it.
    QPointer<QWidget> owner(parent);
    auto fallback = [owner, path, notify] {
        if (owner)
            showReadmeViewer(owner, path, notify);
    };
    const platform::ExitWatch watch{platform::Receiver::of(parent), [fallback](const platform::ProcessExit &exit) {
                                        if (exit.failed())
                                            fallback();
                                    }};
    // A missing opener fails to start, like one that cannot.
    if (!start({kOpener, command.arguments, {}, QDir::currentPath(), {}}, watch, nullptr))
        fallback();
}

} // namespace help
