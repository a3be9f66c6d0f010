// Prints how long the launcher's hot paths take against a bare baseline measured in the same run,
// and their ratios. It asserts nothing: the figures are for people to read.
//
//   start-up      loadStartState until every list is filled, over three folders of 10,000 ROMs and 10,000 other files each, then
//                 of 100,000 and 100,000, against bare readdir() scans of the same three folders
//                 run side by side, as start-up reads them; the two take turns, run by run
//   preview       the snapshot preview of a 6000 x 4000 snapshot against a 256 x 240 one, from the
//                 selection until the picture is in the box
//   launch        the double-click handler (launchRom): the time the window spends on it, the start
//                 itself running on a thread of its own; against posix_spawn() of the same stand-in
//   config read   reading a 50 MB configuration file against a 5 MB one
//   to window     process start to the main window exposed, with 3 x 10,000 and 3 x 100,000 ROMs,
//                 against a bare Qt window of the same size with a menu bar started the same way;
//                 also to every list filled, against the same bare window
//                 (with --million also 3 x 1,000,000 ROMs, with the program's peak memory);
//                 both start-up figures with a ROM of each folder remembered, to be selected again,
//                 with titles shown (Options > Show Titles),
//                 and a new library database each run, holding the play of 10,000 games but no
//                 check, so that every ROM is checked once the lists show
//   find          a find query of one and of three words over 100,000 names, against a bare loop
//                 over the same names buffer that folds case and looks for the words: the first
//                 query after the list was read (which folds every name) and a later one
//   hashing       checking a folder of 2,000 ROMs of 256 KB (header, CRC32 and SHA-1, kept in a new
//                 library database) against a bare loop that reads the same files and makes the
//                 same two sums; a second start, from the database, against a bare stat() of each
//                 file; and the two sums' own speeds in memory
//   dat           reading a DAT of 7,400 games, in the Logiqx XML form and in clrmamepro's text form,
//                 against a bare pass of the same reader's tokenizer over it (QXmlStreamReader, and
//                 the text form's own); also read and indexed, as the checker keeps them
//   subfolders    start-up over 3 x 10,000 ROMs spread over 300 subfolders, each folder read with
//                 its subfolders, against a bare recursive readdir() of the same trees, side by side;
//                 with as many other files (as the start-up part has them), then with ROMs alone
//   covers        Options > Covers over 10,000 ROMs, all with box art, their covers in the disk cache
//                 already: the first screen of covers from the switch until each is drawn, against a
//                 bare grid that reads the same cached files itself; then every frame of a scroll
//                 through the whole grid (the longest, and the 99th percentile), against the bare
//                 grid's; and the memory the cover view took above the list view
//   history       recording a launch in a history of 10,000 games, against a bare INSERT in its
//                 own transaction on the same database; reading the play of the 10,000 games
//                 against a bare SELECT of the same rows

#include "bench.h"

using namespace bench;

int main(int argc, char *argv[])
{
    // A window is mapped only where there is a display (xvfb-run gives one); else offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1String("--window"))
        return showWindowAndExit(arguments.value(2), arguments.value(3));
    if (arguments.value(1) == QLatin1String("--watch"))
        return watchWindow(arguments.value(2), arguments.value(3).toInt());
    const QString standIn = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/nesticle/nesticle.exe");
    QTemporaryDir dir;
    std::printf("Quorvane benchmark (medians of repeated runs, warm file cache; platform %s, locale %s)\n\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(QLocale().name()));
    // --only NAME runs one part: start-up, subfolders, preview, launch, config, find, hashing, dat, history, checking, archives, covers.
    const QString only = arguments.value(arguments.indexOf(QLatin1String("--only")) + 1);
    auto wanted = [&](const char *part) { return !arguments.contains(QLatin1String("--only")) || only == QLatin1String(part); };
    if (wanted("start-up")) {
        benchStartUp(dir, 10000);
        benchStartUp(dir, 100000);
    }
    if (wanted("subfolders")) {
        benchSubfolders(dir, true);
        benchSubfolders(dir, false);
    }
    if (wanted("preview"))
        benchPreview(dir);
    if (wanted("launch") && QFile::exists(standIn))
        benchLaunch(dir, standIn);
    else if (wanted("launch"))
        std::printf("launch       skipped: no stand-in emulator at %s\n\n", qPrintable(standIn));
    if (wanted("config"))
        benchConfigRead(dir);
    if (wanted("find"))
        benchFind();
    if (wanted("hashing"))
        benchHashing(dir);
    if (wanted("dat"))
        benchDat(dir);
    if (wanted("history"))
        benchHistory(dir);
    if (wanted("checking"))
        benchWhileChecking(dir, 100000, 30, "3 x 100,000");
    if (wanted("covers"))
        benchCovers(dir);
    if (wanted("archives") && QFile::exists(standIn))
        benchArchives(dir, standIn);
    if (arguments.contains(QLatin1String("--million")))
        benchMillion(dir);
    return 0;
}
