// The main window's menus, and how it shows the ROMs: titles, covers, their order, and the
// window's own size.
#include "app/coverpictures.h"
#include "app/mainwindow.h"
#include "app/rommenus.h"
#include "app/selectionrestorer.h"
#include "config/romslots.h"
#include "forms/controls.h"
#include "forms/coverdelegate.h"
#include "forms/filelistbox.h"
#include "preview/covercache.h"

#include <QActionGroup>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

namespace app {

namespace {

// Options > Sort By, by library::RomOrder.
struct OrderItem {
    const char *name;
    const char *caption;
};
constexpr std::array<OrderItem, 4> kOrderItems{{{"mnusortname", "&Name"},
                                                {"mnusortplays", "&Most Played"},
                                                {"mnusortlast", "&Last Played"},
                                                {"mnusortadded", "&Recently Added"}}};

} // namespace

void MainWindow::buildMenus()
{
    struct Item {
        const char *name;
        const char *caption;
        void (MainWindow::*handler)();
        QAction *MainWindow::*checkbox; // a checkbox item: the window's look, not a command
    };
    struct Menu {
        const char *name;
        const char *caption;
        std::vector<Item> items;
    };
    const std::vector<Menu> menus{
        {"filemnu", "&File", {{"filemnufind", "&Find...", &MainWindow::openFind, nullptr}, {"filemnuexit", "&Exit", &MainWindow::exit, nullptr}}},
        {"mnuoptions", "&Options",
         {{"mnuoptionsdir", "&Directories", &MainWindow::editRomFolders, nullptr},
          {"mnuoptionsemulators", "&Emulators...", &MainWindow::editEmulators, nullptr},
          {"mnuoptionstitles", "Show &Titles", nullptr, &MainWindow::m_showTitles},
          {"mnuoptionscovers", "&Covers", nullptr, &MainWindow::m_showCovers}}},
        {"mnuhelp", "&Help",
         {{"mnuhelpreadme", "&Readme", &MainWindow::showReadme, nullptr}, {"mnuhelpabout", "&About", &MainWindow::showAbout, nullptr}}},
    };
    menuBar()->setFont(forms::formFont(forms::kDefaultFont)); // the platform's menu font would win
    for (const Menu &menu : menus) {
        QMenu *popup = menuBar()->addMenu(QString::fromLatin1(menu.caption));
        popup->setFont(menuBar()->font());
        popup->setObjectName(QString::fromLatin1(menu.name));
        popup->menuAction()->setObjectName(QString::fromLatin1(menu.name));
        for (const Item &item : menu.items) {
            if (item.handler == &MainWindow::exit) { // the ROMs last started, newest first
                m_recentMenu = new RecentMenu(popup);
                m_recentMenu->setFont(menuBar()->font());
                popup->addMenu(m_recentMenu);
                connect(m_recentMenu, &RecentMenu::chosen, this, &MainWindow::startRecent);
            }
            QAction *action = popup->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            if (item.checkbox) {
                action->setCheckable(true);
                this->*item.checkbox = action;
                continue;
            }
            connect(action, &QAction::triggered, this, item.handler);
            if (item.handler == &MainWindow::openFind)
                action->setShortcut(QKeySequence::Find);
        }
        if (popup->objectName() == QLatin1String("mnuoptions"))
            buildSortMenu(popup);
    }
}

void MainWindow::buildSortMenu(QMenu *options)
{
    QMenu *sort = options->addMenu(QStringLiteral("&Sort By"));
    sort->setObjectName(QStringLiteral("mnuoptionssort"));
    sort->menuAction()->setObjectName(QStringLiteral("mnuoptionssort"));
    sort->setFont(menuBar()->font());
    auto *group = new QActionGroup(sort);
    for (size_t i = 0; i < kOrderItems.size(); ++i) {
        QAction *action = sort->addAction(QString::fromLatin1(kOrderItems[i].caption));
        action->setObjectName(QString::fromLatin1(kOrderItems[i].name));
        action->setCheckable(true);
        action->setChecked(i == 0);
        group->addAction(action);
        m_orders[i] = action;
        connect(action, &QAction::triggered, this, [this, i] { setOrder(library::RomOrder(i)); });
    }
}

void MainWindow::setOrder(library::RomOrder order)
{
    m_library->setOrder(order);
    m_selection->orderChosen(order);
}

void MainWindow::showCovers(bool shown)
{
    if (shown && !m_covers) { // made when first shown: start-up does not wait for it
        m_covers = new preview::CoverCache(m_context.coverCacheFolder, forms::kCoverSize, this);
        m_covers->setPictureFolders(thumbnailFolders());
        connect(m_emulators, &launch::EmulatorChoice::changed, m_covers, [this] { m_covers->setPictureFolders(thumbnailFolders()); });
        for (const config::RomSlot &slot : config::kRomSlots)
            m_coverSources[size_t(slot.index)] = new CoverPictures(m_library->folder(slot.index), m_covers, this);
    }
    for (const config::RomSlot &slot : config::kRomSlots)
        m_form.romLists[size_t(slot.index)]->showCovers(shown ? m_coverSources[size_t(slot.index)] : nullptr);
    m_selection->coversShown(shown);
}

void MainWindow::showAsLeft()
{
    adjustSize(); // the first size: the form's
    resizeAsLeft();
    forms::centreOnScreen(this);
    if (m_leftMaximised)
        showMaximized();
    else
        show();
}

void MainWindow::restorePlacement(const QSize &size, bool maximised)
{
    m_leftSize = size;
    m_leftMaximised = maximised;
    if (!isVisible())
        return; // shown so by showAsLeft
    if (!isMaximized())
        resizeAsLeft();
    if (maximised)
        showMaximized();
}

void MainWindow::resizeAsLeft()
{
    if (!m_leftSize.isValid())
        return;
    const QSize room = screen() ? screen()->availableGeometry().size() : m_leftSize;
    resize(m_leftSize.boundedTo(room).expandedTo(minimumSizeHint()));
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        m_placing->start();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible())
        m_placing->start();
}

QStringList MainWindow::thumbnailFolders() const
{
    // RetroArch's own beside its program, once the emulators have been looked for.
    QStringList folders = m_context.thumbnailFolders;
    for (const launch::EmulatorDefinition &definition : m_emulators->definitions()) {
        const launch::FoundEmulator found = m_emulators->found(definition.id);
        if (found.isFound() && QFileInfo(found.program).baseName().compare(QLatin1String("retroarch"), Qt::CaseInsensitive) == 0)
            folders << QFileInfo(found.program).dir().filePath(QStringLiteral("thumbnails"));
    }
    folders.removeDuplicates();
    return folders;
}

} // namespace app
