#include "forms/coverdelegate.h"

#include <QApplication>
#include <QListView>
#include <QPainter>

namespace forms {

namespace {

constexpr int kMargin = 8;     // round each cell
constexpr int kNameGap = 3;    // between the picture and the name
constexpr int kNameLines = 2;
constexpr int kMarkSide = 16;

// text laid out in at most lines lines of width, the last one elided.
QStringList wrapped(const QString &text, const QFontMetrics &metrics, int width, int lines)
{
    QStringList out;
    QString rest = text;
    while (!rest.isEmpty() && out.size() < lines) {
        if (out.size() == lines - 1 || metrics.horizontalAdvance(rest) <= width) {
            out << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        // The longest run of whole words that fits; a word longer than the line is cut.
        qsizetype cut = rest.size();
        while (cut > 0 && metrics.horizontalAdvance(rest.left(cut)) > width)
            cut = rest.lastIndexOf(QLatin1Char(' '), cut - 1);
        if (cut <= 0) {
            cut = 1;
            while (cut < rest.size() && metrics.horizontalAdvance(rest.left(cut + 1)) <= width)
                ++cut;
        }
        out << rest.left(cut);
        rest = rest.mid(cut).trimmed();
    }
    return out;
}

// A muted colour of the name's own, so that cards tell apart at a glance.
QColor cardColour(const QString &name)
{
    return QColor::fromHsv(int(qHash(name) % 360), 70, 120);
}

} // namespace

QSize coverCellSize(const QFontMetrics &metrics)
{
    return QSize(kCoverSize.width() + 2 * kMargin, kCoverSize.height() + kNameGap + kNameLines * metrics.height() + 2 * kMargin);
}

CoverDelegate::CoverDelegate(CoverSource *source, int markRole, std::function<QIcon(const QVariant &)> markOf, QObject *parent)
    : QStyledItemDelegate(parent), m_source(source), m_markRole(markRole), m_markOf(std::move(markOf))
{
}

QSize CoverDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    // The whole of the grid's cell, which the grid widens to share its width.
    const auto *view = qobject_cast<const QListView *>(option.widget);
    return view && view->gridSize().isValid() ? view->gridSize() : coverCellSize(option.fontMetrics);
}

void CoverDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRect cell = option.rect;
    const QPalette &palette = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    if (selected)
        painter->fillRect(cell.adjusted(2, 2, -2, -2), palette.brush(QPalette::Highlight));
    const QRect frame(cell.left() + (cell.width() - kCoverSize.width()) / 2, cell.top() + kMargin, kCoverSize.width(), kCoverSize.height());
    const QString name = index.data(Qt::DisplayRole).toString();
    const CoverSource::Cover cover = m_source->coverOf(index);
    if (!cover.picture.isNull()) {
        // At the foot of its frame, centred: covers of other shapes stand in one line.
        const QSize size = cover.picture.size();
        const QPoint at(frame.left() + (frame.width() - size.width()) / 2, frame.bottom() + 1 - size.height());
        painter->drawImage(at, cover.picture);
    } else if (cover.coming) {
        painter->setPen(QPen(palette.color(QPalette::Mid), 1));
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
    } else { // no box art: a card with the name on it
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(cardColour(name));
        painter->drawRoundedRect(frame, 6, 6);
        painter->setPen(Qt::white);
        painter->drawText(frame.adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, name);
        painter->setRenderHint(QPainter::Antialiasing, false);
    }
    const QVariant mark = index.data(m_markRole);
    if (mark.isValid() && m_markOf)
        m_markOf(mark).paint(painter, QRect(frame.right() - kMarkSide, frame.top() + 2, kMarkSide, kMarkSide));
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const QFontMetrics &metrics = option.fontMetrics;
    int y = frame.bottom() + 1 + kNameGap;
    for (const QString &line : wrapped(name, metrics, cell.width() - kMargin, kNameLines)) {
        painter->drawText(QRect(cell.left() + kMargin / 2, y, cell.width() - kMargin, metrics.height()), Qt::AlignHCenter | Qt::AlignTop, line);
        y += metrics.height();
    }
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}

} // namespace forms
