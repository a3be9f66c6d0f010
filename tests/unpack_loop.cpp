// Unpacks an archive's first ROM into a ROM cache over and over, as launches do, trimming it away
// after each, until it is killed.
//   unpack_loop ARCHIVE CACHE_FOLDER    prints a line after each unpack
// Exit status 1 and the reason on stderr when an unpack fails.

#include "library/archives/romcache.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 3)
        return 2;
    const QString archive = QString::fromLocal8Bit(argv[1]);
    library::RomCache cache(QString::fromLocal8Bit(argv[2]), 0);
    QString error;
    if (!cache.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (;;) {
        library::ArchiveEntry entry = library::listArchive(archive).roms.at(0);
        const library::RomCache::Unpacked unpacked = cache.unpack(archive, entry);
        if (!unpacked.error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(unpacked.error));
            return 1;
        }
        std::printf("unpacked\n");
        std::fflush(stdout);
        cache.trim();
    }
}
