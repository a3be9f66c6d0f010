// Saves the three folders: once, or over and over (alternating two sets) until it is killed.
//   save_loop CONFIG_FILE          saves until killed; prints "saving" after the first save
//   save_loop CONFIG_FILE once     saves once; exit status 1 and the reason on stderr on failure

#include "config/romfolders.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    const bool once = argc > 2 && qstrcmp(argv[2], "once") == 0;
    const QStringList sets[2] = {
        {QStringLiteral("/a/"), QStringLiteral("/aa/"), QStringLiteral("/aaa/")},
        {QStringLiteral("/") + QString(200, QLatin1Char('b')) + QStringLiteral("/"), QStringLiteral("/b b/"),
         QString(300, QLatin1Char('c'))},
    };
    for (unsigned long round = 0;; ++round) {
        QString error;
        if (!config::WriteRomFolders(file, sets[round % 2], &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
            return 1;
        }
        if (once)
            return 0;
        if (round == 0) { // the parent's cue: kills from now on land among the saves
            std::fputs("saving\n", stdout);
            std::fflush(stdout);
        }
    }
}
