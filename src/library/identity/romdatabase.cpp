#include "library/identity/romdatabase.h"

#include "platform/dirscan.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

namespace library {

namespace {

// Entities are for a DTD's few abbreviations; none may grow a small file into a large one.
constexpr int kEntityExpansionLimit = 1024;
// Titles longer than this are no titles; the rest of the name is dropped.
constexpr qsizetype kLongestName = 512;

bool parseCrc(QStringView text, quint32 *crc)
{
    if (text.size() != 8)
        return false;
    bool ok = false;
    *crc = text.toUInt(&ok, 16);
    return ok;
}

QByteArray parseSha1(QStringView text)
{
    if (text.size() != 40)
        return {};
    const QByteArray hex = text.toLatin1();
    for (char c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    }
    return QByteArray::fromHex(hex);
}

} // namespace

bool readDat(QIODevice &device, const std::function<void(DatRom &&)> &found, QString *error)
{
    QXmlStreamReader xml(&device);
    xml.setEntityExpansionLimit(kEntityExpansionLimit);
    QString game;
    int depth = 0;
    bool rootSeen = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            ++depth;
            const QStringView name = xml.name();
            if (depth == 1) {
                rootSeen = true;
                if (name != QLatin1String("datafile"))
                    xml.raiseError(QStringLiteral("this is no Logiqx DAT: its root element is not \"datafile\""));
            } else if (depth == 2 && (name == QLatin1String("game") || name == QLatin1String("machine"))) {
                game = xml.attributes().value(QLatin1String("name")).left(kLongestName).toString();
            } else if (depth == 3 && name == QLatin1String("rom")) {
                const QXmlStreamAttributes attributes = xml.attributes();
                DatRom rom;
                rom.sums.sha1 = parseSha1(attributes.value(QLatin1String("sha1")));
                if (!rom.sums.isValid() || !parseCrc(attributes.value(QLatin1String("crc")), &rom.sums.crc32))
                    break; // without both sums it can match nothing
                rom.game = game;
                const QStringView status = attributes.value(QLatin1String("status"));
                rom.status = status.isEmpty() ? QStringLiteral("good") : status.left(32).toString();
                found(std::move(rom));
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (!xml.hasError() && !rootSeen)
        xml.raiseError(QStringLiteral("the file holds no XML element"));
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return false;
    }
    return true;
}

bool RomDatabase::addFile(const QString &path, QString *error)
{
    const QString shown = QDir::toNativeSeparators(path);
    QFile file;
    if (!platform::openRegularFile(path, file)) {
        *error = QStringLiteral("%1: it cannot be opened").arg(shown);
        return false;
    }
    if (file.size() > kLargestDatFile) {
        *error = QStringLiteral("%1: it is larger than 64 MB").arg(shown);
        return false;
    }
    std::vector<DatRom> read;
    QString why;
    if (!readDat(file, [&read](DatRom &&rom) { read.push_back(std::move(rom)); }, &why)) {
        *error = QStringLiteral("%1: %2").arg(shown, why);
        return false;
    }
    m_roms.reserve(m_roms.size() + read.size());
    for (DatRom &rom : read) {
        m_byCrc.insert(rom.sums.crc32, qsizetype(m_roms.size()));
        m_roms.push_back(std::move(rom));
    }
    return true;
}

void RomDatabase::addFolder(const QString &folder, QStringList *errors)
{
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.dat"), QStringLiteral("*.xml")},
                                                     QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        QString error;
        if (!addFile(QDir(folder).filePath(name), &error) && errors)
            errors->append(error);
    }
}

const DatRom *RomDatabase::find(const RomSums &sums) const
{
    if (!sums.isValid())
        return nullptr;
    for (auto it = m_byCrc.constFind(sums.crc32); it != m_byCrc.cend() && it.key() == sums.crc32; ++it) {
        const DatRom &rom = m_roms[size_t(it.value())];
        if (rom.sums.sha1 == sums.sha1)
            return &rom;
    }
    return nullptr;
}

} // namespace library
