#include "library/romfilter.h"

#include "platform/textfold.h"

namespace library {

RomFilter::RomFilter(RomListModel *names, QObject *parent) : QAbstractListModel(parent), m_names(names)
{
    // Unfiltered, each change of the list is passed on as it is; filtered, it is filtered anew.
    connect(names, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex &, int first, int last) {
        if (!filtering())
            beginInsertRows(QModelIndex(), first, last);
    });
    connect(names, &QAbstractItemModel::rowsInserted, this, [this] {
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
        if (filtering())
            refilter();
        else
            endRemoveRows();
    });
    connect(names, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(names, &QAbstractItemModel::modelReset, this, [this] {
        collectMatches();
        endResetModel();
    });
}

void RomFilter::setQuery(const QString &query)
{
    std::vector<QByteArray> words;
    for (const QString &word : platform::foldedForSearch(query).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.push_back(word.toUtf8());
    if (words == m_words)
        return;
    m_words = std::move(words);
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
    QByteArray folded;
    for (int row = 0; row < m_names->rowCount(); ++row) {
        if (matches(m_names->bytesAt(row), folded))
            m_rows.push_back(row);
    }
}

bool RomFilter::matches(QByteArrayView name, QByteArray &folded) const
{
    platform::foldUtf8ForSearch(name, folded);
    const QByteArrayView text(folded);
    for (const QByteArray &word : m_words) {
        if (text.indexOf(word) < 0)
            return false;
    }
    return true;
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
