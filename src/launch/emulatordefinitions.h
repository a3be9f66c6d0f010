#pragma once
// Emulators as data: what each is called, where its program is looked for, how its command line
// is made from a template, and which of the option controls it has a switch for. The file format
// is written down at the top of the shipped file (emulators.ini) and in DEVELOPERS.md.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <Qt>

namespace launch {

inline const QString kNesticleId = QStringLiteral("nesticle");

struct EmulatorDefinition {
    QString id;   // its section's name, lower case: how choices name it
    QString name; // as menus show it
    QStringList linuxPrograms, windowsPrograms; // file names looked for, in this order
    QStringList linuxFolders;   // usual folders besides the search path ("/usr/games")
    QStringList windowsFolders; // folder names under the program folders and beside Quorvane
    QStringList flatpaks;       // Flatpak application ids, found among Flatpak's exported commands
    QString arguments;          // the template: words, placeholders in braces
    QString core;               // a libretro core's file name without its suffix; empty: none
    QStringList linuxCoreFolders, windowsCoreFolders;
    QString soundOn, soundOff;  // the switch for each state of Sound; both empty: no switch
    QString resolution;         // "--xres {width} --yres {height}"; empty: no switch
    QStringList controllers;    // the switch for each Controller item, by index; empty: none
    bool readsZip = false, reads7z = false;
    // A definition of the user's own: the program file itself, and the file it came from.
    QString program;
    bool own = false;

    bool hasSoundSwitch() const { return !soundOn.isEmpty() || !soundOff.isEmpty(); }
    bool hasResolutionSwitch() const { return !resolution.isEmpty(); }
    bool hasControllerSwitch() const { return !controllers.isEmpty(); }
    bool readsArchive(const QString &fileName) const;
    // The program names looked for on this system.
    const QStringList &programs() const;
};

// What a file of definitions holds, and what could not be taken from it: each problem names the
// file, the line and why; a definition with a problem is left out, the others are kept.
struct DefinitionsRead {
    QList<EmulatorDefinition> definitions;
    QString defaultId; // the [Quorvane] section's Default, in a file of the user's
    QStringList problems;
};

inline constexpr qsizetype kMaxDefinitionsFileSize = 256 * 1024;
inline constexpr int kMaxDefinitions = 100;

// Reads the bytes of a definitions file; fileName is only named in problems. own: the user's file,
// whose definitions name their program.
DefinitionsRead parseDefinitions(const QByteArray &contents, const QString &fileName, bool own);
// Reads the file at path (missing: nothing, no problem).
DefinitionsRead readDefinitions(const QString &path, bool own);
// The user's file as it is to be written: their own definitions and their default.
QByteArray userDefinitionsText(const QList<EmulatorDefinition> &own, const QString &defaultId);
// Checks a template: empty when it is sound, else what is wrong with it ("{romfile} is no
// placeholder ...").
QString templateProblem(const QString &arguments);
// A new definition's id from its name: lower case letters and digits, unique among taken.
QString idForName(const QString &name, const QStringList &taken);

// The option controls as they stand at a launch.
struct LaunchOptionsState {
    int resolution = 0;
    Qt::CheckState sound = Qt::Checked;
    int controller = 0;
};

// A command made from a template: the arguments after the program, each one whole; which of
// them are a whole path ({rom}, {rom.dir}), for a host that rewrites paths; and the line a
// Windows program is handed: the program's name, then each word of the template, blanks between,
// a switch's words as they stand (empty when off) and any other word quoted where it must be.
struct ExpandedCommand {
    QStringList arguments;
    QList<qsizetype> pathArguments;
    QString windowsLine;
};

// Puts the ROM's path, the core and the options into the definition's template. The template is
// split into words first, so a placeholder's value is always one whole argument. false, with the
// reason, when the template cannot be used.
bool expandCommand(const EmulatorDefinition &definition, const QString &programName, const QString &romPath,
                   const QString &corePath, const LaunchOptionsState &options, ExpandedCommand *command, QString *error);

} // namespace launch
