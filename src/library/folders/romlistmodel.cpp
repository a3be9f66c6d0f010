#include "library/folders/romlistmodel.h"

#include "platform/filenames.h"
#include "platform/receiver.h"
#include "platform/workqueue.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_set>

namespace library {

namespace {

// Titles come in a check's batches, several a second: the rows are ordered again after a pause.
constexpr int kSortAfterTitlesMs = 400;

// rows ordered by what each shows: its title in shown, or where it has none its name in buffer.
std::vector<RomNames::Row> orderedByShown(const std::vector<RomNames::Row> &rows, const QByteArray &buffer, const std::vector<QString> &shown)
{
    RomNames keys; // by row: a key's ordinal is its row
    for (size_t row = 0; row < rows.size(); ++row) {
        if (shown[row].isEmpty())
            keys.append(buffer.constData() + rows[row].start);
        else
            keys.append(shown[row].toUtf8());
    }
    keys.sort(QLocale());
    std::vector<RomNames::Row> sorted;
    sorted.reserve(rows.size());
    for (const RomNames::Row &key : keys.rows())
        sorted.push_back(rows[key.ordinal]);
    return sorted;
}

// The same with rows of a higher rank first (ranks by row of rows); ties as above.
std::vector<RomNames::Row> orderedByRank(const std::vector<RomNames::Row> &rows, const QByteArray &buffer, const std::vector<QString> &shown,
                                         const std::vector<qint64> &ranks)
{
    std::vector<RomNames::Row> sorted = orderedByShown(rows, buffer, shown);
    if (ranks.empty())
        return sorted;
    std::vector<qint64> rankOfOrdinal;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rankOfOrdinal.size() <= rows[row].ordinal)
            rankOfOrdinal.resize(rows[row].ordinal + 1);
        rankOfOrdinal[rows[row].ordinal] = ranks[row];
    }
    std::stable_sort(sorted.begin(), sorted.end(), [&](const RomNames::Row &a, const RomNames::Row &b) {
        return rankOfOrdinal[a.ordinal] > rankOfOrdinal[b.ordinal];
    });
    return sorted;
}

// Each row's file's time of change (ms since 1970), as a rank: the newest file first.
std::vector<qint64> fileTimes(const std::vector<RomNames::Row> &rows, const QByteArray &buffer, const QString &folder,
                              const platform::CancelFlag &cancelled)
{
    std::vector<qint64> times(rows.size(), 0);
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (size_t row = 0; row < rows.size() && !cancelled.isSet(); ++row) {
        const QFileInfo file(base + platform::fromUtf8Lossless(buffer.constData() + rows[row].start));
        times[row] = file.lastModified().toMSecsSinceEpoch();
    }
    return times;
}

} // namespace

RomListModel::RomListModel(QObject *parent) : QAbstractListModel(parent) {}

RomListModel::~RomListModel() = default;

int RomListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant RomListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return shownName(index.row());
    case Qt::EditRole:
        return fileName(index.row());
    case MarkRole: {
        if (m_marked == 0 && m_favourites.isEmpty())
            return QVariant();
        const ListedFacts *facts = factsAt(index.row());
        const bool warned = facts && !facts->warning.isEmpty();
        if (isFavourite(facts))
            return int(warned ? RomMark::WarnedFavourite : RomMark::Favourite);
        return int(warned ? RomMark::Warning : RomMark::Blank);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const ListedFacts *facts = factsAt(index.row());
        if (!facts)
            return QVariant();
        QStringList lines;
        if (isFavourite(facts))
            lines << QStringLiteral("favourite");
        if (!facts->title.isEmpty())
            lines << QStringLiteral("%1 (%2)").arg(facts->title, facts->status);
        if (!facts->warning.isEmpty())
            lines << facts->warning;
        return lines.isEmpty() ? QVariant() : lines.join(QLatin1Char('\n'));
    }
    default:
        return QVariant();
    }
}

QString RomListModel::shownTitle(int row) const
{
    const ListedFacts *facts = m_showTitles ? factsAt(row) : nullptr;
    return facts ? facts->title : QString();
}

QString RomListModel::shownName(int row) const
{
    const QString title = shownTitle(row);
    return title.isEmpty() ? platform::displayName(fileName(row)) : title;
}

void RomListModel::setShowTitles(bool show)
{
    if (show == m_showTitles)
        return;
    m_showTitles = show;
    if (!m_rows.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DisplayRole});
    sortSoon();
}

void RomListModel::setOrder(RomOrder order, GameRank gameRank)
{
    m_gameRank = std::move(gameRank);
    if (std::exchange(m_order, order) != order)
        sortSoon();
}

void RomListModel::orderAgain()
{
    if (m_order != RomOrder::Name)
        sortSoon();
}

std::vector<qint64> RomListModel::gameRanks() const
{
    if (!playedOrder())
        return {};
    std::vector<qint64> ranks(m_rows.size(), 0);
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (const ListedFacts *facts = factsOf(m_rows[row].ordinal); facts && !facts->game.isEmpty())
            ranks[row] = m_gameRank(facts->game);
    }
    return ranks;
}

void RomListModel::sortSoon()
{
    // What each row shows and its game's rank, taken now (titles are shared, not copied); sorted
    // on a queue of the model's own (the files' times read there), and put in place if the rows
    // are still those it was made of.
    std::vector<QString> shown = shownTitles(m_showTitles);
    std::vector<qint64> ranks = gameRanks();
    const QString timesIn = m_order == RomOrder::RecentlyAdded ? m_folder : QString();
    if (!m_sorting) {
        m_sorting = std::make_unique<platform::WorkQueue>("ROM list order", platform::WorkQueue::Priority::BelowWindow);
        m_receiver = platform::Receiver::of(this);
    }
    m_sorting->cancel(); // an older order is of no use
    m_sorting->post([receiver = m_receiver, this, rows = m_rows, buffer = m_buffer, shown = std::move(shown), ranks = std::move(ranks),
                     timesIn, asked = ++m_sortsAsked, generation = m_rowsGeneration](const platform::CancelFlag &cancelled) mutable {
        if (!timesIn.isEmpty())
            ranks = fileTimes(rows, buffer, timesIn, cancelled);
        std::vector<Row> sorted = orderedByRank(rows, buffer, shown, ranks);
        if (cancelled.isSet())
            return;
        receiver->post([this, sorted = std::move(sorted), asked, generation]() mutable {
            if (asked != m_sortsAsked)
                return; // a newer order is on its way
            if (generation != m_rowsGeneration)
                sortSoon(); // the rows changed meanwhile: made again of the new ones
            else if (!std::equal(sorted.begin(), sorted.end(), m_rows.begin(), m_rows.end(), [](Row a, Row b) { return a.start == b.start; }))
                reorder(std::move(sorted));
        });
    });
}

void RomListModel::sortAfterBatches()
{
    if (std::exchange(m_sortPending, true))
        return;
    QTimer::singleShot(kSortAfterTitlesMs, this, [this] {
        m_sortPending = false;
        sortSoon();
    });
}

void RomListModel::sortBy(bool titles) { reorder(orderedByShown(m_rows, m_buffer, shownTitles(titles))); }

std::vector<QString> RomListModel::shownTitles(bool titles) const
{
    std::vector<QString> shown(m_rows.size()); // shared with the facts, not copied
    for (size_t row = 0; titles && row < m_rows.size(); ++row) {
        if (const ListedFacts *facts = factsOf(m_rows[row].ordinal))
            shown[row] = facts->title;
    }
    return shown;
}

void RomListModel::reorder(std::vector<Row> rows)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> rowOfOrdinal(m_factsOfName.size(), -1);
    for (size_t row = 0; row < rows.size(); ++row)
        rowOfOrdinal[rows[row].ordinal] = int(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &was : before)
        after.append(index(rowOfOrdinal[m_rows[size_t(was.row())].ordinal]));
    m_rows = std::move(rows);
    rowsChanged();
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RomListModel::setFavourites(const QSet<QByteArray> &games)
{
    if (games == m_favourites)
        return;
    m_favourites = games;
    if (!m_rows.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {MarkRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

bool RomListModel::isFavourite(int row) const { return !m_favourites.isEmpty() && isFavourite(factsAt(row)); }

bool RomListModel::isFavourite(const ListedFacts *facts) const
{
    return facts && !facts->game.isEmpty() && m_favourites.contains(facts->game);
}

const ListedFacts *RomListModel::factsOf(quint32 ordinal) const
{
    const quint32 facts = ordinal < m_factsOfName.size() ? m_factsOfName[ordinal] : 0;
    return facts == 0 ? nullptr : &m_facts[facts - 1];
}

const ListedFacts *RomListModel::factsAt(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? factsOf(m_rows[size_t(row)].ordinal) : nullptr;
}

quint32 RomListModel::share(const ListedFacts &facts)
{
    const QByteArray key = facts.sharingKey();
    if (!key.isEmpty()) {
        const auto found = m_shared.constFind(key);
        if (found != m_shared.cend())
            return *found;
    }
    m_facts.push_back(facts);
    const quint32 value = quint32(m_facts.size());
    if (!key.isEmpty())
        m_shared.insert(key, value);
    return value;
}

void RomListModel::addFacts(const CheckedBatch &batch)
{
    std::vector<quint32> shared; // the batch's facts as this model holds them
    shared.reserve(batch.facts().size());
    bool hides = false;
    for (const ListedFacts &facts : batch.facts()) {
        shared.push_back(share(facts));
        hides = hides || facts.isEmptyArchive();
    }
    const auto set = [&](quint32 ordinal, quint32 index) {
        if (ordinal >= m_factsOfName.size())
            return;
        const ListedFacts *before = factsOf(ordinal);
        m_factsOfName[ordinal] = shared[index];
        m_marked += int(!batch.facts()[index].warning.isEmpty()) - int(before && !before->warning.isEmpty());
    };
    if (batch.names().constData() == m_buffer.constData()) {
        for (const auto &[ordinal, index] : batch.byOrdinal())
            set(ordinal, index);
    }
    for (const auto &[name, index] : batch.byName()) {
        const int row = rowOf(name);
        if (row >= 0)
            set(m_rows[size_t(row)].ordinal, index);
    }
    if (hides)
        removeHidden();
    if (!m_rows.empty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1),
                         {MarkRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole, Qt::DisplayRole});
    const bool titled = std::any_of(batch.facts().cbegin(), batch.facts().cend(), [](const ListedFacts &facts) { return !facts.title.isEmpty(); });
    // A game found that its order ranks (one played) moves its row.
    const bool ranked = playedOrder() && std::any_of(batch.facts().cbegin(), batch.facts().cend(), [this](const ListedFacts &facts) {
        return !facts.game.isEmpty() && m_gameRank(facts.game) > 0;
    });
    if ((m_showTitles && titled) || ranked)
        sortAfterBatches();
}

// An archive found to hold no NES ROM leaves the list, and stays out of later readings.
void RomListModel::removeHidden()
{
    for (qsizetype row = qsizetype(m_rows.size()) - 1; row >= 0; --row) {
        const ListedFacts *facts = factsOf(m_rows[size_t(row)].ordinal);
        if (facts && facts->isEmptyArchive()) {
            m_hidden.insert(QByteArray(nameOf(m_rows[size_t(row)])));
            beginRemoveRows(QModelIndex(), int(row), int(row));
            m_rows.erase(m_rows.begin() + row);
            rowsChanged();
            endRemoveRows();
        }
    }
}

void RomListModel::countMarked()
{
    m_marked = 0;
    for (const quint32 facts : m_factsOfName)
        m_marked += int(facts != 0 && !m_facts[facts - 1].warning.isEmpty());
}

QByteArrayView RomListModel::bytesAt(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? QByteArrayView(nameOf(m_rows[size_t(row)])) : QByteArrayView();
}

QString RomListModel::fileName(int row) const { return platform::fromUtf8Lossless(bytesAt(row)); }

int RomListModel::rowOf(QByteArrayView name) const
{
    if (name.isEmpty() || name.contains('\0'))
        return -1;
    // The name is looked for in the buffer, whose bytes lie in a row, then its start among the
    // rows: both far faster over a million names than comparing the names row by row.
    const QByteArray wanted = name.toByteArray() + '\0';
    const std::boyer_moore_horspool_searcher searcher(wanted.cbegin(), wanted.cend());
    const char *const begin = m_buffer.cbegin();
    for (const char *from = begin; from != m_buffer.cend(); ++from) {
        from = std::search(from, m_buffer.cend(), searcher);
        if (from == m_buffer.cend())
            return -1;
        if (from == begin || from[-1] == '\0') { // a whole name, not the end of one
            const quint32 start = quint32(from - begin);
            const auto row = std::find_if(m_rows.cbegin(), m_rows.cend(), [start](const Row &row) { return row.start == start; });
            return row == m_rows.cend() ? -1 : int(row - m_rows.cbegin());
        }
    }
    return -1;
}

void RomListModel::reset(const RomNames &names, const QString &folder)
{
    m_folder = folder;
    beginResetModel();
    m_facts.clear(); // another folder's files
    m_shared.clear();
    m_hidden.clear();
    m_marked = 0;
    m_buffer = names.buffer();
    m_rows = names.rows();
    rowsChanged();
    m_factsOfName.assign(names.starts().size(), 0);
    endResetModel();
    if (m_order == RomOrder::RecentlyAdded)
        sortSoon();
}

void RomListModel::update(const RomNames &names)
{
    // A new reading comes in the names' order: the rows meet it in that order, and are put in
    // the list's own again after (at once, but for the files' times, read off this thread).
    if (!m_showTitles && m_order == RomOrder::Name) {
        updateInNameOrder(names);
        return;
    }
    sortBy(false);
    updateInNameOrder(names);
    if (m_order == RomOrder::RecentlyAdded)
        sortSoon();
    else
        reorder(orderedByRank(m_rows, m_buffer, shownTitles(m_showTitles), gameRanks()));
}

void RomListModel::updateInNameOrder(const RomNames &names)
{
    rowsChanged();
    const QByteArray buffer = names.buffer(); // both readings live until the rows are moved over
    const auto freshName = [&buffer](Row row) { return buffer.constData() + row.start; };
    std::vector<Row> fresh = names.rows();
    if (!m_hidden.isEmpty()) {
        fresh.erase(std::remove_if(fresh.begin(), fresh.end(), [&](Row row) { return m_hidden.contains(QByteArray(freshName(row))); }),
                    fresh.end());
    }
    std::vector<quint32> freshFacts(names.starts().size(), 0);
    // Moves the rows over to the new reading, with what was found of each, without a signal: the
    // names stay as they are. fresh[i] is the same name as m_rows[i].
    const auto moveOver = [&](std::vector<Row> &rows) {
        for (size_t i = 0; i < rows.size(); ++i)
            freshFacts[rows[i].ordinal] = m_factsOfName[m_rows[i].ordinal];
        m_rows.swap(rows);
        m_buffer = buffer;
        m_factsOfName.swap(freshFacts);
        countMarked();
    };
    const bool same = fresh.size() == m_rows.size() && std::equal(fresh.begin(), fresh.end(), m_rows.begin(), [&](Row a, Row b) {
        return std::strcmp(freshName(a), nameOf(b)) == 0;
    });
    if (same) { // nothing changed, the common case: no row moves
        moveOver(fresh);
        return;
    }
    std::unordered_set<std::string_view> now, before;
    now.reserve(fresh.size());
    before.reserve(m_rows.size());
    for (const Row row : fresh)
        now.insert(freshName(row));
    for (const Row row : m_rows)
        before.insert(nameOf(row));
    // The names in both readings must stand in the same order in each; if not, the list starts afresh.
    std::vector<Row> kept;
    for (const Row row : fresh) {
        if (before.count(freshName(row)))
            kept.push_back(row);
    }
    size_t at = 0;
    for (const Row row : m_rows) {
        if (!now.count(nameOf(row)))
            continue;
        if (std::strcmp(nameOf(row), freshName(kept[at++])) != 0) { // another order
            reset(names, m_folder);
            return;
        }
    }
    const QByteArray earlier = m_buffer; // the names of before, while the rows gone are removed
    for (qsizetype row = qsizetype(m_rows.size()) - 1; row >= 0;) {
        if (now.count(nameOf(m_rows[size_t(row)]))) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !now.count(nameOf(m_rows[size_t(first - 1)])))
            --first;
        beginRemoveRows(QModelIndex(), int(first), int(row));
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
    moveOver(kept);
    size_t row = 0;
    for (size_t i = 0; i < fresh.size();) {
        if (before.count(freshName(fresh[i]))) { // already in its row
            ++row;
            ++i;
            continue;
        }
        size_t last = i;
        while (last + 1 < fresh.size() && !before.count(freshName(fresh[last + 1])))
            ++last;
        beginInsertRows(QModelIndex(), int(row), int(row + (last - i)));
        m_rows.insert(m_rows.begin() + qsizetype(row), fresh.begin() + qsizetype(i), fresh.begin() + qsizetype(last) + 1);
        endInsertRows();
        row += last - i + 1;
        i = last + 1;
    }
}

} // namespace library
