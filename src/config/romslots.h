#pragma once
// The three ROM folder slots as the configuration file knows them. Code counts them from 0; the
// user meets them as 1, 2 and 3, in texts and keys only.

#include <array>

namespace config {

struct RomSlot {
    int index;       // 0, 1, 2
    const char *key; // key in the configuration file
};

inline constexpr std::array<RomSlot, 3> kRomSlots{{{0, "Roms"}, {1, "Roms2"}, {2, "Roms3"}}};

inline constexpr int kSlotCount = int(kRomSlots.size());

} // namespace config
