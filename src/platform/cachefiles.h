#pragma once
// What a cache of our own needs of the file system: to tell its own files from links, to put a
// finished file in place in one step, and to know whether the program that began a file still
// runs.

#include <QString>

namespace platform {

// What stands at path itself: a link is a link, never what it points to.
enum class EntryKind { Missing, File, Folder, Link };
EntryKind entryKind(const QString &path);

// Moves from to to in one step, replacing what is at to. Both are in one folder or in folders of
// one file system. error gets the system's words.
bool moveOver(const QString &from, const QString &to, QString *error);

// This process's number, and whether a process of that number runs now.
qint64 processId();
bool isProcessRunning(qint64 pid);

} // namespace platform
