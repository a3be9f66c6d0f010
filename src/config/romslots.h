#pragma once
// The three ROM folder slots as the configuration file knows them. Code counts them from 0; the
// user meets them as 1, 2 and 3, in texts and keys only.

#include <array>

namespace config {

struct RomSlot {
    int index;                 // 0, 1, 2
    const char *key;           // key in the configuration file
    const char *subfoldersKey; // beside it: "1" when the folders below are listed too
};

inline constexpr std::array<RomSlot, 3> kRomSlots{
    {{0, "Roms", "RomsSubfolders"}, {1, "Roms2", "Roms2Subfolders"}, {2, "Roms3", "Roms3Subfolders"}}};

inline constexpr int kSlotCount = int(kRomSlots.size());

} // namespace config
