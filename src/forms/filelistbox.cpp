#include "forms/filelistbox.h"

#include "platform/dirscan.h"
#include "platform/drives.h"

#include <QDir>
#include <QStringListModel>

#include <algorithm>

namespace forms {

QStringList matchingFiles(const QString &folder, const QString &pattern)
{
    const QString suffix = pattern.startsWith(QLatin1Char('*')) ? pattern.mid(1) : pattern;
    QStringList names = platform::filesWithSuffix(folder, suffix);
    // Case-folded keys once per name, instead of folding inside every comparison.
    std::vector<std::pair<QString, qsizetype>> keys;
    keys.reserve(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keys.emplace_back(names.at(i).toCaseFolded(), i);
    std::sort(keys.begin(), keys.end(), [&names](const auto &a, const auto &b) {
        const int byKey = a.first.compare(b.first);
        return byKey != 0 ? byKey < 0 : names.at(a.second) < names.at(b.second);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto &key : keys)
        sorted.append(names.at(key.second));
    return sorted;
}

FileListBox::FileListBox(const QString &pattern, QWidget *parent)
    : QListView(parent), m_pattern(pattern), m_model(new QStringListModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true); // thousands of entries lay out in no time
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection, not the current index: focus alone makes the first entry current without
    // selecting it, and the click that selects it must still count.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (selectionModel()->hasSelection())
            emit Click();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit DblClick(); });
}

void FileListBox::setPath(const QString &folder)
{
    m_path = folder;
    m_model->setStringList(matchingFiles(QDir::fromNativeSeparators(folder), m_pattern));
}

int FileListBox::listCount() const { return m_model->rowCount(); }

QString FileListBox::fileName() const
{
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return QString();
    return current.data().toString();
}

bool FileListBox::selectFile(const QString &name)
{
    const qsizetype row = m_model->stringList().indexOf(name);
    if (row < 0)
        return false;
    setCurrentIndex(m_model->index(int(row)));
    return true;
}

QStringList FileListBox::entries() const { return m_model->stringList(); }

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent)
{
    addItems(platform::drives());
    setDrive(platform::driveOf(QDir::currentPath()));
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });
}

void DriveListBox::setDrive(const QString &drive)
{
    const int index = findText(drive);
    if (index >= 0)
        setCurrentIndex(index);
}

} // namespace forms
