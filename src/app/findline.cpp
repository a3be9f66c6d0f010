#include "app/findline.h"

#include "forms/filelistbox.h"
#include "forms/formbuilder.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace app {

FindLine::FindLine(QWidget *surface, const Lists &lists, library::Library *library, QObject *parent)
    : QObject(parent), m_surface(surface), m_lists(lists), m_library(library)
{
}

void FindLine::build()
{
    // Made when first opened: its clear button's icon would hold up the window's first showing.
    m_line = new QLineEdit(m_surface);
    m_line->setObjectName(QStringLiteral("findLine"));
    m_line->setAccessibleName(QStringLiteral("Find ROM"));
    m_line->setPlaceholderText(QStringLiteral("Find ROM"));
    m_line->setFont(forms::formFont(forms::kDefaultFont));
    m_line->setClearButtonEnabled(true);
    m_line->hide();
    m_line->installEventFilter(this);
    connect(m_line, &QLineEdit::textChanged, this, &FindLine::find);
}

void FindLine::open(int slot)
{
    if (!m_line)
        build();
    if (slot != m_slot)
        close();
    m_slot = slot;
    const forms::FileListBox *list = m_lists[size_t(slot)];
    m_selected = m_start = list->fileName();
    const int height = m_line->sizeHint().height();
    const QPoint foot = list->mapTo(m_surface, QPoint(0, list->height() - height));
    m_line->setGeometry(QRect(foot, QSize(list->width(), height)));
    m_line->show();
    m_line->raise();
    m_line->setFocus(Qt::ShortcutFocusReason);
    m_line->selectAll();
}

void FindLine::close()
{
    if (m_slot < 0)
        return;
    const int slot = std::exchange(m_slot, -1);
    forms::FileListBox *list = m_lists[size_t(slot)];
    const bool hadFocus = m_line->hasFocus();
    m_line->hide();
    m_line->clear();
    // Every row again, the ROM that was selected still selected and in view.
    const QString selected = list->fileName().isEmpty() ? m_start : list->fileName();
    m_library->folder(slot)->filter()->setQuery(QString());
    if (!selected.isEmpty() && list->selectFile(selected))
        list->scrollTo(list->currentIndex(), QAbstractItemView::PositionAtCenter);
    emit countChanged(slot);
    if (hadFocus)
        list->setFocus(Qt::OtherFocusReason);
}

void FindLine::relisted(int slot)
{
    forms::FileListBox *list = m_lists[size_t(slot)];
    if (slot == m_slot && list->fileName().isEmpty() && !m_selected.isEmpty())
        list->selectFile(m_selected);
}

void FindLine::selected(int slot)
{
    const QString name = m_lists[size_t(slot)]->fileName();
    if (slot == m_slot && !name.isEmpty())
        m_selected = name;
}

void FindLine::find(const QString &query)
{
    if (m_slot < 0)
        return;
    forms::FileListBox *list = m_lists[size_t(m_slot)];
    m_library->folder(m_slot)->filter()->setQuery(query);
    if (list->listCount() > 0)
        list->setCurrentIndex(list->model()->index(0, 0));
    else
        emit emptied(m_slot);
    emit countChanged(m_slot);
}

void FindLine::openMenu()
{
    // The selected ROM's menu, below its row, as the keyboard opens it in the list itself.
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QCoreApplication::sendEvent(m_lists[size_t(m_slot)], &request);
}

bool FindLine::handleKey(QKeyEvent *event)
{
    forms::FileListBox *list = m_lists[size_t(m_slot)];
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As in the list: Alt+Enter tells what the ROM is, Enter starts it.
        if (!event->isAutoRepeat() && !list->fileName().isEmpty()) {
            if (event->modifiers() & Qt::AltModifier)
                emit informationAsked(m_slot);
            else
                emit startAsked(m_slot);
        }
        return true;
    case Qt::Key_F10:
        if (event->modifiers() != Qt::ShiftModifier)
            return false;
        [[fallthrough]];
    case Qt::Key_Menu:
        openMenu();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int shown = list->listCount();
        if (shown == 0)
            return true;
        const int step = event->key() == Qt::Key_Down ? 1 : -1;
        list->setCurrentIndex(list->model()->index(std::clamp(list->currentIndex().row() + step, 0, shown - 1), 0));
        return true;
    }
    default:
        return false;
    }
}

bool FindLine::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_line && m_slot >= 0) {
        if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent *>(event)))
            return true;
        // The keyboard's menu request is the ROM's menu; the mouse's keeps the line's own.
        if (event->type() == QEvent::ContextMenu && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
            openMenu();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace app
