#pragma once
// Profile-string ("ini") files: a reader and writer that behave as the Windows profile functions
// do for this program's use. A file that starts with a UTF-8 byte order mark is UTF-8; any other is
// in the system's 8-bit code page (UTF-8 on Linux, the ANSI code page on Windows).

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace profile {

using KeyValue = std::pair<QString, QString>;

// The value of key in section within the bytes of a profile file, or nothing when the section or
// the key is missing. Section and key names match without regard to case; the first matching
// section and, in it, the first matching key win.
std::optional<QString> profileValue(const QByteArray &contents, const QString &section,
                                    const QString &key);

// The same, read from a device piece by piece, stopping as soon as the answer is known.
std::optional<QString> profileValue(QIODevice &device, const QString &section, const QString &key,
                                    qsizetype pieceSize = 64 * 1024);

// Sets the keys of section within contents: an existing key's value is replaced in place, a new
// key goes at the end of its section, a new section at the end of the file. Every other byte is
// kept. Refuses (returns false, contents untouched) a key or value that would break the line. When
// the code page cannot hold a value, the contents become UTF-8 with a byte order mark.
bool setProfileValues(QByteArray &contents, const QString &section, const QList<KeyValue> &values,
                      QString *error);

// The two functions below stand for the Windows profile functions of the same names, which
// earlier versions of Quorvane for Windows used; they keep those names so that the rules they
// follow can be looked up.

// Reads key from the file; defaultText when the file, section or key does not exist. When the
// file exists but cannot be read, error receives the reason.
QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultText, const QString &fileName,
                                QString *error = nullptr);

// Writes several keys of one section in a single replacement of the file.
bool WritePrivateProfileStrings(const QString &section, const QList<KeyValue> &values,
                                const QString &fileName, QString *error = nullptr);

} // namespace profile
