// Collections as people keep them: folders by letter, region or set read with their subfolders
// (links, loops and depth bounded, watched as they change), titles shown in place of names, and
// the whole name of a row cut off at the list's edge.

#include "romtests.h"

#include "config/romfolders.h"
#include "forms/filelistbox.h"
#include "library/folders/folderwatcher.h"
#include "library/folders/rememberedselection.h"
#include "library/folders/romfilter.h"
#include "library/folders/romfolder.h"
#include "library/folders/romlistmodel.h"
#include "library/folders/romnames.h"
#include "platform/dirscan.h"

#include <QDir>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QToolTip>

using namespace testutil;
using namespace library;

namespace {

QStringList shown(const QAbstractItemModel &model, int role = Qt::EditRole)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.index(row, 0).data(role).toString());
    return names;
}

QStringList namesOf(const RomNames &names)
{
    QStringList all;
    for (qsizetype row = 0; row < names.count(); ++row)
        all << names.nameAt(row);
    return all;
}

// Facts naming a game's title, for the named files of model's reading.
CheckedBatch titled(const QHash<QByteArray, QString> &titles)
{
    CheckedBatch batch;
    for (auto it = titles.cbegin(); it != titles.cend(); ++it) {
        RomFacts facts;
        facts.title = it.value();
        facts.status = u"good"_s;
        facts.identity.data.sha1 = QByteArray(20, char(it.value().size()));
        batch.add(it.key(), facts);
    }
    return batch;
}

} // namespace

class TestCollections : public QObject
{
    Q_OBJECT

private slots:
    // The folders below, each row named by its path below the folder and sorted as a whole; the
    // same ROM in two subfolders is two rows; hidden folders stay out.
    void subfoldersAreListedByTheirPaths()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms/"_s);
        for (const char *name : {"Top.nes", "USA/Mega Man 2 (USA).nes", "USA/Mega Man 10 (USA).nes", "Hacks/Mega Man 2 (USA).nes",
                                 "A/B/C/Deep.NES", ".hidden/Secret.nes", "USA/notes.txt"})
            writeFile(roms + QLatin1String(name), "x");
        bool ok = false;
        const RomNames flat = readRomNames(roms, u"*.nes"_s, QLocale(u"en_US"_s), &ok);
        QVERIFY(ok);
        QCOMPARE(namesOf(flat), QStringList{u"Top.nes"_s}); // off by default: the folder alone
        const RomNames all = readRomNames(roms, u"*.nes"_s, QLocale(u"en_US"_s), &ok, true);
        QVERIFY(ok);
        QCOMPARE(namesOf(all), (QStringList{"A/B/C/Deep.NES", "Hacks/Mega Man 2 (USA).nes", "Top.nes", "USA/Mega Man 2 (USA).nes",
                                            "USA/Mega Man 10 (USA).nes"}));
        QStringList read;
        for (const QByteArray &below : all.subfolders())
            read << QString::fromUtf8(below);
        read.sort();
        QCOMPARE(read, (QStringList{"A", "A/B", "A/B/C", "Hacks", "USA"}));
    }

    // 33 levels: the 32 below the folder are read, the one below them is not.
    void subfoldersAreReadThirtyTwoLevelsDeep()
    {
        QTemporaryDir dir;
        QString path = dir.filePath(u"roms"_s);
        for (int level = 1; level <= kSubfolderLevels + 1; ++level) {
            path += u"/%1"_s.arg(level);
            writeFile(path + u"/level %1.nes"_s.arg(level), "x");
        }
        bool ok = false;
        const RomNames names = readRomNames(dir.filePath(u"roms"_s), u"*.nes"_s, QLocale::c(), &ok, true);
        QVERIFY(ok);
        QCOMPARE(names.count(), kSubfolderLevels);
        QVERIFY(namesOf(names).join(u'|').contains(u"/32/level 32.nes"_s));
        QVERIFY(!namesOf(names).join(u'|').contains(u"level 33"_s));
    }

#ifdef Q_OS_UNIX
    // Links to folders are followed, each folder once: a loop ends, and a folder linked twice is
    // listed by the first path that reached it.
    void aLoopOfLinksIsFollowedOnce()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms"_s);
        writeFile(roms + u"/A/a.nes"_s, "x");
        writeFile(dir.filePath(u"elsewhere/far.nes"_s), "x");
        QVERIFY(QFile::link(roms, roms + u"/A/back up"_s));            // a loop
        QVERIFY(QFile::link(roms + u"/A"_s, roms + u"/B"_s));          // a second way to A
        QVERIFY(QFile::link(dir.filePath(u"elsewhere"_s), roms + u"/Far"_s)); // outside, followed
        QVERIFY(QFile::link(roms + u"/A/a.nes"_s, roms + u"/linked.nes"_s));  // a link to a ROM is a ROM
        bool ok = false;
        const RomNames names = readRomNames(roms, u"*.nes"_s, QLocale::c(), &ok, true);
        QVERIFY(ok);
        const QStringList all = namesOf(names);
        QCOMPARE(all.size(), 3);
        QVERIFY2(all.contains(u"Far/far.nes"_s) && all.contains(u"linked.nes"_s), qPrintable(all.join(u'|')));
        QVERIFY2(all.contains(u"A/a.nes"_s) || all.contains(u"B/a.nes"_s), qPrintable(all.join(u'|')));
    }
#endif

    // The watch follows the subfolders: a ROM added deep down, a subfolder made later and one
    // removed all show; switched off, the folder alone is listed again.
    void subfoldersAreWatchedAsTheyComeAndGo()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms/"_s);
        writeFile(roms + u"top.nes"_s, "x");
        writeFile(roms + u"USA/usa.nes"_s, "x");
        FolderWatcher watcher;
        RomFolder folder(u"*.nes"_s, dir.path(), readFolderNames, &watcher);
        folder.setFolder(roms, true);
        QTRY_COMPARE(shown(*folder.model()), (QStringList{"top.nes", "USA/usa.nes"}));
        QTest::qWait(300); // the watches are set off this thread
        writeFile(roms + u"USA/usa 2.nes"_s, "x");
        QTRY_COMPARE_WITH_TIMEOUT(shown(*folder.model()), (QStringList{"top.nes", "USA/usa 2.nes", "USA/usa.nes"}), 10000);
        QVERIFY(QDir(roms).mkpath(u"Later/Deeper"_s));
        QTest::qWait(300); // read again, and the new folders watched
        writeFile(roms + u"Later/Deeper/late.nes"_s, "x");
        QTRY_COMPARE_WITH_TIMEOUT(shown(*folder.model()), (QStringList{"Later/Deeper/late.nes", "top.nes", "USA/usa 2.nes", "USA/usa.nes"}),
                                  10000);
        QVERIFY(QDir(roms + u"USA"_s).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(shown(*folder.model()), (QStringList{"Later/Deeper/late.nes", "top.nes"}), 10000);
        folder.setFolder(roms, false);
        QTRY_COMPARE_WITH_TIMEOUT(shown(*folder.model()), QStringList{u"top.nes"_s}, 10000);
    }

    // The checker finds a subfolder's file by its path below the folder.
    void aSubfoldersRomIsChecked()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms/"_s);
        writeFile(roms + u"USA/good.nes"_s, header(1, 1) + QByteArray(24576, 'g'));
        writeFile(roms + u"Hacks/good.nes"_s, "not a ROM");
        RomChecker checker({dir.filePath(u"quorvane.db"_s), {}});
        const FactsByName facts = checkAll(checker, roms, {u"Hacks/good.nes"_s, u"USA/good.nes"_s});
        QCOMPARE(facts.size(), 2);
        QVERIFY(facts["USA/good.nes"].warning.isEmpty());
        QVERIFY(!facts["USA/good.nes"].game.isEmpty());
        QCOMPARE(facts["Hacks/good.nes"].warning, u"not an iNES file"_s);
    }

    // The configuration file keeps each folder's choice beside it, and a file that never had it
    // on is written as before.
    void theChoiceIsKeptBesideEachFolder()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"quorvane.ini"_s);
        QVERIFY(config::writeRomFolders(file, {u"/a/"_s, u"/b/"_s, u""_s}, nullptr, {false, false, false}));
        QVERIFY(!readAll(file).contains("Subfolders"));
        QVERIFY(config::writeRomFolders(file, {u"/a/"_s, u"/b/"_s, u""_s}, nullptr, {false, true, false}));
        QStringList folders;
        QList<bool> subfolders;
        QVERIFY(config::readRomFolders(file, &folders, nullptr, &subfolders));
        QCOMPARE(subfolders, (QList<bool>{false, true, false}));
        QVERIFY(config::writeRomFolders(file, folders, nullptr, {false, false, false}));
        QVERIFY(config::readRomFolders(file, &folders, nullptr, &subfolders));
        QCOMPARE(subfolders, (QList<bool>{false, false, false}));
        QVERIFY(readAll(file).contains("Roms2Subfolders=0")); // turned off, kept as off
        QCOMPARE(folders, (QStringList{"/a/", "/b/", ""}));
    }

    // With titles shown a row shows its title where one is known, ordered by what is shown, and
    // find matches the title and the name; the selection stays with its ROM through each move.
    void titlesAreShownSortedAndFound()
    {
        RomNames names;
        for (const char *name : {"a-mm2.nes", "b-mm10.nes", "c-unknown.nes", "d-smb.nes"})
            names.append(name);
        names.sort(QLocale::c());
        RomListModel model;
        model.reset(names);
        RomFilter filter(&model);
        QPersistentModelIndex selected = filter.index(1); // b-mm10.nes
        model.addFacts(titled({{"a-mm2.nes", u"Mega Man 2 (USA)"_s}, {"b-mm10.nes", u"Mega Man 10 (USA)"_s},
                                      {"d-smb.nes", u"Super Mario Bros. (World)"_s}}));
        QCOMPARE(shown(filter, Qt::DisplayRole), (QStringList{"a-mm2.nes", "b-mm10.nes", "c-unknown.nes", "d-smb.nes"}));
        model.setShowTitles(true); // ordered off the window's thread, a moment later
        QTRY_COMPARE(shown(filter, Qt::DisplayRole),
                     (QStringList{"c-unknown.nes", "Mega Man 2 (USA)", "Mega Man 10 (USA)", "Super Mario Bros. (World)"}));
        QCOMPARE(selected.row(), 2);
        QCOMPARE(selected.data(Qt::EditRole).toString(), u"b-mm10.nes"_s); // the file keeps its name
        model.setShowTitles(false);
        QTRY_COMPARE(shown(filter), (QStringList{"a-mm2.nes", "b-mm10.nes", "c-unknown.nes", "d-smb.nes"}));
        QCOMPARE(selected.row(), 1);
        model.setShowTitles(true);
        QTRY_COMPARE(shown(filter).first(), u"c-unknown.nes"_s);
        filter.setQuery(u"mario"_s);
        QCOMPARE(shown(filter), QStringList{u"d-smb.nes"_s});
        filter.setQuery(u"mm2"_s); // the file name still counts
        QCOMPARE(shown(filter), QStringList{u"a-mm2.nes"_s});
        filter.setQuery(u"nes"_s); // the extension does not
        QCOMPARE(shown(filter), QStringList());
        filter.setQuery(QString());
        model.setShowTitles(false);
        filter.setQuery(u"mario"_s); // titles hidden: names alone are found
        QCOMPARE(shown(filter), QStringList());

        // An order made of rows that changed meanwhile is made again of the new ones.
        filter.setQuery(QString());
        model.setShowTitles(true);
        RomNames more = names;
        more.append("0-first.nes");
        more.sort(QLocale::c());
        model.update(more);
        QTRY_COMPARE(shown(model, Qt::DisplayRole),
                     (QStringList{"0-first.nes", "c-unknown.nes", "Mega Man 2 (USA)", "Mega Man 10 (USA)", "Super Mario Bros. (World)"}));
    }

    // Titles that come with a check reorder the list a moment later, filtered or not.
    void titlesThatComeLaterReorderTheList()
    {
        RomNames names;
        for (const char *name : {"1.nes", "2.nes", "3.nes"})
            names.append(name);
        names.sort(QLocale::c());
        RomListModel model;
        model.reset(names);
        RomFilter filter(&model);
        model.setShowTitles(true);
        filter.setQuery(u"zebra"_s);
        QCOMPARE(filter.rowCount(), 0);
        model.addFacts(titled({{"1.nes", u"Zebra"_s}, {"3.nes", u"Aardvark"_s}}));
        QTRY_COMPARE(shown(model, Qt::DisplayRole), (QStringList{"2.nes", "Aardvark", "Zebra"}));
        QCOMPARE(shown(filter), QStringList{u"1.nes"_s});
    }

    // Whether titles are shown is the program's state, kept with the selection, not a setting.
    void showingTitlesIsRemembered()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"selection.ini"_s);
        RememberedSelection selection;
        selection.showTitles = true;
        QVERIFY(writeRememberedSelection(file, selection, nullptr));
        QVERIFY(readRememberedSelection(file).showTitles);
        selection.showTitles = false;
        QVERIFY(writeRememberedSelection(file, selection, nullptr));
        QVERIFY(!readRememberedSelection(file).showTitles);
    }

    // A row cut off at the list's edge shows its whole name in its tooltip; a row that fits
    // shows only what the model says of it.
    void aCutNameShowsWhole()
    {
        RomNames names;
        const QString longName = u"apu reset - 4017 timing (Europe) (Proto) (Rev 3) (Hack by Someone).nes"_s;
        names.append(longName.toUtf8());
        names.append("short.nes");
        RomListModel model;
        model.reset(names);
        forms::FileListBox list(u"*.nes"_s);
        list.setModel(&model);
        list.resize(150, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        const auto tipAt = [&](int row) {
            QToolTip::hideText();
            const QPoint at = list.visualRect(model.index(row)).center();
            QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(list.viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        const int longRow = model.rowOf(longName.toUtf8()), shortRow = model.rowOf("short.nes");
        QCOMPARE(tipAt(shortRow), QString());
        QTRY_COMPARE(tipAt(longRow), longName);
    }
};

QTEST_MAIN(TestCollections)
#include "tst_collections.moc"
