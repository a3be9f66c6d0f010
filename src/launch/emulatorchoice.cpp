#include "launch/emulatorchoice.h"

#include "platform/filenames.h"
#include "platform/filerewrite.h"
#include "platform/receiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace launch {

namespace {

const QByteArray kAnnouncedKey("Announced=");

// The id the state file says the user was told of; empty when none.
QString announcedIn(const QString &stateFile)
{
    QFile file(stateFile);
    if (stateFile.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray line = file.read(1024).trimmed();
    return line.startsWith(kAnnouncedKey) ? QString::fromUtf8(line.mid(kAnnouncedKey.size())) : QString();
}

bool writeWhole(const QString &path, const QByteArray &contents, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("its folder cannot be made");
        return false;
    }
    return platform::rewriteFile(path, [&contents](QByteArray &old, QString *) { old = contents; return true; }, error);
}

} // namespace

struct EmulatorChoice::Loaded {
    QList<EmulatorDefinition> definitions;
    QList<FoundEmulator> found;
    QString userDefault;
    QString announced;
    QStringList problems;
};

EmulatorChoice::EmulatorChoice(Files files, QObject *parent)
    : QObject(parent), m_files(std::move(files)), m_places(SearchPlaces::ofThisSystem(m_files.applicationFolder)),
      m_receiver(platform::Receiver::of(this))
{
}

void EmulatorChoice::searchIn(const SearchPlaces &places)
{
    m_places = places;
}

void EmulatorChoice::load()
{
    m_queue.post([files = m_files, places = m_places, receiver = m_receiver, this](const platform::CancelFlag &) {
        Loaded loaded;
        // The file shipped beside the program, else the same compiled in.
        const QString shipped = QDir(files.applicationFolder).filePath(QStringLiteral("emulators.ini"));
        DefinitionsRead known = readDefinitions(shipped, false);
        if (known.definitions.isEmpty())
            known.definitions = builtInDefinitions();
        const bool ownFile = !files.userFile.isEmpty() && QFileInfo(files.userFile) != QFileInfo(shipped);
        DefinitionsRead own = ownFile ? readDefinitions(files.userFile, true) : DefinitionsRead();
        loaded.problems = known.problems + own.problems;
        loaded.userDefault = own.defaultId;
        loaded.definitions = known.definitions;
        for (const EmulatorDefinition &definition : std::as_const(own.definitions)) {
            const auto same = std::find_if(loaded.definitions.begin(), loaded.definitions.end(),
                                           [&definition](const EmulatorDefinition &known) { return known.id == definition.id; });
            if (same != loaded.definitions.end())
                *same = definition; // the user's own takes the place of the one Quorvane knows
            else
                loaded.definitions.append(definition);
        }
        for (const EmulatorDefinition &definition : std::as_const(loaded.definitions))
            loaded.found.append(findEmulator(definition, places));
        loaded.announced = announcedIn(files.stateFile);
        receiver->post([this, loaded = std::move(loaded)] { apply(loaded); });
    });
}

void EmulatorChoice::apply(const Loaded &read)
{
    m_definitions = read.definitions;
    m_found = read.found;
    m_userDefault = read.userDefault;
    m_loaded = true;
    if (!read.problems.isEmpty()) {
        emit problem(QStringLiteral("Some emulator definitions could not be used.\n\n%1").arg(read.problems.join(QLatin1Char('\n'))));
    }
    const QString picked = defaultId();
    if (!picked.isEmpty() && picked != kNesticleId && picked != m_userDefault && picked != read.announced) {
        const FoundEmulator where = found(picked);
        emit defaultPicked(QStringLiteral("Games will start in %1, found %2 (%3).\n\nOptions > Emulators shows the emulators "
                                          "found, and changes which one starts games.")
                               .arg(nameOf(picked), where.where, where.program));
        m_queue.post([state = m_files.stateFile, picked](const platform::CancelFlag &) {
            QString error;
            if (!state.isEmpty())
                writeWhole(state, kAnnouncedKey + picked.toUtf8() + '\n', &error); // at worst, told again next time
        });
    }
    emit loaded();
    emit changed();
}

const EmulatorDefinition *EmulatorChoice::definition(const QString &id) const
{
    const auto at = std::find_if(m_definitions.cbegin(), m_definitions.cend(), [&id](const EmulatorDefinition &known) { return known.id == id; });
    return at == m_definitions.cend() ? nullptr : &*at;
}

FoundEmulator EmulatorChoice::found(const QString &id) const
{
    const auto at = std::find_if(m_found.cbegin(), m_found.cend(), [&id](const FoundEmulator &found) { return found.id == id; });
    return at == m_found.cend() ? FoundEmulator() : *at;
}

QString EmulatorChoice::pickedDefault() const
{
    if (found(kNesticleId).isFound())
        return kNesticleId;
    const auto first = std::find_if(m_found.cbegin(), m_found.cend(), [](const FoundEmulator &found) { return found.isFound(); });
    return first == m_found.cend() ? QString() : first->id;
}

QString EmulatorChoice::defaultId() const
{
    return found(m_userDefault).isFound() ? m_userDefault : pickedDefault();
}

EmulatorRun EmulatorChoice::run(const QString &id) const
{
    const EmulatorDefinition *chosen = definition(id);
    if (!chosen || id.isEmpty())
        chosen = definition(defaultId());
    if (!chosen)
        return EmulatorRun();
    return {*chosen, found(chosen->id)};
}

QString EmulatorChoice::nameOf(const QString &id) const
{
    const EmulatorDefinition *known = definition(id);
    return known ? known->name : QString();
}

void EmulatorChoice::setDefault(const QString &id)
{
    m_userDefault = id;
    saveOwn();
    emit changed();
}

bool EmulatorChoice::addOwn(EmulatorDefinition definition, QString *error)
{
    const QString why = templateProblem(definition.arguments);
    if (definition.name.trimmed().isEmpty() || definition.program.trimmed().isEmpty() || !why.isEmpty()) {
        *error = !why.isEmpty() ? QStringLiteral("Its arguments cannot be used: %1.").arg(why)
                                : QStringLiteral("It needs a name and a program.");
        return false;
    }
    QStringList taken;
    for (const EmulatorDefinition &known : std::as_const(m_definitions))
        taken << known.id;
    definition.name = definition.name.trimmed();
    definition.id = idForName(definition.name, taken);
    definition.own = true;
    m_definitions.append(definition);
    m_found.append(findEmulator(definition, m_places)); // a few checks of one file
    saveOwn();
    emit changed();
    return true;
}

void EmulatorChoice::removeOwn(const QString &id)
{
    const EmulatorDefinition *own = definition(id);
    if (!own || !own->own)
        return;
    const qsizetype at = own - m_definitions.constData();
    m_definitions.removeAt(at);
    m_found.removeAt(at);
    saveOwn();
    emit changed();
}

void EmulatorChoice::refound(const FoundEmulator &found)
{
    for (FoundEmulator &known : m_found) {
        if (known.id == found.id)
            known = found;
    }
    emit changed();
}

void EmulatorChoice::saveOwn()
{
    if (m_files.userFile.isEmpty())
        return;
    QList<EmulatorDefinition> own;
    std::copy_if(m_definitions.cbegin(), m_definitions.cend(), std::back_inserter(own), [](const EmulatorDefinition &known) { return known.own; });
    m_queue.post([this, receiver = m_receiver, file = m_files.userFile, contents = userDefinitionsText(own, m_userDefault)](const platform::CancelFlag &) {
        QString error;
        if (!writeWhole(file, contents, &error)) {
            receiver->post([this, message = QStringLiteral("Your emulators could not be saved in %1.\n\n%2")
                                                .arg(platform::displayName(QDir::toNativeSeparators(file)), error)] { emit problem(message); });
        }
    });
}

} // namespace launch
