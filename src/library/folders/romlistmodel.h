#pragma once

#include "library/checking/romfacts.h"
#include "library/folders/romnames.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

namespace platform {
class Receiver;
class WorkQueue;
}

namespace library {

// The orders a ROM list can have: by what the rows show (the default), most played first, last
// played first, or newest file first. Rows that tie, and rows with nothing to rank them by (a
// game never played, a ROM not identified yet), follow in the order of what they show.
enum class RomOrder { Name, MostPlayed, LastPlayed, RecentlyAdded };

// The rows of a ROM list: pointers to names in the buffer of the folder's last reading, each
// decoded only when its row is drawn or used. The display role shows U+FFFD where a byte is no
// text; the edit role is the name as the file system holds it. Once a ROM is checked, a row whose
// file is not sound is marked (MarkRole), and its tooltip says why (with the game's title when a
// ROM database knows it). An archive checked and found to hold no NES ROM is not shown. With
// titles shown, a row shows its ROM's database title where one is known, and the rows are
// ordered by what they show.
class RomListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit RomListModel(QObject *parent = nullptr);
    ~RomListModel() override;

    // A row's mark, for the icon a view draws beside its name (MarkRole, a RomMark): none until
    // some row has one, then a blank in every other row, so that the names stay in line.
    enum Role { MarkRole = Qt::UserRole + 1 };
    enum class RomMark { Blank, Warning, Favourite, WarnedFavourite };

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // The name of row as the file system holds it; empty outside the rows.
    QString fileName(int row) const;
    QByteArrayView bytesAt(int row) const;
    // The bytes of every name together, each with its NUL.
    qsizetype nameBytes() const { return m_buffer.size(); }
    // The row of the name with these bytes; -1 when there is none.
    int rowOf(QByteArrayView name) const;

    // The bytes of every name together, each with its NUL, in the order a check counts them.
    QByteArray namesBuffer() const { return m_buffer; }
    // What the checks found of row's file; null before it is checked.
    const ListedFacts *factsAt(int row) const;
    // Adds a check's findings. Those counted in the names of an earlier reading are dropped: each
    // reading is checked anew.
    void addFacts(const CheckedBatch &batch);
    // The games (identities) the user keeps as favourites: their rows carry a star once checked.
    void setFavourites(const QSet<QByteArray> &games);
    bool isFavourite(int row) const;

    // Shows each ROM's database title instead of its name where one is known, and orders the
    // rows by what they show; off, the names in their own order. The order is made off the
    // window's thread (a million titles take a while) and follows titles as checks find them, a
    // moment later (titles come in batches).
    void setShowTitles(bool show);
    bool showsTitles() const { return m_showTitles; }
    // The title row shows instead of its name; empty when names are shown, or it has none.
    QString shownTitle(int row) const;
    // What row shows: its title, or its name.
    QString shownName(int row) const;

    // Orders the rows; a played order ranks each row's game with gameRank (higher first), asked
    // on this thread whenever the rows are ordered. The order is made off the window's thread.
    using GameRank = std::function<qint64(const QByteArray &game)>;
    void setOrder(RomOrder order, GameRank gameRank = {});
    RomOrder order() const { return m_order; }
    // Orders the rows again: what ranks them has changed (a game was played).
    void orderAgain();

    // Shows another folder's names; folder is where they are (the newest file first looks there).
    void reset(const RomNames &names, const QString &folder = {});
    // Shows a new reading of the same folder: the names gone are removed and the new ones
    // inserted where they belong; every other row stays, and with it a view's selection, place
    // and what its check found.
    void update(const RomNames &names);

private:
    using Row = RomNames::Row;
    const char *nameOf(Row row) const { return m_buffer.constData() + row.start; }
    const ListedFacts *factsOf(quint32 ordinal) const;
    bool isFavourite(const ListedFacts *facts) const;
    quint32 share(const ListedFacts &facts); // 1 + its index in m_facts
    void countMarked();
    void removeHidden();
    // Puts the same rows in another order: views keep their selection and place.
    void reorder(std::vector<Row> rows);
    void sortBy(bool titles); // by names or shown titles only, at once
    void sortSoon();          // in the chosen order, off the window's thread
    // Orders again a moment after a check's batch brought what the order goes by.
    void sortAfterBatches();
    std::vector<QString> shownTitles(bool titles) const; // by row; empty where the name shows
    std::vector<qint64> gameRanks() const;                 // by row, for a played order
    bool playedOrder() const { return (m_order == RomOrder::MostPlayed || m_order == RomOrder::LastPlayed) && m_gameRank; }
    void rowsChanged() { ++m_rowsGeneration; }
    void updateInNameOrder(const RomNames &names);

    QByteArray m_buffer;
    std::vector<Row> m_rows;
    // By ordinal: 0 until the name's file is checked, then 1 + the index of its facts in m_facts.
    std::vector<quint32> m_factsOfName;
    std::vector<ListedFacts> m_facts;    // each distinct facts found in this folder
    QHash<QByteArray, quint32> m_shared; // m_factsOfName's values, by sharing key
    QSet<QByteArray> m_hidden;           // archives found to hold no NES ROM: never shown
    int m_marked = 0;                    // names whose file is not sound
    QSet<QByteArray> m_favourites;
    bool m_showTitles = false;
    RomOrder m_order = RomOrder::Name;
    GameRank m_gameRank;
    QString m_folder;           // where the names are
    bool m_sortPending = false; // titles or games came: the rows are ordered again in a moment
    quint64 m_rowsGeneration = 0; // each change of the rows: an order made of older rows is dropped
    quint64 m_sortsAsked = 0;     // the newest order asked for: older ones are dropped
    std::unique_ptr<platform::WorkQueue> m_sorting;
    std::shared_ptr<platform::Receiver> m_receiver;
};

} // namespace library
