#include "forms/filelistbox.h"

#include "forms/controls.h"
#include "platform/filenames.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace forms {

// The rows of a file list: pointers to names in the buffer of the last reading, decoded only when
// a row is drawn or used.
class RomListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= int(m_rows.size()) || (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        const QString name = platform::fromUtf8Lossless(QByteArrayView(m_rows[size_t(index.row())]));
        // Shown with U+FFFD where a byte is no text; used as the file system holds it.
        return role == Qt::DisplayRole ? platform::displayName(name) : name;
    }

    void reset(const RomNames &names)
    {
        beginResetModel();
        m_buffer = names.buffer();
        m_rows = pointersInto(m_buffer, names);
        endResetModel();
    }

    // The names gone are removed and the new ones inserted where they belong; every other row
    // stays, and with it the selection and the view's place.
    void update(const RomNames &names)
    {
        const QByteArray buffer = names.buffer(); // both readings live until the rows are moved over
        std::vector<const char *> fresh = pointersInto(buffer, names);
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

    int find(const QByteArray &name) const
    {
        for (size_t row = 0; row < m_rows.size(); ++row) {
            if (std::strcmp(m_rows[row], name.constData()) == 0)
                return int(row);
        }
        return -1;
    }

private:
    static std::vector<const char *> pointersInto(const QByteArray &buffer, const RomNames &names)
    {
        std::vector<const char *> rows;
        rows.reserve(names.starts().size());
        for (const quint32 start : names.starts())
            rows.push_back(buffer.constData() + start);
        return rows;
    }

    QByteArray m_buffer;
    std::vector<const char *> m_rows;
};

FileListBox::FileListBox(const QString &pattern, QWidget *parent)
    : QListView(parent), m_pattern(pattern), m_model(new RomListModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true); // a million entries lay out in no time
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection, not the current index: focus alone makes the first entry current without
    // selecting it, and the click that selects it must still count. A selected entry whose file
    // is gone leaves nothing selected, which counts too.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit fileSelected(); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit fileActivated(); });
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
    // Enter starts the selected ROM, so that the keyboard alone can start a game; a held key
    // starts it once, not once for every repeat.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !fileName().isEmpty()) {
        event->accept();
        if (!event->isAutoRepeat())
            emit fileActivated();
        return;
    }
    QListView::keyPressEvent(event);
}

void FileListBox::showFolder(const QString &folder, RomNames names)
{
    if (folder == m_path) {
        const QString selected = fileName();
        m_model->update(names);
        // Qt moves a removed entry's selection on to its neighbour; a ROM the user did not pick
        // must not be the one Enter starts.
        if (!selected.isEmpty() && m_model->find(platform::toUtf8Lossless(selected)) < 0) {
            clearSelection();
            setCurrentIndex(QModelIndex());
        }
        return;
    }
    m_path = folder;
    m_model->reset(names);
}

int FileListBox::listCount() const { return m_model->rowCount(); }

QString FileListBox::fileName() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.front().data(Qt::EditRole).toString();
}

bool FileListBox::selectFile(const QString &name)
{
    const int row = m_model->find(platform::toUtf8Lossless(name));
    if (row < 0)
        return false;
    setCurrentIndex(m_model->index(row));
    return true;
}

} // namespace forms
