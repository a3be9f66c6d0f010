// Options > Covers over 10,000 ROMs with box art: the first screen, every frame of a scroll, and
// the memory the view takes.
#include "bench.h"

#include "app/coverpictures.h"
#include "preview/covercache.h"
#include "preview/titlepictures.h"

#include <QAction>
#include <QDirIterator>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyledItemDelegate>

namespace bench {

namespace {

constexpr int kGames = 10000;
constexpr int kPictures = 16; // distinct box art pictures, copied under every title

QString titleOf(int game) { return QStringLiteral("Game %1 (USA)").arg(game, 5, 10, QLatin1Char('0')); }

// 10,000 sound ROMs, a ROM database naming each, and box art under every title.
void makeCoverSet(const QString &root)
{
    if (QFileInfo::exists(root + QStringLiteral("/done")))
        return;
    QDir().mkpath(root + QStringLiteral("/roms"));
    QDir().mkpath(root + QStringLiteral("/dat"));
    const QString art = root + QStringLiteral("/thumbnails/Nintendo - Nintendo Entertainment System/Named_Boxarts/");
    QDir().mkpath(art);
    QStringList pictures;
    for (int p = 0; p < kPictures; ++p) {
        QImage picture(256, 360, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(p * 360 / kPictures, 160, 170));
        QPainter painter(&picture);
        for (int band = 0; band < 12; ++band)
            painter.fillRect(0, band * 30, 256, 12, QColor::fromHsv((p * 37 + band * 23) % 360, 200, 90));
        painter.end();
        pictures << root + QStringLiteral("/picture%1.png").arg(p);
        picture.save(pictures.last(), "PNG");
    }
    QByteArray dat = "<?xml version=\"1.0\"?>\n<datafile>\n";
    for (int game = 0; game < kGames; ++game) {
        QByteArray data(16384, '\0');
        std::memcpy(data.data(), &game, sizeof game);
        const QByteArray rom = QByteArray("NES\x1A\x01\x00", 6) + QByteArray(10, '\0') + data;
        touch(root + QStringLiteral("/roms/g%1.nes").arg(game, 5, 10, QLatin1Char('0')), rom);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        dat += "<game name=\"" + titleOf(game).toUtf8() + "\"><rom name=\"x.nes\" size=\"16384\" crc=\""
               + QByteArray::number(crc, 16).rightJustified(8, '0') + "\" sha1=\""
               + QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex() + "\"/></game>\n";
        QFile::copy(pictures[game % kPictures], art + preview::titlePictureName(titleOf(game)));
    }
    touch(root + QStringLiteral("/dat/covers.dat"), dat + "</datafile>\n");
    touch(root + QStringLiteral("/done"));
}

// Runs the window's events until ready() holds or seconds pass.
bool until(const std::function<bool()> &ready, int seconds = 120)
{
    QElapsedTimer timer;
    timer.start();
    while (!ready()) {
        if (timer.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The rows the grid shows now.
std::vector<QModelIndex> visibleRows(QListView *grid)
{
    std::vector<QModelIndex> rows;
    const QRect area = grid->viewport()->rect();
    for (QModelIndex at = grid->indexAt(QPoint(4, 4)); at.isValid(); at = at.siblingAtRow(at.row() + 1)) {
        if (!grid->visualRect(at).intersects(area))
            break;
        rows.push_back(at);
    }
    return rows;
}

// Every frame of a scroll through the whole grid, a third of its height at a time.
std::vector<double> scrollFrames(QListView *grid)
{
    std::vector<double> frames;
    QScrollBar *bar = grid->verticalScrollBar();
    for (int at = 0; at <= bar->maximum(); at += std::max(1, grid->viewport()->height() / 3)) {
        QElapsedTimer timer;
        timer.start();
        bar->setValue(at);
        QCoreApplication::processEvents(); // what came meanwhile
        grid->viewport()->repaint();
        frames.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return frames;
}

// The bare grid: row i draws cached file i, read and decoded when first drawn and kept.
class BareCovers : public QStyledItemDelegate
{
public:
    BareCovers(QStringList files, QObject *parent) : QStyledItemDelegate(parent), m_files(std::move(files)) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QImage &cover = m_covers[index.row()];
        if (cover.isNull())
            cover = QImage(m_files.value(index.row() % m_files.size()));
        painter->drawImage(option.rect.topLeft() + QPoint(8, 8), cover);
        painter->drawText(option.rect.adjusted(0, 150, 0, 0), Qt::AlignHCenter, index.data().toString());
    }

private:
    QStringList m_files;
    mutable QHash<int, QImage> m_covers;
};

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * share))];
}

} // namespace

void benchCovers(const QTemporaryDir &dir)
{
    const QString root = dir.filePath(QStringLiteral("covers"));
    makeCoverSet(root);
    const QString configFile = root + QStringLiteral("/quorvane.ini");
    touch(configFile, "[Quorvane v1.0b Config File]\r\nRoms=" + QFile::encodeName(root) + "/roms/\r\n");
    app::AppContext context;
    context.applicationFolder = root;
    context.configFiles.file = configFile;
    context.libraryFile = root + QStringLiteral("/quorvane.db");
    context.datFolders = {root + QStringLiteral("/dat")};
    context.thumbnailFolders = {root + QStringLiteral("/thumbnails")};
    context.coverCacheFolder = root + QStringLiteral("/cache/covers");
    context.folderPatience = std::chrono::minutes(1);
    context.emulatorPlaces = launch::SearchPlaces{root, {}, {}, {}, {}, root + QStringLiteral("/no-root")};

    std::vector<double> firstScreens, bareFirstScreens, frames, bareFrames;
    long listKb = 0, coversKb = 0;
    QSize gridSize;
    for (int run = 0; run < 6; ++run) { // the first fills the disk cache, and is not counted
        app::MainWindow window(context);
        window.loadStartState();
        window.resize(1280, 800);
        window.show();
        forms::FileListBox *grid = fileList(window, 0);
        gridSize = grid->size();
        const library::RomListModel *model = window.romFolder(0)->model();
        if (!until([&] {
                for (int row = model->rowCount() - 1; row >= 0; row -= 97)
                    if (!model->factsAt(row))
                        return false;
                return model->rowCount() == kGames && model->factsAt(0);
            })) {
            std::printf("covers       skipped: the ROMs were not checked in time\n\n");
            return;
        }
        QThread::msleep(300);
        QCoreApplication::processEvents();
        const long before = residentKb();
        QAction *covers = window.findChild<QAction *>(QStringLiteral("mnuoptionscovers"));
        QElapsedTimer timer;
        timer.start();
        covers->trigger();
        auto *source = window.findChild<app::CoverPictures *>();
        const bool drawn = until([&] {
            for (const QModelIndex &row : visibleRows(grid)) {
                if (source->coverOf(row).picture.isNull())
                    return false;
            }
            return true;
        });
        const double firstScreen = double(timer.nsecsElapsed()) / 1e6;
        if (run == 0) { // every cover scaled into the disk cache, a screen at a time
            for (QScrollBar *bar = grid->verticalScrollBar(); bar->value() < bar->maximum();) {
                bar->setValue(bar->value() + grid->viewport()->height());
                until([&] {
                    for (const QModelIndex &row : visibleRows(grid))
                        if (source->coverOf(row).coming)
                            return false;
                    return true;
                });
            }
            covers->trigger();
            continue;
        }
        if (drawn)
            firstScreens.push_back(firstScreen);
        const std::vector<double> scroll = scrollFrames(grid);
        frames.insert(frames.end(), scroll.begin(), scroll.end());
        listKb = std::max(listKb, before);
        coversKb = std::max(coversKb, residentKb());
        covers->trigger(); // a list again: Covers=0 for the next run
    }

    // The bare grid over the same cached files, as large, the same cells.
    QStringList files;
    for (QDirIterator it(context.coverCacheFolder, {QStringLiteral("*.jpg")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << it.next();
    QStringList titles;
    for (int game = 0; game < kGames; ++game)
        titles << titleOf(game);
    for (int run = 0; run < 5 && !files.isEmpty(); ++run) {
        QMainWindow window;
        window.resize(1280, 800);
        auto *grid = new QListView(&window);
        QStringListModel model(titles);
        grid->setModel(&model);
        grid->setUniformItemSizes(true);
        grid->setFlow(QListView::LeftToRight);
        grid->setWrapping(true);
        grid->setResizeMode(QListView::Adjust);
        grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        grid->setFixedSize(gridSize);
        grid->setGridSize(forms::coverCellSize(grid->fontMetrics()));
        grid->setItemDelegate(new BareCovers(files, grid));
        window.show();
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        grid->viewport()->repaint();
        bareFirstScreens.push_back(double(timer.nsecsElapsed()) / 1e6);
        const std::vector<double> scroll = scrollFrames(grid);
        bareFrames.insert(bareFrames.end(), scroll.begin(), scroll.end());
    }
    if (firstScreens.empty() || frames.empty() || bareFrames.empty()) {
        std::printf("covers       skipped: no cover was drawn\n\n");
        return;
    }
    std::printf("covers       10,000 ROMs, every one with box art, covers in the disk cache; %zu frames a scroll\n",
                frames.size() / 5);
    report("covers", "first screen of covers", median(firstScreens), "bare grid's first screen", median(bareFirstScreens), 0);
    std::printf("covers       first screen goal: 300 ms\n");
    report("covers", "longest scroll frame", *std::max_element(frames.begin(), frames.end()), "bare grid's longest",
           *std::max_element(bareFrames.begin(), bareFrames.end()), 0);
    report("covers", "99th percentile frame", percentile(frames, 0.99), "bare grid's 99th percentile", percentile(bareFrames, 0.99), 0);
    std::printf("covers       frame goal: none over 16 ms\n");
    std::printf("covers       memory above the list view: %.1f MB (goal 150 MB)\n\n", double(coversKb - listKb) / 1024.0);
}

} // namespace bench
