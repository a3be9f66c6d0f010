#pragma once

#include "library/archives/romarchive.h"
#include "library/identity/romdatabase.h"
#include "library/identity/romidentity.h"

#include <QHash>
#include <QString>

#include <memory>

namespace library {

// What is known of one ROM file once checked: its identity, its entry in the ROM databases, and
// what is wrong with it.
struct RomFacts {
    RomIdentity identity;
    QString title;   // the game a ROM database names; empty when it is in none
    QString status;  // that entry's status ("good", "baddump", ...)
    QString warning; // what is wrong, in words, one line each; empty for a sound ROM
    // For an archive: the NES ROMs it holds. The identity is its first ROM's, once that was read.
    std::shared_ptr<const ArchiveListing> archive;
    // An archive that holds no NES ROM (and is not refused): its row is not shown.
    bool isEmptyArchive() const { return archive && archive->roms.empty() && archive->problem.isEmpty(); }
    // The game's identity (SHA-1 of its ROM data) once known; empty before, or when unreadable.
    QByteArray game() const { return identity.error.isEmpty() ? identity.data.sha1 : QByteArray(); }
};
using RomFactsByName = QHash<QByteArray, RomFacts>; // by the name's bytes

// The facts that identity and the databases give.
RomFacts judgeRom(RomIdentity identity, const RomDatabase *databases);
// The same for an archive, by its first ROM once that was read.
RomFacts judgeArchive(ArchiveListing listing, const RomDatabase *databases);

} // namespace library
