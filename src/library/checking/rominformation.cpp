#include "library/checking/rominformation.h"

#include "library/identity/nesheader.h"
#include "platform/filenames.h"

#include <QDateTime>
#include <QDir>

namespace library {

namespace {

QString sizeText(qint64 bytes, const QLocale &locale)
{
    if (bytes == 0)
        return QStringLiteral("none");
    if (bytes >= NesHeader::kLargestSize)
        return QStringLiteral("more than any file holds");
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(locale.toString(bytes / 1024));
    return QStringLiteral("%1 bytes").arg(locale.toString(bytes));
}

QString formatText(NesHeader::Format format)
{
    switch (format) {
    case NesHeader::Format::INes: return QStringLiteral("iNES");
    case NesHeader::Format::Nes20: return QStringLiteral("NES 2.0");
    case NesHeader::Format::ArchaicINes: return QStringLiteral("archaic iNES");
    case NesHeader::Format::NotINes: break;
    }
    return QStringLiteral("not an iNES file");
}

QString mirroringText(NesHeader::Mirroring mirroring)
{
    switch (mirroring) {
    case NesHeader::Mirroring::Vertical: return QStringLiteral("vertical");
    case NesHeader::Mirroring::FourScreen: return QStringLiteral("four-screen");
    case NesHeader::Mirroring::Horizontal: break;
    }
    return QStringLiteral("horizontal");
}

QString consoleText(NesHeader::Console console)
{
    switch (console) {
    case NesHeader::Console::VsSystem: return QStringLiteral("Vs. System");
    case NesHeader::Console::PlayChoice10: return QStringLiteral("PlayChoice-10");
    case NesHeader::Console::Extended: return QStringLiteral("extended console type");
    case NesHeader::Console::Nes: break;
    }
    return QStringLiteral("NES / Famicom");
}

QString timingText(NesHeader::Timing timing)
{
    switch (timing) {
    case NesHeader::Timing::Pal: return QStringLiteral("PAL");
    case NesHeader::Timing::MultiRegion: return QStringLiteral("multi-region");
    case NesHeader::Timing::Dendy: return QStringLiteral("Dendy");
    case NesHeader::Timing::Ntsc: break;
    }
    return QStringLiteral("NTSC");
}

QString yesNo(bool yes) { return yes ? QStringLiteral("yes") : QStringLiteral("no"); }

} // namespace

QString playedText(const PlayRecord &play, const QLocale &locale)
{
    const qint64 minutes = play.playedMs / 60000;
    return QStringLiteral("%1 %2, %3 h %4 min")
        .arg(locale.toString(play.launches), play.launches == 1 ? QStringLiteral("time") : QStringLiteral("times"),
             locale.toString(minutes / 60))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QList<InfoLine> romInformationLines(const QString &path, const RomFacts *facts, const PlayRecord *play, const QLocale &locale)
{
    const QStringList labels{
        QStringLiteral("Size"),    QStringLiteral("Format"),    QStringLiteral("Mapper"),     QStringLiteral("Submapper"),
        QStringLiteral("PRG ROM"), QStringLiteral("CHR ROM"),   QStringLiteral("PRG RAM"),    QStringLiteral("Mirroring"),
        QStringLiteral("Battery"), QStringLiteral("Trainer"),   QStringLiteral("Console"),    QStringLiteral("Timing"),
        QStringLiteral("CRC32"),   QStringLiteral("SHA-1"),     QStringLiteral("File CRC32"), QStringLiteral("File SHA-1"),
        QStringLiteral("Database"),
    };
    QList<InfoLine> lines{{QStringLiteral("File"), platform::displayName(QDir::toNativeSeparators(path))}};
    // An archive's lines are its first ROM's: the file line names both.
    if (facts && facts->archive && !facts->archive->roms.empty())
        lines[0].value = QStringLiteral("%1 (holding %2)").arg(lines[0].value, platform::displayName(platform::fromUtf8Lossless(facts->archive->roms.front().name)));
    QStringList values;
    const RomIdentity *id = facts ? &facts->identity : nullptr;
    if (!id || !id->error.isEmpty()) {
        const QString state = id ? QStringLiteral("cannot be read") : QStringLiteral("reading...");
        for (qsizetype i = 0; i < labels.size(); ++i)
            values << state;
    } else {
        const NesHeader header = decodeNesHeader(id->header, id->size);
        const bool ines = header.format != NesHeader::Format::NotINes;
        const bool nes20 = header.format == NesHeader::Format::Nes20;
        const QString unknown = QStringLiteral("unknown"), notGiven = QStringLiteral("not in the header");
        const QString mapperNamed = mapperName(header.mapper);
        QString prgRam = notGiven;
        if (nes20) {
            prgRam = sizeText(header.prgRam, locale);
            if (header.prgNvram > 0)
                prgRam = QStringLiteral("%1, battery-backed %2").arg(prgRam, sizeText(header.prgNvram, locale));
        }
        QString chrRom = header.chrRom == 0 && header.chrRam > 0 ? QStringLiteral("none") : sizeText(header.chrRom, locale);
        if (header.chrRam > 0)
            chrRom = QStringLiteral("%1 (CHR RAM: %2)").arg(chrRom, sizeText(header.chrRam, locale));
        values << QStringLiteral("%1 bytes").arg(locale.toString(id->size)) << formatText(header.format)
               << (!ines ? unknown : mapperNamed.isEmpty() ? QString::number(header.mapper)
                                                           : QStringLiteral("%1 (%2)").arg(header.mapper).arg(mapperNamed))
               << (!ines ? unknown : nes20 ? QString::number(header.submapper) : notGiven)
               << (ines ? sizeText(header.prgRom, locale) : unknown) << (ines ? chrRom : unknown) << (ines ? prgRam : unknown)
               << (ines ? mirroringText(header.mirroring) : unknown) << (ines ? yesNo(header.battery) : unknown)
               << (!ines ? unknown : header.trainer ? QStringLiteral("yes (512 bytes)") : yesNo(false))
               << (ines ? consoleText(header.console) : unknown) << (ines ? timingText(header.timing) : unknown)
               << crc32Text(id->data.crc32) << sha1Text(id->data.sha1) << crc32Text(id->file.crc32)
               << (id->file.isValid() ? sha1Text(id->file.sha1) : QStringLiteral("reading..."))
               << (facts->title.isEmpty() ? QStringLiteral("not in the database")
                                          : QStringLiteral("%1 (%2; matched by %3)").arg(facts->title, facts->status, facts->matchedBy));
    }
    for (qsizetype i = 0; i < labels.size(); ++i)
        lines.append({labels[i], values[i]});
    // What the user played of it, once it is known which game the file is.
    const QString waiting = facts && facts->identity.error.isEmpty() ? QStringLiteral("reading...") : QStringLiteral("unknown");
    lines.append({QStringLiteral("Favourite"), play ? yesNo(play->favourite) : waiting});
    lines.append({QStringLiteral("Played"), play ? playedText(*play, locale) : waiting});
    lines.append({QStringLiteral("Last played"),
                  !play                    ? waiting
                  : play->lastLaunchMs < 0 ? QStringLiteral("never")
                                           : locale.toString(QDateTime::fromMSecsSinceEpoch(play->lastLaunchMs), QLocale::ShortFormat)});
    return lines;
}

RomInformation::RomInformation(const QString &path, QObject *parent) : QObject(parent), m_path(path) {}

void RomInformation::setFacts(const RomFacts &facts)
{
    m_facts = facts;
    m_read = true;
    emit changed();
}

void RomInformation::setPlay(const PlayRecord &play)
{
    m_play = play;
    m_playKnown = true;
    emit changed();
}

void RomInformation::setEmulator(const QString &emulator)
{
    m_emulator = emulator;
    emit changed();
}

QList<InfoLine> RomInformation::lines() const
{
    QList<InfoLine> lines = romInformationLines(m_path, m_read ? &m_facts : nullptr, m_playKnown ? &m_play : nullptr);
    lines.append({QStringLiteral("Emulator"), m_emulator.isEmpty() ? QStringLiteral("none found") : m_emulator});
    return lines;
}

QString RomInformation::text() const
{
    QStringList text;
    for (const InfoLine &line : lines())
        text << line.label + QStringLiteral(": ") + line.value;
    const QStringList found = problems();
    if (m_read && found.isEmpty())
        text << QStringLiteral("Problems: none");
    for (const QString &problem : found)
        text << QStringLiteral("Problem: ") + problem;
    return text.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace library
