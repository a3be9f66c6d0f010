// Records launches of one game in the library database, as a running Quorvane does.
//   history_loop DATABASE N    records N launches (0: until it is killed), and prints how many
//                              are kept after each one
// Exit status 1 and the reason on stderr when a launch is not saved.

#include "library/database/librarydatabase.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 3)
        return 2;
    QString message;
    const auto db = library::LibraryDatabase::open(QString::fromLocal8Bit(argv[1]), &message);
    if (!db || !message.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    const long long count = std::atoll(argv[2]);
    const QByteArray game(20, '\x42');
    for (long long kept = 0; count == 0 || kept < count;) {
        QString error;
        if (!db->recordLaunch(game, "/roms/loop.nes", QDateTime::currentMSecsSinceEpoch(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%lld\n", ++kept);
        std::fflush(stdout);
    }
    return 0;
}
