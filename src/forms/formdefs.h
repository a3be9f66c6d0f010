#pragma once
// The static definitions of the six windows: window properties and every control with kind,
// place and size in twips, caption, font, colours and tab index. Windows are built from these
// tables.

#include <QRect>
#include <QStringList>

#include <array>
#include <vector>

namespace forms {

enum class Kind { Label, TextField, CommandButton, CheckBox, ListBox, PictureBox, Image, TabControl,
                  FileList, DriveList, DirList };

inline constexpr int kOnWindow = -1; // container: the window, or the tab page 0..2 of the tab control
inline constexpr int kNoColour = -1;
inline constexpr int kSystemWindow = -2;     // the system window background colour
inline constexpr int kSystemWindowText = -3; // the system window text colour
inline constexpr int kNoTabStop = -1;
inline constexpr double kDefaultFont = 8.25; // the kind default, MS Sans Serif 8.25 pt

// How a control follows a window grown past its table's size: each edge moves by its share, in
// percent, of the growth of the control's container (the window, or the tab control for a control
// on a tab). None: the control stays where the table puts it.
struct Growth {
    int left = 0, top = 0, right = 0, bottom = 0;
};
inline constexpr Growth kStays{};

// growth: how far the container has grown past the table's size, in pixels.
QRect grownRect(const QRect &rect, const Growth &share, const QSize &growth);

enum Flag { NoFlags = 0, Flat = 1, Underline = 2, WordWrap = 4, Selectable = 8 }; // Selectable: a label's text, by mouse and keyboard (and Tab)

struct ControlDef {
    const char *name = "";
    Kind kind = Kind::Label;
    int container = kOnWindow;
    int left = 0, top = 0, width = 0, height = 0; // twips, from the top-left corner of the container
    const char *caption = nullptr;                // caption, or list items / tab captions separated by "|"
    double fontPoints = 0;                        // 0: the window's font
    int foreground = kNoColour;                   // 0xRRGGBB, kNoColour or a system colour
    int background = kNoColour;
    int tabIndex = kNoTabStop;
    int flags = NoFlags;
    const char *accessibleName = nullptr; // what a screen reader calls it, where no caption says
    Growth growth;

    QRect pixelRect() const;
    QStringList items() const; // caption split at "|"

    // Builders, so that a table row reads as what it sets:
    // control("Check1", Kind::CheckBox).at(7440, 5040, 1335, 255).text("Sound").tab(0)
    ControlDef at(int x, int y, int w, int h) const;
    ControlDef onTab(int page) const;
    ControlDef text(const char *words) const;
    ControlDef font(double points) const;
    ControlDef colours(int fore, int back = kNoColour) const;
    ControlDef tab(int index) const;
    ControlDef with(int flag) const;
    ControlDef named(const char *name) const;
    ControlDef grows(Growth share) const;
};

// A control of kind named name, on the window, with no caption and no tab stop yet.
ControlDef control(const char *name, Kind kind);

struct LineDef {
    int x1, y1, x2, y2; // twips
    Growth growth;      // left and top move the first end, right and bottom the second
};

enum class Border { FixedSingle, Sizable };

struct FormDef {
    const char *name;
    const char *caption;
    int clientWidth, clientHeight; // twips
    Border border;
    bool minimizeButton;
    bool maximizeButton;
    int background;
    std::vector<ControlDef> controls;
    std::vector<LineDef> lines;

    QSize pixelSize() const;
};

// The controls each ROM folder slot (0..2) has on the forms, by the names the tables give them.
struct SlotControls {
    const char *tabCaption;   // tab of the main window's tab control
    const char *fileList;     // file list on the main window
    const char *countLabel;   // count label on the main window
    const char *folderField;  // text field of the ROM folders dialog
    const char *browseButton; // "..." button of the ROM folders dialog
    const char *picker;       // folder picker window opened by that button
    // What a screen reader calls the file list, the text field and the browse button.
    const char *listName;
    const char *fieldName;
    const char *browseName;
    // The ROM folders dialog's "Include subfolders" box, and what a screen reader calls it.
    const char *subfoldersBox;
    const char *subfoldersName;
};

inline constexpr std::array<SlotControls, 3> kSlotControls{{
    {"Dir1", "File1", "Label3", "Text1", "Command1", "Form3", "Dir1 ROMs", "Folder 1", "Browse for folder 1", "subfolders1",
     "Include subfolders of folder 1"},
    {"Dir2", "File2", "Label5", "Text2", "Command3", "Directories2", "Dir2 ROMs", "Folder 2", "Browse for folder 2", "subfolders2",
     "Include subfolders of folder 2"},
    {"Dir3", "File3", "Label6", "Text3", "Command4", "Form4", "Dir3 ROMs", "Folder 3", "Browse for folder 3", "subfolders3",
     "Include subfolders of folder 3"},
}};

const FormDef &mainWindowDef();
const FormDef &romFoldersDialogDef();
const FormDef &pickerDef(int slot); // slot 0..2: "Form3", "Directories2" or "Form4"
const FormDef &aboutBoxDef();

// The ROM Information window: one row per line, its caption (the line's label and a colon) and
// its value, selectable; below them the problems found, then "&Copy" and "&OK".
struct RomInfoRow {
    const char *caption;
    const char *captionName;
    const char *valueName;
};
inline constexpr std::array<RomInfoRow, 22> kRomInfoRows{{
    {"File:", "fileCaption", "fileValue"},
    {"Size:", "sizeCaption", "sizeValue"},
    {"Format:", "formatCaption", "formatValue"},
    {"Mapper:", "mapperCaption", "mapperValue"},
    {"Submapper:", "submapperCaption", "submapperValue"},
    {"PRG ROM:", "prgRomCaption", "prgRomValue"},
    {"CHR ROM:", "chrRomCaption", "chrRomValue"},
    {"PRG RAM:", "prgRamCaption", "prgRamValue"},
    {"Mirroring:", "mirroringCaption", "mirroringValue"},
    {"Battery:", "batteryCaption", "batteryValue"},
    {"Trainer:", "trainerCaption", "trainerValue"},
    {"Console:", "consoleCaption", "consoleValue"},
    {"Timing:", "timingCaption", "timingValue"},
    {"CRC32:", "crc32Caption", "crc32Value"},
    {"SHA-1:", "sha1Caption", "sha1Value"},
    {"File CRC32:", "fileCrc32Caption", "fileCrc32Value"},
    {"File SHA-1:", "fileSha1Caption", "fileSha1Value"},
    {"Database:", "databaseCaption", "databaseValue"},
    {"Favourite:", "favouriteCaption", "favouriteValue"},
    {"Played:", "playedCaption", "playedValue"},
    {"Last played:", "lastPlayedCaption", "lastPlayedValue"},
    {"Emulator:", "emulatorCaption", "emulatorValue"},
}};
const FormDef &romInfoDef();

// Options > Emulators: the emulators known and found, the default among them, and a form for
// one of the user's own.
const FormDef &emulatorsDef();
// The program picker of that window: a drive, a folder and a program in it.
const FormDef &programPickerDef();

// Every window of the program, for tests that check them all alike.
std::vector<const FormDef *> allFormDefs();

} // namespace forms
