#pragma once

#include "library/database/librarydatabase.h"
#include "library/checking/romchecker.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

namespace library {

struct InfoLine {
    QString label;
    QString value;
    bool operator==(const InfoLine &other) const { return label == other.label && value == other.value; }
};

// The lines that tell of the file at path, in the order the ROM Information window shows them:
// File, Size, the header's fields, the four sums, the database's entry, and what the user played
// of the game. Until its bytes are read (facts null) or its play known (play null), each value
// but the file's says so. Sizes, counts and times follow locale.
QList<InfoLine> romInformationLines(const QString &path, const RomFacts *facts, const PlayRecord *play,
                                    const QLocale &locale = QLocale());

// What the ROM Information window shows of one file: filled once the file has been read.
class RomInformation : public QObject
{
    Q_OBJECT
public:
    explicit RomInformation(const QString &path, QObject *parent = nullptr);

    QString path() const { return m_path; }
    bool isRead() const { return m_read; }
    void setFacts(const RomFacts &facts);
    void setPlay(const PlayRecord &play);
    // The emulator that starts it, as its line says it.
    void setEmulator(const QString &emulator);

    QList<InfoLine> lines() const;
    // What is wrong with the file, each in words; none for a sound one or before it is read.
    QStringList problems() const { return m_facts.warning.isEmpty() ? QStringList() : m_facts.warning.split(QLatin1Char('\n')); }
    // Everything, as "Label: value" lines in the order shown, the problems last.
    QString text() const;

signals:
    void changed();

private:
    QString m_path;
    RomFacts m_facts;
    bool m_read = false;
    PlayRecord m_play;
    bool m_playKnown = false;
    QString m_emulator;
};

} // namespace library
