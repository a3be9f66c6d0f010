#include "launch/launchcommand.h"

#include <QDir>

#include <algorithm>
#include <array>

namespace launch {

namespace {

bool isSeparator(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

} // namespace

QString romPath(const QString &folder, const QString &name)
{
#ifdef Q_OS_WIN
    // A ROM in a subfolder is named by its path below the folder, '/' between: Windows' own here.
    const QString fileName = QDir::toNativeSeparators(name);
#else
    const QString &fileName = name;
#endif
    if (folder.isEmpty() || fileName.isEmpty())
        return folder + fileName;
    // Either separator counts as one here too: folder texts written on Windows keep their lines.
    const QChar last = folder.back();
    bool joined = last == QLatin1Char('/') || last == QLatin1Char('\\');
#ifdef Q_OS_WIN
    joined = joined || (folder.size() == 2 && last == QLatin1Char(':'));
#endif
    return joined ? folder + fileName : folder + QDir::separator() + fileName;
}

QString windowsQuoted(const QString &path)
{
    const bool needsQuotes = std::any_of(path.begin(), path.end(), [](QChar c) {
        return isSeparator(c) || c == QLatin1Char('"');
    });
    if (!needsQuotes)
        return path;
    // Backslashes count only before a quote: double those, and escape the quote itself.
    QString quoted(QLatin1Char('"'));
    int backslashes = 0;
    for (const QChar c : path) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        } else {
            quoted += QString(backslashes, QLatin1Char('\\'));
        }
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(backslashes * 2, QLatin1Char('\\'));
    quoted += QLatin1Char('"');
    return quoted;
}

QString resolutionSwitch(int resolutionIndex)
{
    static const std::array<const char *, 6> switches{
        "-res 256 224", "-res 256 240", "-res 256 256", "-res 320 200", "-res 320 240", "-res 640 480"};
    if (resolutionIndex < 0 || resolutionIndex >= int(switches.size()))
        return QString();
    return QString::fromLatin1(switches[size_t(resolutionIndex)]);
}

QString soundSwitch(Qt::CheckState sound)
{
    return sound == Qt::Unchecked ? QStringLiteral("-nosound") : QString();
}

QString controllerSwitch(int controllerIndex)
{
    static const std::array<const char *, 3> switches{
        "-setinput 1 KEY1", "-setinput 1 GRAVIS", "-setinput 1 JOY1"};
    if (controllerIndex < 0 || controllerIndex >= int(switches.size()))
        return QString();
    return QString::fromLatin1(switches[size_t(controllerIndex)]);
}

LaunchCommand launchCommand(const QString &folder, const QString &fileName, int resolutionIndex, Qt::CheckState sound,
                            int controllerIndex)
{
    return {romPath(folder, fileName),
            {soundSwitch(sound), resolutionSwitch(resolutionIndex), controllerSwitch(controllerIndex)}};
}

QStringList LaunchCommand::arguments() const
{
    QStringList arguments{QStringLiteral("-run"), romPath};
    for (const QString &words : switches)
        arguments += words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return arguments;
}

QString LaunchCommand::commandLine() const
{
    const QChar blank(QLatin1Char(' '));
    return kEmulatorProgram + QStringLiteral(" -run") + blank + windowsQuoted(romPath) + blank
        + switches.join(blank);
}

} // namespace launch
