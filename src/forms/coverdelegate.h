#pragma once
// A file list's entries drawn as covers: box art with the entry's name under it, or a plain card
// with the name where there is none.

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QStyledItemDelegate>

#include <functional>

namespace forms {

// Where a list in cover mode gets an entry's picture. An entry's cover may not be at hand when
// it is drawn: it is asked for then, and coversCame tells when some have come.
class CoverSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    struct Cover {
        QImage picture; // scaled to fit kCoverSize; null: none, or not yet
        bool coming = false; // asked for: drawn as an empty frame until it comes
    };
    virtual Cover coverOf(const QModelIndex &entry) = 0;

signals:
    void coversCame();
};

// The picture part of a cell, in the shape of a box (5:7), and the cell: the picture with two
// lines of the name under it and a margin all round.
inline constexpr QSize kCoverSize(96, 134);
QSize coverCellSize(const QFontMetrics &metrics);

class CoverDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // markOf: the icon drawn in a cover's corner for the value of markRole (a favourite's star).
    CoverDelegate(CoverSource *source, int markRole, std::function<QIcon(const QVariant &)> markOf, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    CoverSource *m_source;
    int m_markRole;
    std::function<QIcon(const QVariant &)> m_markOf;
};

} // namespace forms
