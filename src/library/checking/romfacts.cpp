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
        warnings = headerProblems(decodeNesHeader(id.header, id.size), id.size);
        const DatMatch match = databases ? databases->match(id) : DatMatch();
        facts.needsEverySum = match.needsEverySum;
        if (const DatRom *entry = match.entry) {
            facts.title = entry->game;
            facts.status = entry->status;
            facts.matchedBy = match.sums;
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

ListedFacts ListedFacts::of(RomFacts facts)
{
    ListedFacts listed;
    listed.game = facts.game();
    listed.title = std::move(facts.title);
    listed.status = std::move(facts.status);
    listed.warning = std::move(facts.warning);
    listed.archive = std::move(facts.archive);
    return listed;
}

QByteArray ListedFacts::sharingKey() const
{
    if (archive)
        return QByteArray();
    // The game's length first; each text ends with a byte that UTF-8 never holds.
    QByteArray key = char(game.size()) + game;
    for (const QString *text : {&title, &status, &warning})
        key += text->toUtf8() + '\xff';
    return key;
}

quint32 CheckedBatch::indexOf(ListedFacts facts)
{
    const QByteArray key = facts.sharingKey();
    if (!key.isEmpty()) {
        const auto found = m_shared.constFind(key);
        if (found != m_shared.cend())
            return *found;
        m_shared.insert(key, quint32(m_facts.size()));
    }
    m_facts.push_back(std::move(facts));
    return quint32(m_facts.size() - 1);
}

} // namespace library
