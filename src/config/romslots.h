#pragma once
// The three ROM folder slots and every name each one ties together, kept once: the forms take
// their controls' names from here.

#include <array>

namespace config {

struct RomSlot {
    int number;               // 1, 2, 3
    const char *key;          // key in the configuration file
    const char *folderField;  // text field of the ROM folders dialog
    const char *tabCaption;   // tab of the main window's tab control
    const char *fileList;     // file list on the main window
    const char *countLabel;   // count label on the main window
    const char *browseButton; // "..." button of the ROM folders dialog
    const char *picker;       // folder picker window opened by that button
    // What a screen reader calls the file list, the text field and the browse button.
    const char *listName;
    const char *fieldName;
    const char *browseName;
};

inline constexpr std::array<RomSlot, 3> kRomSlots{{
    {1, "Roms", "Text1", "Dir1", "File1", "Label3", "Command1", "Form3", "Dir1 ROMs", "Folder 1", "Browse for folder 1"},
    {2, "Roms2", "Text2", "Dir2", "File2", "Label5", "Command3", "Directories2", "Dir2 ROMs", "Folder 2", "Browse for folder 2"},
    {3, "Roms3", "Text3", "Dir3", "File3", "Label6", "Command4", "Form4", "Dir3 ROMs", "Folder 3", "Browse for folder 3"},
}};

inline constexpr int kSlotCount = int(kRomSlots.size());

// The slot numbered 1..3.
constexpr const RomSlot &slotAt(int slot) { return kRomSlots.at(size_t(slot - 1)); }

} // namespace config
