#pragma once

#include "library/archives/romarchive.h"
#include "library/identity/romdatabase.h"
#include "library/identity/romidentity.h"

#include <QHash>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace library {

// What is known of one ROM file once checked: its identity, its entry in the ROM databases, and
// what is wrong with it.
struct RomFacts {
    RomIdentity identity;
    QString title;   // the game a ROM database names; empty when it is in none
    QString status;  // that entry's status ("good", "baddump", ...)
    QString matchedBy; // which sums agreed with it, in words
    // A ROM database entry may be this ROM, but gives a sum not yet computed: read it again with
    // WholeFileSums::Every (Reading::EverySum for an archive) and judge it anew.
    bool needsEverySum = false;
    QString warning; // what is wrong, in words, one line each; empty for a sound ROM
    // For an archive: the NES ROMs it holds. The identity is its first ROM's, once that was read.
    std::shared_ptr<const ArchiveListing> archive;
    // An archive that holds no NES ROM (and is not refused): its row is not shown.
    bool isEmptyArchive() const { return archive && archive->roms.empty() && archive->problem.isEmpty(); }
    // The game's identity (SHA-1 of its ROM data) once known; empty before, or when unreadable.
    QByteArray game() const { return identity.error.isEmpty() ? identity.data.sha1 : QByteArray(); }
};

// What a ROM list shows and hands on of a checked file. Files whose facts read the same share one
// copy: a list of a million files holds one per game, not one per file.
struct ListedFacts {
    QByteArray game; // see RomFacts::game()
    QString title;
    QString status;
    QString warning;
    std::shared_ptr<const ArchiveListing> archive;

    static ListedFacts of(RomFacts facts);
    bool isEmptyArchive() const { return archive && archive->roms.empty() && archive->problem.isEmpty(); }
    // Equal for facts that read the same; empty for an archive's, which no other file shares.
    QByteArray sharingKey() const;
};

// Facts of some of a folder's files, as a check sends them: each file by its name's ordinal in the
// names buffer the check was given (the n-th name in it), or by its name when it was checked on
// its own. Each distinct facts are in it once.
class CheckedBatch
{
public:
    CheckedBatch() = default;
    explicit CheckedBatch(QByteArray names) : m_names(std::move(names)) {}

    void add(quint32 ordinal, const RomFacts &facts) { m_byOrdinal.emplace_back(ordinal, indexOf(ListedFacts::of(facts))); }
    void add(const QByteArray &name, const RomFacts &facts) { m_byName.emplace_back(name, indexOf(ListedFacts::of(facts))); }
    bool isEmpty() const { return m_byOrdinal.empty() && m_byName.empty(); }
    size_t size() const { return m_byOrdinal.size() + m_byName.size(); }

    // The buffer the ordinals count in.
    const QByteArray &names() const { return m_names; }
    const std::vector<ListedFacts> &facts() const { return m_facts; }
    // (ordinal, index in facts()), and (name, index in facts()).
    const std::vector<std::pair<quint32, quint32>> &byOrdinal() const { return m_byOrdinal; }
    const std::vector<std::pair<QByteArray, quint32>> &byName() const { return m_byName; }

private:
    quint32 indexOf(ListedFacts facts);

    QByteArray m_names;
    std::vector<ListedFacts> m_facts;
    QHash<QByteArray, quint32> m_shared; // by sharing key
    std::vector<std::pair<quint32, quint32>> m_byOrdinal;
    std::vector<std::pair<QByteArray, quint32>> m_byName;
};

// The facts that identity and the databases give.
RomFacts judgeRom(RomIdentity identity, const RomDatabase *databases);
// The same for an archive, by its first ROM once that was read.
RomFacts judgeArchive(ArchiveListing listing, const RomDatabase *databases);

} // namespace library
