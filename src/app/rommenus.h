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
    // Shows it at globalPos for entry, the row selected in slot's list. emulators: the ids and
    // names "Run With" offers; chosen: the game's own (empty: the default).
    void popup(int slot, const library::RomEntry &entry, const QPoint &globalPos,
               const QList<std::pair<QString, QString>> &emulators = {}, const QString &chosen = {});
    QMenu *runWithMenu() const { return m_runWith; }

signals:
    void runChosen(int slot);
    // "Run With": the game started with the emulator id, which becomes its own (empty: the default).
    void runWithChosen(int slot, const QString &emulator);
    void informationChosen(int slot);
    void favouriteChosen(int slot);

private:
    QAction *m_favourite;
    QMenu *m_runWith;
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
