#include "launch/emulatorsearch.h"

#include "platform/filenames.h"
#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>

namespace launch {

namespace {

bool isProgram(const QString &path)
{
    const QFileInfo file(path);
#ifdef Q_OS_WIN
    return file.isFile();
#else
    return file.isFile() && file.isExecutable();
#endif
}

// A definition's folder with "~", "%NAME%" and "{program.dir}" put in; empty when it names a
// variable this system does not have.
QString expandedFolder(QString folder, const SearchPlaces &places, const QString &programFolder)
{
    if (folder == QLatin1String("~") || folder.startsWith(QStringLiteral("~/")))
        folder.replace(0, 1, places.variables.value(QStringLiteral("HOME")));
    folder.replace(QStringLiteral("{program.dir}"), programFolder);
    qsizetype open;
    while ((open = folder.indexOf(QLatin1Char('%'))) >= 0) {
        const qsizetype close = folder.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0)
            return QString();
        const QString value = places.variables.value(folder.mid(open + 1, close - open - 1).toUpper());
        if (value.isEmpty())
            return QString();
        folder.replace(open, close - open + 1, value);
    }
    return folder;
}

QString findCore(const EmulatorDefinition &definition, const SearchPlaces &places, const QString &programFolder)
{
#ifdef Q_OS_WIN
    const QStringList &folders = definition.windowsCoreFolders;
    const QString file = definition.core + QStringLiteral(".dll");
#else
    const QStringList &folders = definition.linuxCoreFolders;
    const QString file = definition.core + QStringLiteral(".so");
#endif
    for (const QString &folder : folders) {
        const QString expanded = expandedFolder(folder, places, programFolder);
        // A system folder ("/usr/lib/...") is looked for under the root; one of the user's or the
        // program's is where it is.
        const bool system = folder.startsWith(QLatin1Char('/'));
        const QString path = expanded.isEmpty() ? QString() : QDir((system ? places.root : QString()) + expanded).absoluteFilePath(file);
        if (!path.isEmpty() && QFileInfo(path).isFile())
            return QDir::toNativeSeparators(path);
    }
    return QString();
}

} // namespace

SearchPlaces SearchPlaces::ofThisSystem(const QString &applicationFolder)
{
    SearchPlaces places;
    places.applicationFolder = applicationFolder;
    const QString path = qEnvironmentVariable("PATH");
    places.searchPath = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString home = QDir::homePath();
    places.variables.insert(QStringLiteral("HOME"), home);
#ifdef Q_OS_WIN
    for (const char *name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "LOCALAPPDATA", "APPDATA"}) {
        const QString value = qEnvironmentVariable(name);
        if (value.isEmpty())
            continue;
        places.variables.insert(QString::fromLatin1(name).toUpper(), value);
        if (qstrcmp(name, "LOCALAPPDATA") == 0)
            places.programFolders << QDir(value).filePath(QStringLiteral("Programs"));
        else if (qstrcmp(name, "APPDATA") != 0 && !places.programFolders.contains(value))
            places.programFolders << value;
    }
#else
    places.flatpakExports << QStringLiteral("/var/lib/flatpak/exports/bin");
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    places.flatpakExports << QDir(data.isEmpty() ? QDir(home).filePath(QStringLiteral(".local/share")) : data)
                                 .filePath(QStringLiteral("flatpak/exports/bin"));
#endif
    return places;
}

QStringList SearchPlaces::described() const
{
    QStringList described{QStringLiteral("beside Quorvane (%1)").arg(QDir::toNativeSeparators(applicationFolder)),
                          QStringLiteral("the search path (PATH)")};
#ifdef Q_OS_WIN
    for (const QString &folder : programFolders)
        described << QDir::toNativeSeparators(folder);
#else
    described << QStringLiteral("/usr/games and /usr/local/games");
    for (const QString &folder : flatpakExports)
        described << QStringLiteral("Flatpak's %1").arg(folder);
#endif
    return described;
}

FoundEmulator findEmulator(const EmulatorDefinition &definition, const SearchPlaces &places)
{
    FoundEmulator found;
    found.id = definition.id;
    auto take = [&](const QString &path, const QString &name, const QString &where) {
        if (path.isEmpty() || !isProgram(path))
            return false;
        const QString program = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        const QString core = definition.core.isEmpty() ? QString() : findCore(definition, places, QFileInfo(path).absolutePath());
        if (!definition.core.isEmpty() && core.isEmpty())
            return false;
        found.program = program;
        found.programName = name;
        found.core = core;
        found.where = where;
        const QFileInfo file(program);
        found.stamp = platform::fileStamp(file.absolutePath(), platform::toUtf8Lossless(file.fileName()));
        return true;
    };

    if (definition.own) {
        const QString program = definition.program;
        if (QDir::isAbsolutePath(program) || program.contains(QLatin1Char('/')) || program.contains(QLatin1Char('\\')))
            take(QDir(places.applicationFolder).absoluteFilePath(program), QFileInfo(program).fileName(), QStringLiteral("your own"));
        for (const QString &folder : places.searchPath) {
            if (found.isFound() || QDir::isAbsolutePath(program))
                break;
            take(QDir(folder).filePath(program), program, QStringLiteral("your own, on the search path"));
        }
        return found;
    }

    for (const QString &name : definition.programs()) {
        if (take(QDir(places.applicationFolder).filePath(name), name, QStringLiteral("beside Quorvane")))
            return found;
    }
#ifdef Q_OS_WIN
    for (const QString &own : definition.windowsFolders) {
        for (const QString &name : definition.programs()) {
            if (take(QDir(places.applicationFolder).filePath(own + QLatin1Char('/') + name), name, QStringLiteral("in its folder beside Quorvane")))
                return found;
        }
    }
#endif
    for (const QString &folder : places.searchPath) {
        for (const QString &name : definition.programs()) {
            if (take(QDir(folder).filePath(name), name, QStringLiteral("on the search path")))
                return found;
        }
    }
#ifndef Q_OS_WIN
    for (const QString &folder : definition.linuxFolders) {
        for (const QString &name : definition.programs()) {
            const QString expanded = expandedFolder(folder, places, QString());
            if (!expanded.isEmpty() && take(QDir(places.root + expanded).filePath(name), name, QStringLiteral("in %1").arg(folder)))
                return found;
        }
    }
    for (const QString &folder : places.flatpakExports) {
        for (const QString &id : definition.flatpaks) {
            if (take(QDir(folder).filePath(id), id, QStringLiteral("as a Flatpak")))
                return found;
        }
    }
#else
    for (const QString &programs : places.programFolders) {
        for (const QString &own : definition.windowsFolders) {
            for (const QString &name : definition.programs()) {
                if (take(QDir(programs).filePath(own + QLatin1Char('/') + name), name, QStringLiteral("in %1").arg(QDir::toNativeSeparators(programs))))
                    return found;
            }
        }
    }
#endif
    return found;
}

} // namespace launch
