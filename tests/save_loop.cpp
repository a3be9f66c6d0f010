// Saves the three folders: once, a number of times, or over and over until it is killed.
//   save_loop CONFIG_FILE              alternates two sets until killed; prints "saving" after the first save
//   save_loop CONFIG_FILE once         saves the first set once
//   save_loop CONFIG_FILE repeat N S   saves set S (0 or 1) N times
//   save_loop portable APP_DIR USER_DIR  saves the first set once to the file the program would
//                                        choose with these folders
// Exit status 1 and the reason on stderr when a save fails.

#include "config/romfolders.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QString file = QString::fromLocal8Bit(argv[1]);
    QByteArray mode = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    if (qstrcmp(argv[1], "portable") == 0 && argc > 3) {
        file = config::configFiles(config::ConfigFolders{{}, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), {}}).file;
        mode = "once";
    }
    const QStringList sets[2] = {
        {u"/a/"_s, u"/aa/"_s, u"/aaa/"_s},
        {u"/"_s + QString(200, u'b') + u"/"_s, u"/b b/"_s,
         QString(300, u'c')},
    };
    const unsigned long rounds = mode == "once" ? 1 : mode == "repeat" && argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 0;
    const int fixedSet = mode == "repeat" && argc > 4 ? std::atoi(argv[4]) % 2 : -1;
    for (unsigned long round = 0; rounds == 0 || round < rounds; ++round) {
        QString error;
        if (!config::writeRomFolders(file, sets[fixedSet >= 0 ? fixedSet : round % 2], &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
            return 1;
        }
        if (rounds == 0 && round == 0) { // the parent's cue: kills from now on land among the saves
            std::fputs("saving\n", stdout);
            std::fflush(stdout);
        }
    }
    return 0;
}
