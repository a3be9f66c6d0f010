#pragma once

namespace platform {

// Makes every large block (a folder's names, a check's stamps) go back to the system once it is
// freed. Called once, before anything is allocated that matters. glibc otherwise raises its
// threshold for such blocks after the first is freed, and keeps the later ones in its own heap.
void returnLargeBlocksWhenFreed();
// A folder whose names take this many bytes leaves enough freed behind its reading or check to be
// worth giving back.
constexpr long long kWorthGivingBack = 4 << 20;

// Gives the memory freed by a large piece of work (reading or checking a folder of a million
// files) back to the system; a thread's own heap otherwise keeps it.
void giveBackFreedMemory();

} // namespace platform
