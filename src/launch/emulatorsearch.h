#pragma once
// Finding the emulators a user has: each definition's program looked for where such programs are
// installed on this system.

#include "launch/emulatordefinitions.h"
#include "platform/dirscan.h"

#include <QHash>

namespace launch {

// Where programs are looked for. ofThisSystem() reads them from the environment; tests make up
// their own trees.
struct SearchPlaces {
    QString applicationFolder;  // beside Quorvane, and a folder per emulator there
    QStringList searchPath;     // the folders of PATH
    QStringList flatpakExports; // Flatpak's exported commands, system-wide and the user's
    QStringList programFolders; // Windows: %ProgramFiles%, %ProgramFiles(x86)%, %LOCALAPPDATA%\Programs
    QHash<QString, QString> variables; // what "~" and "%NAME%" stand for in a definition's folders
    QString root; // where a definition's usual folders ("/usr/games") are looked for; empty: "/"

    static SearchPlaces ofThisSystem(const QString &applicationFolder);
    // The places, as a message lists them.
    QStringList described() const;
};

// An emulator whose program (and core, for one that needs it) was found.
struct FoundEmulator {
    QString id;
    QString program;     // its file, absolute
    QString programName; // the name looked for, which its command line starts with
    QString core;        // the core's file, absolute, for a definition with a core
    QString where;       // "beside Quorvane", "on the search path", ...
    platform::FileStamp stamp; // the program's, when found: a change means looking again
    bool isFound() const { return !program.isEmpty(); }
};

// Looks for the definition's program in places, in the order: beside Quorvane, a folder of its
// own beside Quorvane, the search path, the usual folders, Flatpak's exports, the program
// folders. Nothing found: an empty result.
FoundEmulator findEmulator(const EmulatorDefinition &definition, const SearchPlaces &places);

} // namespace launch
