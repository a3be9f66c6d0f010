#pragma once

#include "library/folders/romlistmodel.h"

#include <QAbstractListModel>
#include <QByteArray>

#include <vector>

namespace library {

// The rows of a ROM list that a find query leaves, in the list's order: a row is shown when its
// name (without its extension) and, with titles shown, its title, hold every word of the query,
// case and accents aside ("mega 3" finds "Mega Man 3 (USA).nes"; "nes" finds no ".nes"). A query
// that starts with "*" shows favourites only ("*" alone: every favourite). With no query every
// row is shown, and the list's changes pass through row by row, so that a view keeps its
// selection and place.
class RomFilter : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit RomFilter(RomListModel *names, QObject *parent = nullptr);

    // Shows the rows query leaves; blank words count for nothing.
    void setQuery(const QString &query);
    bool filtering() const { return m_favouritesOnly || !m_words.empty(); }
    // Every name of the list, shown or not.
    int totalCount() const { return m_names->rowCount(); }
    // The row of the list's model a shown row stands for.
    int namesRow(int row) const { return filtering() ? m_rows[size_t(row)] : row; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // A view asks for every row's index as it lays a list out: without the two virtual calls
    // that the base class makes to check each one.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    void refilter();
    void collectMatches(); // the rows shown, within a reset of the model
    void forgetFolded();
    int shownRowOf(int namesRow) const; // -1: not shown

    RomListModel *m_names;
    std::vector<QByteArray> m_words; // the query's words, folded
    bool m_favouritesOnly = false;
    std::vector<int> m_rows;         // while filtering: the rows of m_names shown
    // Every name folded, made at the first query after a change of the list: each keystroke
    // then only looks for the words.
    QByteArray m_folded;
    std::vector<qsizetype> m_foldedEnds;
    // While the list's rows are put in another order: the indexes views hold, and the rows of
    // the list they stand for.
    QModelIndexList m_movingIndexes;
    QList<QPersistentModelIndex> m_movingRows;
};

} // namespace library
