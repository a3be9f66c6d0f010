#pragma once

#include "library/checking/romfacts.h"
#include "library/folders/romnames.h"

#include <QAbstractListModel>
#include <QSet>

#include <vector>

namespace library {

// The rows of a ROM list: pointers to names in the buffer of the folder's last reading, each
// decoded only when its row is drawn or used. The display role shows U+FFFD where a byte is no
// text; the edit role is the name as the file system holds it. Once a ROM is checked, a row whose
// file is not sound is marked (MarkRole), and its tooltip says why (with the game's title when a
// ROM database knows it). An archive checked and found to hold no NES ROM is not shown.
class RomListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

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

    // The bytes of every name together, each with its NUL.
    QByteArray namesBuffer() const { return m_buffer; }
    // What the checks found of row's file; null before it is checked.
    const RomFacts *factsAt(int row) const;
    // Adds checks' findings, by name; names not listed are kept for when they are.
    void addFacts(const RomFactsByName &facts);
    // The games (identities) the user keeps as favourites: their rows carry a star once checked.
    void setFavourites(const QSet<QByteArray> &games);
    bool isFavourite(int row) const;

    // Shows another folder's names.
    void reset(const RomNames &names);
    // Shows a new reading of the same folder: the names gone are removed and the new ones
    // inserted where they belong; every other row stays, and with it a view's selection and place.
    void update(const RomNames &names);

private:
    bool isFavourite(const RomFacts *facts) const;
    bool isHidden(const char *name) const; // an archive known to hold no NES ROM

    QByteArray m_buffer;
    std::vector<const char *> m_rows;
    RomFactsByName m_facts; // this folder's files as checked
    int m_marked = 0;       // how many of them are not sound
    QSet<QByteArray> m_favourites;
};

} // namespace library
