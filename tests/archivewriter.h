#pragma once
// Archives made by libarchive's own writers, for the tests and the benchmark.

#include <QByteArray>

#include <archive.h>
#include <archive_entry.h>

#include <vector>

namespace testutil {

struct Member {
    QByteArray name;
    QByteArray bytes;
    enum Kind { File, Link, Folder } kind = File;
};

enum class ArchiveFormat { Zip, SevenZip };

// The archive's bytes; options as libarchive's writer takes them ("zip:encryption=zipcrypt"),
// with passphrase for an encrypted one.
inline QByteArray makeArchive(ArchiveFormat format, const std::vector<Member> &members, const char *options = nullptr,
                              const char *passphrase = nullptr)
{
    QByteArray out;
    archive *writer = archive_write_new();
    if (format == ArchiveFormat::Zip)
        archive_write_set_format_zip(writer);
    else
        archive_write_set_format_7zip(writer);
    if (options)
        archive_write_set_options(writer, options);
    if (passphrase)
        archive_write_set_passphrase(writer, passphrase);
    archive_write_set_bytes_in_last_block(writer, 1);
    archive_write_open2(
        writer, &out, nullptr,
        [](archive *, void *data, const void *bytes, size_t size) -> la_ssize_t {
            static_cast<QByteArray *>(data)->append(static_cast<const char *>(bytes), qsizetype(size));
            return la_ssize_t(size);
        },
        nullptr, nullptr);
    for (const Member &member : members) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.name.constData());
        archive_entry_set_mtime(entry, 1700000000, 0);
        if (member.kind == Member::Link) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, member.bytes.constData());
            archive_entry_set_perm(entry, 0777);
        } else if (member.kind == Member::Folder) {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, member.bytes.size());
        }
        archive_write_header(writer, entry);
        if (member.kind == Member::File && !member.bytes.isEmpty())
            archive_write_data(writer, member.bytes.constData(), size_t(member.bytes.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

// A ROM of 16 KB whose data is fill: header and all, as the checks see one.
inline QByteArray nesRom(char fill, qsizetype prgBanks = 1)
{
    return QByteArray("NES\x1A", 4) + char(prgBanks) + QByteArray(11, '\0') + QByteArray(prgBanks * 16384, fill);
}

} // namespace testutil
