#include "library/folders/romlistmodel.h"

#include "platform/filenames.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace library {

namespace {

std::vector<const char *> pointersInto(const QByteArray &buffer, const RomNames &names)
{
    std::vector<const char *> rows;
    rows.reserve(names.starts().size());
    for (const quint32 start : names.starts())
        rows.push_back(buffer.constData() + start);
    return rows;
}

} // namespace

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
        return platform::displayName(fileName(index.row()));
    case Qt::EditRole:
        return fileName(index.row());
    case MarkRole: {
        if (m_marked == 0 && m_favourites.isEmpty())
            return QVariant();
        const RomFacts *facts = factsAt(index.row());
        const bool warned = facts && !facts->warning.isEmpty();
        if (isFavourite(facts))
            return int(warned ? RomMark::WarnedFavourite : RomMark::Favourite);
        return int(warned ? RomMark::Warning : RomMark::Blank);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const RomFacts *facts = factsAt(index.row());
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

void RomListModel::setFavourites(const QSet<QByteArray> &games)
{
    if (games == m_favourites)
        return;
    m_favourites = games;
    if (!m_rows.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {MarkRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

bool RomListModel::isFavourite(int row) const { return !m_favourites.isEmpty() && isFavourite(factsAt(row)); }

bool RomListModel::isFavourite(const RomFacts *facts) const
{
    return facts && m_favourites.contains(facts->identity.data.sha1);
}

const RomFacts *RomListModel::factsAt(int row) const
{
    const QByteArrayView name = bytesAt(row);
    if (name.isEmpty() || m_facts.isEmpty())
        return nullptr;
    const auto found = m_facts.constFind(QByteArray::fromRawData(name.data(), name.size()));
    return found == m_facts.cend() ? nullptr : &*found;
}

void RomListModel::addFacts(const RomFactsByName &facts)
{
    for (auto it = facts.cbegin(); it != facts.cend(); ++it) {
        const auto before = m_facts.constFind(it.key());
        m_marked += int(!it->warning.isEmpty()) - int(before != m_facts.cend() && !before->warning.isEmpty());
    }
    if (m_facts.isEmpty())
        m_facts = facts;
    else
        m_facts.insert(facts);
    // An archive found to hold no NES ROM leaves the list.
    for (qsizetype row = qsizetype(m_rows.size()) - 1; row >= 0; --row) {
        if (isHidden(m_rows[size_t(row)])) {
            beginRemoveRows(QModelIndex(), int(row), int(row));
            m_rows.erase(m_rows.begin() + row);
            endRemoveRows();
        }
    }
    if (!m_rows.empty())
        emit dataChanged(index(0), index(int(m_rows.size()) - 1), {MarkRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
}

bool RomListModel::isHidden(const char *name) const
{
    if (m_facts.isEmpty())
        return false;
    const auto found = m_facts.constFind(QByteArray::fromRawData(name, qsizetype(std::strlen(name))));
    return found != m_facts.cend() && found->isEmptyArchive();
}

QByteArrayView RomListModel::bytesAt(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? QByteArrayView(m_rows[size_t(row)]) : QByteArrayView();
}

QString RomListModel::fileName(int row) const { return platform::fromUtf8Lossless(bytesAt(row)); }

int RomListModel::rowOf(QByteArrayView name) const
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (QByteArrayView(m_rows[row]) == name)
            return int(row);
    }
    return -1;
}

void RomListModel::reset(const RomNames &names)
{
    beginResetModel();
    m_facts.clear(); // another folder's files
    m_marked = 0;
    m_buffer = names.buffer();
    m_rows = pointersInto(m_buffer, names);
    endResetModel();
}

void RomListModel::update(const RomNames &names)
{
    const QByteArray buffer = names.buffer(); // both readings live until the rows are moved over
    std::vector<const char *> fresh = pointersInto(buffer, names);
    fresh.erase(std::remove_if(fresh.begin(), fresh.end(), [this](const char *name) { return isHidden(name); }), fresh.end());
    const bool same = fresh.size() == m_rows.size()
        && std::equal(fresh.begin(), fresh.end(), m_rows.begin(), [](const char *a, const char *b) { return std::strcmp(a, b) == 0; });
    if (same) { // nothing changed, the common case: no row moves
        m_rows.swap(fresh);
        m_buffer = buffer;
        return;
    }
    const std::unordered_set<std::string_view> now(fresh.begin(), fresh.end());
    const std::unordered_set<std::string_view> before(m_rows.begin(), m_rows.end());
    for (qsizetype row = qsizetype(m_rows.size()) - 1; row >= 0;) {
        if (now.count(m_rows[size_t(row)])) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !now.count(m_rows[size_t(first - 1)]))
            --first;
        beginRemoveRows(QModelIndex(), int(first), int(row));
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }
    size_t row = 0;
    for (size_t i = 0; i < fresh.size();) {
        if (before.count(fresh[i])) {
            if (row >= m_rows.size() || std::strcmp(m_rows[row], fresh[i]) != 0) { // another order
                reset(names);
                return;
            }
            m_rows[row++] = fresh[i++]; // the same name, now in the new reading
            continue;
        }
        size_t last = i;
        while (last + 1 < fresh.size() && !before.count(fresh[last + 1]))
            ++last;
        beginInsertRows(QModelIndex(), int(row), int(row + (last - i)));
        m_rows.insert(m_rows.begin() + qsizetype(row), fresh.begin() + qsizetype(i), fresh.begin() + qsizetype(last) + 1);
        endInsertRows();
        row += last - i + 1;
        i = last + 1;
    }
    m_buffer = buffer;
}

} // namespace library
