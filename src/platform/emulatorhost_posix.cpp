#include "platform/emulatorhost.h"

#include "platform/filenames.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

bool isWindowsProgram(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// "/home/me/a b.nes" -> "Z:\home\me\a b.nes": Wine shows the root of the file system as drive Z:.
QString wineDrivePath(const QString &absolutePath)
{
    QString path = absolutePath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("Z:") + path;
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool prepareEmulatorStart(Command &command, const QList<qsizetype> &pathArguments, const QString &, QString *error)
{
    if (!isWindowsProgram(command.program)) {
        if (!QFileInfo(command.program).isExecutable())
            return fail(error, QStringLiteral("The file is not executable (permission denied)."));
        return true;
    }
    QStringList &arguments = command.arguments;
    for (const qsizetype at : pathArguments) {
        if (at < 0 || at >= arguments.size())
            continue;
        // Wine reads a backslash as a folder separator, and passes on only names that are valid
        // text: such a ROM would reach the emulator as another file, or as none.
        const QString &path = arguments.at(at);
        if (path.contains(QLatin1Char('\\'))) {
            return fail(error, QStringLiteral("The ROM's path %1 holds a backslash, which the Windows emulator would "
                                              "read as a folder separator: it would open another file. Rename the "
                                              "file or its folder.").arg(displayName(path)));
        }
        if (holdsRawBytes(path)) {
            return fail(error, QStringLiteral("The ROM's path %1 is not valid UTF-8, which Wine cannot hand to the "
                                              "Windows emulator. Rename the file or its folder.").arg(displayName(path)));
        }
        if (path.startsWith(QLatin1Char('/')))
            arguments[at] = wineDrivePath(path);
    }
    const QString wine = findOnPath(QStringLiteral("wine"));
    if (wine.isEmpty()) {
        return fail(error, QStringLiteral("It is a Windows program, and Wine, which runs Windows programs here, was "
                                          "not found on the search path."));
    }
    arguments.prepend(command.program);
    command.program = wine;
    return true;
}

} // namespace platform
