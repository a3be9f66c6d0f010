#include "forms/filelistbox.h"

#include "forms/controls.h"
#include "platform/dirscan.h"
#include "platform/filenames.h"

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStringListModel>

#include <algorithm>
#include <string>
#include <vector>

namespace forms {

namespace {

// A sort key that orders names without regard to case: the case-folded name as UTF-8, whose byte
// order is the order of the characters. Plain ASCII names, the common case, skip the folding.
std::string sortKey(const QString &name)
{
    std::string key;
    key.reserve(size_t(name.size()));
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return name.toCaseFolded().toStdString();
        key.push_back(char(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u));
    }
    return key;
}

// Names as the file system holds them; shown with U+FFFD where a byte is no valid text.
class FileNameModel : public QStringListModel
{
public:
    using QStringListModel::QStringListModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        const QVariant value = QStringListModel::data(index, role == Qt::DisplayRole ? Qt::EditRole : role);
        return role == Qt::DisplayRole ? QVariant(platform::displayName(value.toString())) : value;
    }
};

} // namespace

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    const QString suffix = pattern.startsWith(QLatin1Char('*')) ? pattern.mid(1) : pattern;
    const QStringList names = platform::filesWithSuffix(folder, suffix);
    std::vector<std::string> keys;
    keys.reserve(size_t(names.size()));
    for (const QString &name : names)
        keys.push_back(sortKey(name));
    std::vector<int> order(size_t(names.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int byKey = keys[size_t(a)].compare(keys[size_t(b)]);
        return byKey != 0 ? byKey < 0 : names.at(a) < names.at(b); // names differing in case only
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const int i : order)
        sorted.append(names.at(i));
    return sorted;
}

FileListBox::FileListBox(const QString &pattern, QWidget *parent)
    : QListView(parent), m_pattern(pattern), m_model(new FileNameModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true); // thousands of entries lay out in no time
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection, not the current index: focus alone makes the first entry current without
    // selecting it, and the click that selects it must still count.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (selectionModel()->hasSelection())
            emit fileSelected();
    });
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

void FileListBox::setPath(const QString &folder, const QStringList &entries)
{
    m_path = folder;
    m_model->setStringList(entries);
}

int FileListBox::listCount() const { return m_model->rowCount(); }

QString FileListBox::fileName() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.front().data(Qt::EditRole).toString();
}

bool FileListBox::selectFile(const QString &name)
{
    const qsizetype row = m_model->stringList().indexOf(name);
    if (row < 0)
        return false;
    setCurrentIndex(m_model->index(int(row)));
    return true;
}

} // namespace forms
