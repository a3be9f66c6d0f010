#include "help/readme.h"

#include <QDir>

namespace help {

namespace {
const QString kReadme = QStringLiteral("readme.txt");
}

QString ReadmeCommand::display() const
{
    return (QStringList{program} + arguments).join(QLatin1Char(' '));
}

ReadmeCommand readmeCommand()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("notepad"), {kReadme}};
#else
    if (!platform::findOnPath(QStringLiteral("notepad")).isEmpty())
        return {QStringLiteral("notepad"), {kReadme}};
    return {QStringLiteral("xdg-open"), {QDir::current().absoluteFilePath(kReadme)}};
#endif
}

platform::StartResult openReadme(const platform::ProcessStarter &start)
{
    const ReadmeCommand command = readmeCommand();
    return start(command.program, command.arguments, QDir::currentPath());
}

} // namespace help
