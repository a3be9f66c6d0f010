// Lists an archive apart, as Quorvane's own program does when asked to: for the tests, which have
// no Quorvane program of their own to start. With ARCHIVE_READER_PEAK set, writes its peak
// resident memory (/proc's "VmHWM" line) to that file as it ends: a child's peak as getrusage
// tells it starts from its parent's, copied at the fork.
//   archive_reader HEX_PATH

#include "library/archives/romarchive.h"

#include <QFile>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QUORVANE_ASAN)
// Under AddressSanitizer an allocation past the memory limit fails as it does without it (a null
// pointer, which libarchive refuses the archive for) rather than ending the reader with a report.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }
#endif

int main(int argc, char *argv[])
{
    const int status = argc == 2 ? library::archiveReaderMain(argv[1]) : 2;
    if (const QString peakFile = qEnvironmentVariable("ARCHIVE_READER_PEAK"); !peakFile.isEmpty()) {
        QFile status(QStringLiteral("/proc/self/status")), peak(peakFile);
        if (status.open(QIODevice::ReadOnly) && peak.open(QIODevice::WriteOnly)) {
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("VmHWM:"))
                    peak.write(line.mid(6).trimmed());
            }
        }
    }
    return status;
}
