#pragma once

#include "library/library.h"

#include <QMenu>

#include <functional>

namespace app {

// The menu of a list's selected ROM: "&Run" (its default), "ROM &Information..." and "Add to
// &Favourites" or "Remove from &Favourites", as the ROM stands when it opens.
class RomMenu : public QMenu
{
    Q_OBJECT
public:
    explicit RomMenu(QWidget *parent = nullptr);
    // Shows it at globalPos for entry, the row selected in slot's list.
    void popup(int slot, const library::RomEntry &entry, const QPoint &globalPos);

signals:
    void runChosen(int slot);
    void informationChosen(int slot);
    void favouriteChosen(int slot);

private:
    QAction *m_favourite;
    int m_slot = 0;
};

// File > Recent: the ROMs last started, newest first, numbered for the keyboard; disabled while
// there are none.
class RecentMenu : public QMenu
{
    Q_OBJECT
public:
    explicit RecentMenu(QWidget *parent = nullptr);
    void show(const std::vector<library::RecentLaunch> &launches);

signals:
    // The ROM at path, whose identity was game when it was started.
    void chosen(const QString &path, const QByteArray &game);
};

} // namespace app
