#include "library/folders/romfilter.h"

#include "platform/textfold.h"

#include <algorithm>

namespace library {

namespace {

// A name without its extension: what the user calls the game ("Contra.nes": "Contra").
QByteArrayView withoutExtension(QByteArrayView name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 && dot > name.lastIndexOf('/') + 1 ? name.first(dot) : name;
}

} // namespace

RomFilter::RomFilter(RomListModel *names, QObject *parent) : QAbstractListModel(parent), m_names(names)
{
    // Unfiltered, each change of the list is passed on as it is; filtered, it is filtered anew.
    connect(names, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &, int first, int last) {
        if (!filtering())
            beginInsertRows(QModelIndex(), first, last);
    });
    connect(names, &QAbstractItemModel::rowsInserted, this, [this] {
        forgetFolded();
        if (filtering())
            refilter();
        else
            endInsertRows();
    });
    connect(names, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
        if (!filtering())
            beginRemoveRows(QModelIndex(), first, last);
    });
    connect(names, &QAbstractItemModel::rowsRemoved, this, [this] {
        forgetFolded();
        if (filtering())
            refilter();
        else
            endRemoveRows();
    });
    connect(names, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
        if (!filtering())
            emit dataChanged(index(from.row()), index(to.row()), roles);
        else if (m_favouritesOnly && roles.contains(RomListModel::MarkRole))
            refilter(); // a favourite more or less, or a file's identity now known
        else if (!m_rows.empty())
            emit dataChanged(index(0), index(int(m_rows.size()) - 1), roles);
    });
    // Rows put in another order (titles shown): the same rows, filtered anew in the new order.
    connect(names, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        m_movingIndexes = persistentIndexList();
        m_movingRows.clear();
        for (const QModelIndex &shown : m_movingIndexes)
            m_movingRows.append(QPersistentModelIndex(m_names->index(namesRow(shown.row()))));
    });
    connect(names, &QAbstractItemModel::layoutChanged, this, [this] {
        forgetFolded();
        collectMatches();
        QModelIndexList moved;
        for (const QPersistentModelIndex &row : std::as_const(m_movingRows))
            moved.append(row.isValid() ? index(shownRowOf(row.row())) : QModelIndex());
        changePersistentIndexList(m_movingIndexes, moved);
        m_movingIndexes.clear();
        m_movingRows.clear();
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    });
    connect(names, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(names, &QAbstractItemModel::modelReset, this, [this] {
        forgetFolded();
        collectMatches();
        endResetModel();
    });
}

void RomFilter::setQuery(const QString &query)
{
    const QString trimmed = query.trimmed();
    const bool favouritesOnly = trimmed.startsWith(QLatin1Char('*'));
    std::vector<QByteArray> words;
    for (const QString &word : platform::foldedForSearch(favouritesOnly ? trimmed.mid(1) : query).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.push_back(word.toUtf8());
    if (words == m_words && favouritesOnly == m_favouritesOnly)
        return;
    m_words = std::move(words);
    m_favouritesOnly = favouritesOnly;
    if (!filtering())
        forgetFolded(); // the find line closed: the folded names are not saved for it
    refilter();
}

void RomFilter::refilter()
{
    beginResetModel();
    collectMatches();
    endResetModel();
}

void RomFilter::collectMatches()
{
    m_rows.clear();
    if (!filtering())
        return;
    // The first query after the list changed folds every name as it goes, and keeps them.
    const int count = m_names->rowCount();
    const bool folding = m_foldedEnds.size() != size_t(count);
    if (folding) {
        forgetFolded();
        m_folded.reserve(m_names->nameBytes());
        m_foldedEnds.reserve(size_t(count));
    }
    qsizetype start = 0;
    for (int row = 0; row < count; ++row) {
        if (folding) {
            platform::appendFoldedUtf8(withoutExtension(m_names->bytesAt(row)), m_folded);
            if (const QString title = m_names->shownTitle(row); !title.isEmpty()) {
                m_folded += '\n'; // no word holds it: none is found across the two
                platform::appendFoldedUtf8(title.toUtf8(), m_folded);
            }
            m_foldedEnds.push_back(m_folded.size());
        }
        const qsizetype end = m_foldedEnds[size_t(row)];
        const QByteArrayView name(m_folded.constData() + start, end - start);
        if ((!m_favouritesOnly || m_names->isFavourite(row))
            && std::all_of(m_words.begin(), m_words.end(), [&](const QByteArray &word) { return name.indexOf(word) >= 0; }))
            m_rows.push_back(row);
        start = end;
    }
}

int RomFilter::shownRowOf(int namesRow) const
{
    if (!filtering())
        return namesRow;
    const auto found = std::lower_bound(m_rows.cbegin(), m_rows.cend(), namesRow);
    return found != m_rows.cend() && *found == namesRow ? int(found - m_rows.cbegin()) : -1;
}

void RomFilter::forgetFolded()
{
    m_folded = QByteArray();
    m_foldedEnds = {};
}

QModelIndex RomFilter::index(int row, int column, const QModelIndex &parent) const
{
    const int rows = filtering() ? int(m_rows.size()) : m_names->rowCount();
    return row >= 0 && row < rows && column == 0 && !parent.isValid() ? createIndex(row, column) : QModelIndex();
}

int RomFilter::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return filtering() ? int(m_rows.size()) : m_names->rowCount();
}

QVariant RomFilter::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    return m_names->data(m_names->index(namesRow(index.row())), role);
}

} // namespace library
