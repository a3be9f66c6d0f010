#pragma once
// The three RomFolder slots and every name each one ties together, kept once.

#include <array>

namespace config {

struct RomSlot {
    int number;               // 1, 2, 3
    const char *key;          // key in the configuration file
    const char *storeField;   // text field of the Directories form
    const char *tabCaption;   // tab of SSTab1
    const char *fileList;     // file list on the main window
    const char *countLabel;   // count label on the main window
    const char *browseButton; // "..." button of the Directories form
    const char *picker;       // folder picker form opened by that button
};

inline constexpr std::array<RomSlot, 3> kRomSlots{{
    {1, "Roms", "Text1", "Dir1", "File1", "Label3", "Command1", "Form3"},
    {2, "Roms2", "Text2", "Dir2", "File2", "Label5", "Command3", "Directories2"},
    {3, "Roms3", "Text3", "Dir3", "File3", "Label6", "Command4", "Form4"},
}};

inline constexpr int kSlotCount = int(kRomSlots.size());

} // namespace config
