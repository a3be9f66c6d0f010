#include "app/mainwindow.h"

#include "config/romfoldersdialog.h"
#include "config/romslots.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "help/aboutbox.h"
#include "help/readme.h"
#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "preview/snapshot.h"
#include "preview/snapshotloader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>

#include <array>
#include <future>

namespace app {

QString RomCountCaption(int count) { return QStringLiteral("ROMs : ") + QString::number(count); }

MainWindow::MainWindow(AppContext context, QWidget *parent) : QMainWindow(parent), m_context(std::move(context))
{
    setObjectName(QStringLiteral("Form1"));
    setCentralWidget(forms::buildForm(this, forms::mainWindowDef()));
    layout()->setSizeConstraint(QLayout::SetFixedSize); // not resizable: menu bar plus client area
    buildMenus();

    m_check1 = findChild<forms::CheckBox *>(QStringLiteral("Check1"));
    m_list1 = findChild<forms::OptionList *>(QStringLiteral("List1"));
    m_list2 = findChild<forms::OptionList *>(QStringLiteral("List2"));
    m_picture2 = findChild<forms::PictureBox *>(QStringLiteral("Picture2"));
    m_tabs = findChild<forms::TabControl *>(QStringLiteral("SSTab1"));
    findChild<forms::PictureBox *>(QStringLiteral("Picture1"))->setPicture(forms::bannerImage());

    m_snapshotLoader = new preview::SnapshotLoader(this);
    connect(m_snapshotLoader, &preview::SnapshotLoader::loaded, m_picture2, &forms::PictureBox::setPicture);

    connect(m_check1, &QCheckBox::stateChanged, this, &MainWindow::Check1_Click);
    connect(fileList(1), &forms::FileListBox::Click, this, &MainWindow::File1_Click);
    connect(fileList(2), &forms::FileListBox::Click, this, &MainWindow::File2_Click);
    connect(fileList(3), &forms::FileListBox::Click, this, &MainWindow::File3_Click);
    connect(fileList(1), &forms::FileListBox::DblClick, this, &MainWindow::File1_DblClick);
    connect(fileList(2), &forms::FileListBox::DblClick, this, &MainWindow::File2_DblClick);
    connect(fileList(3), &forms::FileListBox::DblClick, this, &MainWindow::File3_DblClick);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    struct Item {
        const char *name;
        const char *caption;
        void (MainWindow::*handler)();
    };
    struct Menu {
        const char *name;
        const char *caption;
        std::vector<Item> items;
    };
    const std::vector<Menu> menus{
        {"filemnu", "&File", {{"filemnuexit", "&Exit", &MainWindow::filemnuexit_Click}}},
        {"mnuoptions", "&Options", {{"mnuoptionsdir", "&Directories", &MainWindow::mnuoptionsdir_Click}}},
        {"mnuhelp", "&Help",
         {{"mnuhelpreadme", "&Readme", &MainWindow::mnuhelpreadme_Click},
          {"mnuhelpabout", "&About", &MainWindow::mnuhelpabout_Click}}},
    };
    for (const Menu &menu : menus) {
        QMenu *popup = menuBar()->addMenu(QString::fromLatin1(menu.caption));
        popup->setObjectName(QString::fromLatin1(menu.name));
        popup->menuAction()->setObjectName(QString::fromLatin1(menu.name));
        for (const Item &item : menu.items) {
            QAction *action = popup->addAction(QString::fromLatin1(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            connect(action, &QAction::triggered, this, item.handler);
        }
    }
}

QAction *MainWindow::action(const char *name) const
{
    return findChild<QAction *>(QLatin1String(name));
}

forms::FileListBox *MainWindow::fileList(int slot) const
{
    return findChild<forms::FileListBox *>(QLatin1String(config::kRomSlots.at(size_t(slot - 1)).fileList));
}

QLabel *MainWindow::countLabel(int slot) const
{
    return findChild<QLabel *>(QLatin1String(config::kRomSlots.at(size_t(slot - 1)).countLabel));
}

void MainWindow::Form_Load()
{
    if (!m_romFoldersDialog) {
        m_romFoldersDialog = new config::RomFoldersDialog(m_context.configFiles, m_context.notify,
                                                [this] { repointFileLists(); }, this);
    }
    m_romFoldersDialog->reload();                      // steps 1 and 2: the file into the store
    pointFileLists();                             // step 3
    m_check1->setValue(1);                        // step 4, caption follows through Check1_Click
    m_list1->setCurrentRow(4);                    // step 5
    setCountLabels();                             // step 6
    m_list2->setCurrentRow(1);                    // step 7
    QDir::setCurrent(m_context.applicationFolder); // step 8
}

void MainWindow::setCountLabels()
{
    for (const config::RomSlot &slot : config::kRomSlots)
        countLabel(slot.number)->setText(RomCountCaption(fileList(slot.number)->listCount()));
}

void MainWindow::pointFileLists()
{
    // Reading a folder is waiting on the file system: read the three at once, then fill the lists
    // in slot order on this thread.
    std::array<std::future<QStringList>, config::kSlotCount> scans;
    for (const config::RomSlot &slot : config::kRomSlots) {
        scans[size_t(slot.number - 1)] = std::async(std::launch::async, forms::matchingFiles,
            QDir::fromNativeSeparators(m_romFoldersDialog->folder(slot.number)), fileList(slot.number)->pattern());
    }
    for (const config::RomSlot &slot : config::kRomSlots)
        fileList(slot.number)->setPath(m_romFoldersDialog->folder(slot.number), scans[size_t(slot.number - 1)].get());
}

void MainWindow::repointFileLists()
{
    pointFileLists();
    setCountLabels();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

void MainWindow::Form_Unload()
{
    // Ends at once; the hidden Directories form goes with its parent and nothing is written.
    QCoreApplication::quit();
}

void MainWindow::filemnuexit_Click() { close(); }

void MainWindow::Check1_Click()
{
    switch (m_check1->value()) {
    case 0: m_check1->setText(QStringLiteral("No Sound")); break;
    case 1: m_check1->setText(QStringLiteral("Sound")); break;
    default: break; // grayed: the caption stays as it was
    }
}

void MainWindow::File1_Click() { previewSnapshot(1); }
void MainWindow::File2_Click() { previewSnapshot(2); }
void MainWindow::File3_Click() { previewSnapshot(3); }
void MainWindow::File1_DblClick() { launchRom(1); }
void MainWindow::File2_DblClick() { launchRom(2); }
void MainWindow::File3_DblClick() { launchRom(3); }

void MainWindow::previewSnapshot(int slot)
{
    // Blank at once, so that the previous selection's snapshot never stays; the picture follows
    // from another thread, the window never waits for a decode, and a failed load is silent.
    m_picture2->setPicture(QImage());
    const QString path = preview::SnapshotPath(m_context.applicationFolder, fileList(slot)->fileName());
    m_snapshotLoader->request(path, m_picture2->visibleSize());
}

void MainWindow::launchRom(int slot)
{
    // The folder the list shows, not the one the file holds now: another program may have saved
    // other folders since, and the user starts only what they see.
    const forms::FileListBox *list = fileList(slot);
    const QString commandLine =
        launch::LaunchCommand(list->path(), list->fileName(), m_list1->selectedIndex(),
                              m_check1->value(), m_list2->selectedIndex());
    const launch::LaunchPlan plan = launch::planLaunch(commandLine, m_context.applicationFolder);
    platform::StartResult result;
    if (plan.error.isEmpty())
        result = m_context.start({plan.program, plan.arguments, plan.commandLine, QDir::currentPath()}, {});
    else
        result.error = plan.error;
    if (!result.started) {
        m_context.notify(this, QStringLiteral("Quorvane"),
                         QStringLiteral("The emulator could not be started.\n\n%1\n%2")
                             .arg(plan.tried.isEmpty() ? plan.program : plan.tried, result.error));
    }
}

void MainWindow::mnuoptionsdir_Click()
{
    m_romFoldersDialog->centreOnScreen();
    m_romFoldersDialog->exec();
    m_romFoldersDialog->reload(); // unsaved edits are gone; after a Save the saved values come back
}

void MainWindow::mnuhelpreadme_Click()
{
    help::openReadme(this, m_context.start, m_context.notify);
}

void MainWindow::mnuhelpabout_Click() { help::showAbout(); }

} // namespace app
