// The profile reader and writer on any bytes: the whole-file reader and the piecewise one agree at
// any piece size, a value the writer takes reads back as it was, and the keys it was not asked
// to change keep their values.

#include "config/profilefile.h"
#include "platform/filenames.h"

#include <QBuffer>

#include <array>
#include <cstdint>
#include <cstdlib>

namespace {
const QString kSection = QStringLiteral("Quorvane v1.0b Config File");
const QStringList kKeys{QStringLiteral("Roms"), QStringLiteral("Roms2"), QStringLiteral("Roms3")};

void check(bool fact)
{
    if (!fact)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks the length of the value to write and the size of the pieces the
    // piecewise reader gets; the rest is the file.
    if (size < 1)
        return 0;
    const size_t valueLength = std::min<size_t>(data[0] % 32, size - 1);
    const qsizetype piece = std::array<qsizetype, 8>{1, 2, 3, 5, 7, 64, 4096, 65536}[data[0] >> 5];
    const QString value = platform::fromUtf8Lossless(QByteArrayView(data + 1, qsizetype(valueLength)));
    QByteArray contents(reinterpret_cast<const char *>(data + 1 + valueLength), qsizetype(size - 1 - valueLength));

    // Lines longer than the piecewise reader's 64 KiB are judged by their heads there.
    const bool shortLines = contents.size() < 20000;
    for (const QString &key : kKeys) {
        const std::optional<QString> whole = profile::profileValue(contents, kSection, key);
        if (shortLines) {
            QBuffer device(&contents);
            device.open(QIODevice::ReadOnly);
            check(profile::profileValue(device, kSection, key, piece) == whole);
        }
    }

    QByteArray written = contents;
    QString error;
    if (!profile::setProfileValues(written, kSection, {{kKeys[0], value}}, &error))
        return 0;
    check(profile::profileValue(written, kSection, kKeys[0]) == value);
    for (const QString &key : {kKeys[1], kKeys[2]}) {
        const std::optional<QString> before = profile::profileValue(contents, kSection, key);
        if (before) // a key that read as missing may now be found: its section was made
            check(profile::profileValue(written, kSection, key) == before);
    }
    return 0;
}
