#pragma once

#include "launch/emulator.h"
#include "platform/workqueue.h"

#include <QObject>

#include <functional>
#include <memory>

namespace platform {
class Receiver;
}

namespace launch {

// The emulators known (those Quorvane ships and the user's own), which of them were found, and
// which one starts a game by default. Files are read, written and searched off the window's
// thread; the window sees the result once it is there (loaded()).
class EmulatorChoice : public QObject
{
    Q_OBJECT
public:
    struct Files {
        QString applicationFolder;
        QString userFile;  // the user's own definitions and default; none when empty
        QString stateFile; // which default the user was told of; none when empty
    };
    explicit EmulatorChoice(Files files, QObject *parent = nullptr);
    // For tests: places to search instead of this system's.
    void searchIn(const SearchPlaces &places);

    // Reads the definitions and looks for every emulator. Again: looks again.
    void load();
    bool isLoaded() const { return m_loaded; }

    const QList<EmulatorDefinition> &definitions() const { return m_definitions; }
    const EmulatorDefinition *definition(const QString &id) const;
    FoundEmulator found(const QString &id) const;
    // The emulator that starts a game without one of its own: the user's choice while it is
    // found; else Nesticle when it is found; else the first known one found. Empty: none.
    QString defaultId() const;
    // The emulator id names, or the default for an empty id (or one no longer known).
    EmulatorRun run(const QString &id) const;
    QString nameOf(const QString &id) const;
    // Where programs were looked for, as a message lists them.
    QStringList placesLookedIn() const { return m_places.described(); }

    void setDefault(const QString &id);
    // A definition of the user's own (its id is made from its name); false, with the reason,
    // when its template cannot be used. Kept in the user's file.
    bool addOwn(EmulatorDefinition definition, QString *error);
    void removeOwn(const QString &id);
    // A launch found the program of id again, after its file changed.
    void refound(const FoundEmulator &found);

signals:
    void loaded();
    void changed();
    void problem(const QString &message);
    // The first time the default is one Quorvane picked: which one, and where to change it.
    void defaultPicked(const QString &message);

private:
    struct Loaded;
    void apply(const Loaded &loaded);
    void saveOwn();
    QString pickedDefault() const; // the default without the user's choice

    Files m_files;
    SearchPlaces m_places;
    QList<EmulatorDefinition> m_definitions;
    QList<FoundEmulator> m_found; // by definition
    QString m_userDefault;
    bool m_loaded = false;
    std::shared_ptr<platform::Receiver> m_receiver;
    platform::WorkQueue m_queue{"Emulators", platform::WorkQueue::Priority::BelowWindow, platform::WorkQueue::WhenDestroyed::Finish};
};

} // namespace launch
