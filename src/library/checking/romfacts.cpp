#include "library/checking/romfacts.h"

#include "library/identity/nesheader.h"

namespace library {

RomFacts judgeRom(RomIdentity identity, const RomDatabase *databases)
{
    RomFacts facts;
    facts.identity = std::move(identity);
    const RomIdentity &id = facts.identity;
    QStringList warnings;
    if (!id.error.isEmpty()) {
        warnings << QStringLiteral("cannot be checked: %1").arg(id.error);
    } else {
        warnings = headerProblems(decodeNesHeader(id.header), id.size);
        if (const DatRom *entry = databases ? databases->find(id.data) : nullptr) {
            facts.title = entry->game;
            facts.status = entry->status;
            if (entry->isBadDump())
                warnings << QStringLiteral("a bad dump, says the ROM database");
        }
    }
    facts.warning = warnings.join(QLatin1Char('\n'));
    return facts;
}

RomFacts judgeArchive(ArchiveListing listing, const RomDatabase *databases)
{
    RomFacts facts;
    if (listing.problem.isEmpty() && !listing.roms.empty() && listing.roms.front().isRead())
        facts = judgeRom(identityOf(listing.roms.front()), databases);
    if (!listing.problem.isEmpty())
        facts.warning = QStringLiteral("cannot be used: %1").arg(listing.problem);
    facts.archive = std::make_shared<const ArchiveListing>(std::move(listing));
    return facts;
}

} // namespace library
