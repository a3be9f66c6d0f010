#include "app/rommenus.h"

#include "forms/formbuilder.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFileInfo>

namespace app {

RomMenu::RomMenu(QWidget *parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("romMenu"));
    setAccessibleName(QStringLiteral("ROM"));
    setFont(forms::formFont(forms::kDefaultFont));
    QAction *run = addAction(QStringLiteral("&Run"), this, [this] { emit runChosen(m_slot); });
    run->setObjectName(QStringLiteral("romMenuRun"));
    m_runWith = addMenu(QStringLiteral("Run &With"));
    m_runWith->setObjectName(QStringLiteral("romMenuRunWith"));
    m_runWith->menuAction()->setObjectName(QStringLiteral("romMenuRunWith"));
    m_runWith->setFont(font());
    QAction *information = addAction(QStringLiteral("ROM &Information..."), this, [this] { emit informationChosen(m_slot); });
    information->setObjectName(QStringLiteral("romMenuInformation"));
    information->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return)); // shown beside it; the list takes the key
    m_favourite = addAction(QString(), this, [this] { emit favouriteChosen(m_slot); });
    m_favourite->setObjectName(QStringLiteral("romMenuFavourite"));
    setDefaultAction(run);
}

void RomMenu::popup(int slot, const library::RomEntry &entry, const QPoint &globalPos,
                    const QList<std::pair<QString, QString>> &emulators, const QString &chosen)
{
    m_runWith->clear();
    auto offer = [this, &chosen](const QString &id, const QString &name) {
        QAction *action = m_runWith->addAction(name, this, [this, id] { emit runWithChosen(m_slot, id); });
        action->setCheckable(true);
        action->setChecked(id == chosen);
        action->setObjectName(id.isEmpty() ? QStringLiteral("romMenuDefaultEmulator") : QStringLiteral("romMenuRunWith_") + id);
    };
    offer(QString(), QStringLiteral("&Default Emulator"));
    m_runWith->addSeparator();
    for (const auto &[id, name] : emulators)
        offer(id, QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
    m_runWith->setEnabled(!emulators.isEmpty());
    m_favourite->setText(entry.favourite ? QStringLiteral("Remove from &Favourites") : QStringLiteral("Add to &Favourites"));
    m_slot = slot;
    QMenu::popup(globalPos);
}

RecentMenu::RecentMenu(QWidget *parent) : QMenu(QStringLiteral("&Recent"), parent)
{
    setObjectName(QStringLiteral("filemnurecent"));
    menuAction()->setObjectName(QStringLiteral("filemnurecent"));
    setEnabled(false);
}

void RecentMenu::show(const std::vector<library::RecentLaunch> &launches)
{
    clear();
    int number = 0;
    for (const library::RecentLaunch &launch : launches) {
        const QString path = platform::fromUtf8Lossless(launch.path);
        QString name = platform::displayName(QFileInfo(path).fileName());
        QAction *action = addAction(QStringLiteral("&%1 %2").arg(++number % 10).arg(name.replace(QLatin1Char('&'), QStringLiteral("&&"))),
                                    this, [this, path, game = launch.sha1] { emit chosen(path, game); });
        action->setToolTip(platform::displayName(QDir::toNativeSeparators(path)));
        action->setObjectName(QStringLiteral("filemnurecent%1").arg(number));
    }
    setEnabled(number > 0);
}

} // namespace app
