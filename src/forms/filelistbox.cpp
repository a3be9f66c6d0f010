#include "forms/filelistbox.h"

#include "forms/controls.h"
#include "forms/coverdelegate.h"
#include "platform/textfold.h"

#include <QAccessible>
#include <QApplication>
#include <algorithm>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace forms {

namespace {

class IconByRole : public QStyledItemDelegate
{
public:
    IconByRole(int role, std::function<QIcon(const QVariant &)> iconOf, QObject *parent)
        : QStyledItemDelegate(parent), m_role(role), m_iconOf(std::move(iconOf))
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant value = index.data(m_role);
        if (!value.isValid())
            return;
        option->icon = m_iconOf(value);
        option->features |= QStyleOptionViewItem::HasDecoration;
        if (const auto *view = qobject_cast<const QAbstractItemView *>(option->widget))
            option->decorationSize = view->iconSize();
    }

private:
    int m_role;
    std::function<QIcon(const QVariant &)> m_iconOf;
};

} // namespace

void FileListBox::setIconRole(int role, std::function<QIcon(const QVariant &value)> iconOf)
{
    m_markRole = role;
    m_markOf = iconOf;
    setItemDelegate(new IconByRole(role, std::move(iconOf), this));
}

void FileListBox::showCovers(CoverSource *source)
{
    if (source == m_covers)
        return;
    QAbstractItemDelegate *previous = itemDelegate();
    if (m_covers)
        disconnect(m_covers, nullptr, viewport(), nullptr);
    m_covers = source;
    const QModelIndex current = currentIndex();
    if (source) {
        // A wrapped list of equal cells, not Qt's icon mode: its static layout takes a million
        // entries in its stride, and the arrow keys move across and down the grid.
        if (!m_listDelegate)
            m_listDelegate = previous;
        setItemDelegate(new CoverDelegate(source, m_markRole, m_markOf, this));
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        spreadCovers();
        setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        connect(source, &CoverSource::coversCame, viewport(), qOverload<>(&QWidget::update));
    } else {
        setItemDelegate(m_listDelegate);
        m_listDelegate = nullptr;
        setGridSize(QSize());
        setWrapping(false);
        setFlow(QListView::TopToBottom);
        setResizeMode(QListView::Fixed);
        setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    }
    if (previous != itemDelegate() && previous != m_listDelegate)
        previous->deleteLater();
    if (current.isValid())
        centreOn(current);
}

FileListBox::FileListBox(const QString &pattern, QWidget *parent) : QListView(parent), m_pattern(pattern)
{
    setUniformItemSizes(true); // a million entries lay out in no time
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit fileActivated(); });
}

bool FileListBox::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QListView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex entry = indexAt(help->pos());
    if (!entry.isValid())
        return QListView::viewportEvent(event);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect shown = visualRect(entry).intersected(viewport()->rect());
    option.rect = visualRect(entry);
    // A cover's name is cut to two lines at most: its whole name is always told.
    const bool cut = m_covers || itemDelegateForIndex(entry)->sizeHint(option, entry).width() > shown.width();
    QStringList tip;
    if (cut)
        tip << entry.data(Qt::DisplayRole).toString();
    if (const QString about = entry.data(Qt::ToolTipRole).toString(); !about.isEmpty())
        tip << about;
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip.join(QLatin1Char('\n')), viewport(), shown);
    return true;
}

void FileListBox::spreadCovers()
{
    // The list's own width, not its viewport's, which follows later; room is kept for the
    // scroll bar a grid of covers mostly has.
    const QSize cell = coverCellSize(fontMetrics());
    const int room = contentsRect().width() - verticalScrollBar()->sizeHint().width();
    const int columns = std::max(1, room / cell.width());
    setGridSize(QSize(std::max(cell.width(), room / columns), cell.height()));
}

void FileListBox::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    if (!m_covers)
        return;
    spreadCovers();
    // The same scroll offset is another place in a grid of other columns: the selected cover
    // stays in sight, once the grid is laid out again.
    if (currentIndex().isValid())
        QMetaObject::invokeMethod(this, [this] { scrollTo(currentIndex()); }, Qt::QueuedConnection);
}

void FileListBox::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    // An entry's mark fits in its line: every row keeps the height of its text.
    if (event->type() == QEvent::FontChange) {
        const int side = std::max(8, fontMetrics().height() - 1);
        setIconSize(QSize(side, side));
    }
}

void FileListBox::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // Qt works out the area of every changed entry, one by one: over a million, a change to all
    // of them holds the window up for a tenth of a second. Entries are all one height and none is
    // edited here, so the visible ones are simply drawn again.
    constexpr int kEntriesAtMost = 256;
    if (bottomRight.row() - topLeft.row() < kEntriesAtMost) {
        QListView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        event.setFirstRow(topLeft.row());
        event.setFirstColumn(topLeft.column());
        event.setLastRow(bottomRight.row());
        event.setLastColumn(bottomRight.column());
        QAccessible::updateAccessibility(&event);
    }
}

void FileListBox::centreOn(const QModelIndex &entry)
{
    if (isVisible()) {
        m_centreWhenShown = QPersistentModelIndex();
        scrollTo(entry, QAbstractItemView::PositionAtCenter);
    } else {
        m_centreWhenShown = entry;
    }
}

void FileListBox::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    if (m_centreWhenShown.isValid())
        scrollTo(std::exchange(m_centreWhenShown, QPersistentModelIndex()), QAbstractItemView::PositionAtCenter);
}

void FileListBox::setModel(QAbstractItemModel *model)
{
    // Qt moves a removed entry's selection on to its neighbour; a ROM the user did not pick must
    // not be the one Enter starts. Told before the view moves it, and acted on after.
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
        const QModelIndexList selected = selectionModel()->selectedIndexes();
        m_selectedGoing = !selected.isEmpty() && selected.front().row() >= first && selected.front().row() <= last;
    });
    QListView::setModel(model);
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!std::exchange(m_selectedGoing, false))
            return;
        clearSelection();
        setCurrentIndex(QModelIndex());
    });
    // The selection, not the current index: focus alone makes the first entry current without
    // selecting it, and the click that selects it must still count. A selected entry whose file
    // is gone leaves nothing selected, which counts too.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit fileSelected(); });
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex &index, const QEvent *event) const
{
    return keepingSelection(QListView::selectionCommand(index, event));
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        QListView::mouseDoubleClickEvent(event);
    else
        event->accept(); // the other buttons start nothing
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() & Qt::AltModifier) { // Alt+Enter: what the file is, not a start
        event->accept();
        if (!event->isAutoRepeat() && !fileName().isEmpty())
            emit informationRequested();
        return;
    }
    // Shift+F10 asks for the menu as the Menu key does. Where the system also makes it a menu
    // request, the open menu takes that one: it has the keyboard by then.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        contextMenuEvent(&request);
        return;
    }
    // Enter starts the selected ROM, so that the keyboard alone can start a game; a held key
    // starts it once, not once for every repeat.
    if (enter && !fileName().isEmpty()) {
        event->accept();
        if (!event->isAutoRepeat())
            emit fileActivated();
        return;
    }
    QListView::keyPressEvent(event);
}

void FileListBox::contextMenuEvent(QContextMenuEvent *event)
{
    // From the mouse, the entry under it is selected first; from the keyboard, the selected one
    // is meant, and the menu opens below it.
    QModelIndex entry = currentIndex();
    QPoint at;
    if (event->reason() == QContextMenuEvent::Mouse) {
        entry = indexAt(viewport()->mapFromGlobal(event->globalPos()));
        if (entry.isValid())
            setCurrentIndex(entry);
        at = event->globalPos();
    } else if (entry.isValid()) {
        scrollTo(entry);
        const QRect row = visualRect(entry);
        at = viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.bottom()));
    }
    event->accept();
    if (entry.isValid())
        emit menuRequested(at);
}

void FileListBox::keyboardSearch(const QString &search)
{
    // Qt's own search compares in an order of its own, not the list's, and stops at accents.
    const int count = listCount();
    if (count == 0 || search.isEmpty())
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_typedAt > QApplication::keyboardInputInterval())
        m_typed.clear();
    m_typedAt = now;
    m_typed += platform::foldedForSearch(search);
    const bool sameLetter = m_typed.count(m_typed.front()) == m_typed.size();
    const QString prefix = sameLetter ? m_typed.left(1) : m_typed;
    // A first or repeated letter looks past the current entry; a longer prefix may stay on it.
    const int current = currentIndex().row();
    const int from = current < 0 ? 0 : sameLetter ? current + 1 : current;
    for (int step = 0; step < count; ++step) {
        const QModelIndex entry = model()->index((from + step) % count, 0);
        if (platform::foldedForSearch(entry.data(Qt::EditRole).toString()).startsWith(prefix)) {
            setCurrentIndex(entry);
            scrollTo(entry);
            return;
        }
    }
}

int FileListBox::listCount() const { return model() ? model()->rowCount() : 0; }

QString FileListBox::fileName() const
{
    const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    return selected.isEmpty() ? QString() : selected.front().data(Qt::EditRole).toString();
}

bool FileListBox::selectFile(const QString &name)
{
    if (!model() || model()->rowCount() == 0)
        return false;
    const QModelIndexList found = model()->match(model()->index(0, 0), Qt::EditRole, name, 1,
                                                 Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty())
        return false;
    setCurrentIndex(found.front());
    return true;
}

} // namespace forms
