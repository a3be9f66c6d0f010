#include "platform/filerewrite.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <windows.h>

QT_BEGIN_NAMESPACE
Q_CORE_EXPORT QString qt_error_string(int errorCode);
QT_END_NAMESPACE

namespace platform {

namespace {

std::wstring wide(const QString &path) { return QDir::toNativeSeparators(path).toStdWString(); }

struct Failure {
    QString *error;
    bool operator()(const QString &reason) const
    {
        if (error)
            *error = reason;
        return false;
    }
    bool operator()(DWORD code) const { return (*this)(qt_error_string(int(code))); }
};

// Closes a handle on every way out.
struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    bool valid() const { return h != INVALID_HANDLE_VALUE; }
    bool close()
    {
        const bool closed = CloseHandle(h) != 0;
        h = INVALID_HANDLE_VALUE;
        return closed;
    }
};

bool writeAll(HANDLE file, const QByteArray &bytes, DWORD *code)
{
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        *code = GetLastError();
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<qsizetype>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file, bytes.constData() + done, chunk, &written, nullptr) || written == 0) {
            *code = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
            return false;
        }
        done += written;
    }
    return true;
}

bool readAll(HANDLE file, QByteArray *contents, QString *reason)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        *reason = qt_error_string(int(GetLastError()));
        return false;
    }
    if (size.QuadPart > kMaxRewriteSize) {
        *reason = tooLargeToRewrite();
        return false;
    }
    contents->resize(qsizetype(size.QuadPart));
    qsizetype done = 0;
    while (done < contents->size()) {
        DWORD got = 0;
        if (!ReadFile(file, contents->data() + done, DWORD(contents->size() - done), &got, nullptr)) {
            *reason = qt_error_string(int(GetLastError()));
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    contents->resize(done);
    return true;
}

bool rewriteInPlace(const std::wstring &target, const ContentsEdit &edit, Failure fail)
{
    Handle file{CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file.valid())
        return fail(GetLastError());
    // One writer at a time: a lock on the file itself, held only for the moment of a save.
    OVERLAPPED whole{};
    bool locked = false;
    for (int attempt = 0; attempt < 500 && !locked; ++attempt) {
        locked = LockFileEx(file.h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole);
        if (!locked && GetLastError() != ERROR_LOCK_VIOLATION)
            return fail(GetLastError());
        if (!locked)
            QThread::msleep(10);
    }
    if (!locked)
        return fail(QStringLiteral("Another program keeps the file locked."));
    QByteArray old;
    QString reason;
    if (!readAll(file.h, &old, &reason))
        return fail(reason);
    QByteArray contents = old;
    if (!edit(contents, &reason))
        return fail(reason);
    DWORD code = 0;
    if (!writeAll(file.h, contents, &code) || !SetEndOfFile(file.h) || !FlushFileBuffers(file.h)) {
        if (code == 0)
            code = GetLastError();
        DWORD ignored = 0;
        if (writeAll(file.h, old, &ignored))
            SetEndOfFile(file.h);
        FlushFileBuffers(file.h);
        return fail(code);
    }
    UnlockFileEx(file.h, 0, MAXDWORD, MAXDWORD, &whole);
    if (!file.close())
        return fail(GetLastError());
    return true;
}

bool rewriteAtomically(const std::wstring &target, const QString &path, bool exists, const ContentsEdit &edit,
                       Failure fail, bool *tryInPlace)
{
    *tryInPlace = false;
    QByteArray contents;
    QString reason;
    if (exists) {
        Handle current{CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (!current.valid())
            return fail(GetLastError());
        if (!readAll(current.h, &contents, &reason))
            return fail(reason);
    }
    if (!edit(contents, &reason))
        return fail(reason);
    const QFileInfo info(path);
    std::wstring temporary;
    Handle file;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = wide(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.')
                         + QString::number(QRandomGenerator::global()->generate(), 36));
        file.h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (!file.valid() && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file.valid()) {
        const DWORD code = GetLastError();
        *tryInPlace = exists && (code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT);
        return fail(code);
    }
    DWORD code = 0;
    bool written = writeAll(file.h, contents, &code);
    if (written && !FlushFileBuffers(file.h)) { // on the disk before it takes the old file's name
        code = GetLastError();
        written = false;
    }
    if (!file.close() && written) {
        code = GetLastError();
        written = false;
    }
    if (written && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
        written = false;
    }
    if (!written) {
        DeleteFileW(temporary.c_str());
        return fail(code);
    }
    return true;
}

} // namespace

bool rewriteFile(const QString &path, const ContentsEdit &edit, QString *error)
{
    const Failure fail{error};
    const QFileInfo info(path);
    const QString resolved = info.isSymLink() && info.exists() ? info.symLinkTarget() : path;
    const std::wstring target = wide(resolved);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        return fail(GetLastError());
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return fail(QStringLiteral("It is not a regular file."));
    bool tryInPlace = false;
    QString atomicError;
    if (rewriteAtomically(target, resolved, exists, edit, Failure{&atomicError}, &tryInPlace))
        return true;
    if (!tryInPlace)
        return fail(atomicError);
    QString inPlaceError;
    if (rewriteInPlace(target, edit, Failure{&inPlaceError}))
        return true;
    return fail(inPlaceError);
}

} // namespace platform
