#include "launch/emulator.h"

#include "platform/emulatorhost.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The compiled-in file lives in a static library: its resource is registered by hand, outside
// any namespace as Qt requires.
static void registerBuiltInDefinitions() { Q_INIT_RESOURCE(emulators); }

namespace launch {

const QList<EmulatorDefinition> &builtInDefinitions()
{
    static const QList<EmulatorDefinition> definitions = [] {
        registerBuiltInDefinitions();
        QFile shipped(QStringLiteral(":/quorvane/emulators.ini"));
        shipped.open(QIODevice::ReadOnly);
        return parseDefinitions(shipped.readAll(), QStringLiteral("emulators.ini"), false).definitions;
    }();
    return definitions;
}

const EmulatorDefinition &nesticleDefinition()
{
    static const EmulatorDefinition nesticle = [] {
        for (const EmulatorDefinition &definition : builtInDefinitions()) {
            if (definition.id == kNesticleId)
                return definition;
        }
        return EmulatorDefinition();
    }();
    return nesticle;
}

bool planLaunch(const EmulatorRun &run, const QString &romPath, const LaunchOptionsState &options,
                const QString &applicationFolder, LaunchPlan *plan, QString *error)
{
    const EmulatorDefinition &definition = run.isSet() ? run.definition : nesticleDefinition();
    FoundEmulator found = run.found;
    if (found.isFound()) {
        const QFileInfo file(found.program);
        if (!(platform::fileStamp(file.absolutePath(), platform::toUtf8Lossless(file.fileName())) == found.stamp)) {
            found = findEmulator(definition, SearchPlaces::ofThisSystem(applicationFolder));
            plan->refound = found;
        }
    } else if (!run.isSet()) {
        SearchPlaces places;
        places.applicationFolder = applicationFolder;
        places.searchPath = SearchPlaces::ofThisSystem(applicationFolder).searchPath;
        found = findEmulator(definition, places);
    }
    const QString looked = definition.program.isEmpty() ? definition.programs().value(0) : definition.program;
    plan->tried = QDir::toNativeSeparators(found.isFound() ? found.program : QDir(applicationFolder).absoluteFilePath(looked));
    if (!found.isFound()) {
        if (error) {
            *error = definition.own ? QStringLiteral("The program %1 of %2 does not exist.").arg(definition.program, definition.name)
                                    : QStringLiteral("The file does not exist, and %1 is not on the search path either.").arg(looked);
        }
        return false;
    }
    ExpandedCommand expanded;
    QString why;
    if (!expandCommand(definition, found.programName, romPath, found.core, options, &expanded, &why)) {
        if (error)
            *error = why;
        return false;
    }
    plan->romPath = romPath;
    plan->commandLine = expanded.windowsLine;
    plan->command = {found.program, expanded.arguments, QString(), QString(), QString()};
    return platform::prepareEmulatorStart(plan->command, expanded.pathArguments, expanded.windowsLine, error);
}

} // namespace launch
