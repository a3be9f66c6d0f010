#pragma once
// The ROM names of one folder, kept compactly: one buffer of names, each one's bytes as the file
// system gives them (UTF-8, bytes that are no text kept), and the order in which they are shown.
// A name becomes a QString only when it is drawn or used.

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <vector>

namespace library {

class RomNames
{
public:
    // A shown row: where its name starts in the buffer, and its ordinal (its place among the
    // buffer's names).
    struct Row {
        quint32 start;
        quint32 ordinal;
    };

    qsizetype count() const { return qsizetype(m_rows.size()); }
    QByteArrayView bytesAt(qsizetype row) const;
    QString nameAt(qsizetype row) const;
    void append(QByteArrayView name);
    // Orders the names as the user's language sorts them, without regard to case; in the C locale
    // by code point, without regard to case. Numbers within names count by their value ("2"
    // before "10"). Names that differ only in case, or in a number's leading zeros, keep a fixed
    // order.
    void sort(const QLocale &locale);
    // Gives back the room kept for more names.
    void shrinkToFit();

    // The subfolders read for the names (their paths below the folder), so that they are watched.
    const std::vector<QByteArray> &subfolders() const { return m_subfolders; }
    void addSubfolder(QByteArrayView path) { m_subfolders.emplace_back(path.toByteArray()); }

    const QByteArray &buffer() const { return m_bytes; }
    // Where each name starts in the buffer, in the buffer's order: a name's ordinal is its place here.
    const std::vector<quint32> &starts() const { return m_starts; }
    // The rows, in the order shown.
    const std::vector<Row> &rows() const { return m_rows; }

private:
    std::vector<quint32> sortedOrdinals(const QLocale &locale) const;

    QByteArray m_bytes;            // every name, each ended by a NUL
    std::vector<quint32> m_starts; // where each name starts in m_bytes, by ordinal
    std::vector<Row> m_rows;       // in the order shown
    std::vector<QByteArray> m_subfolders;
};

// How far below a ROM folder its subfolders are read, when they are.
inline constexpr int kSubfolderLevels = 32;

// The files of folder whose names match pattern ("*.nes", or several parted by ';': by ending,
// without regard to case), hidden files left out, sorted for locale. With subfolders, those of
// every folder below too, kSubfolderLevels deep, each named by its path below folder
// ("USA/Game.nes"). ok is false when the folder cannot be read (the list is then empty).
RomNames readRomNames(const QString &folder, const QString &pattern, const QLocale &locale, bool *ok = nullptr,
                      bool subfolders = false);

} // namespace library
