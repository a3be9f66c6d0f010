#pragma once
// Work on outside bytes whose memory a library cannot bound itself, done in a child process that
// bounds its own: the child's allocations past its share fail, and a crash there is the child's.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace platform {

// In the child, before the work: memory above what the process holds now is limited to
// extraBytes. false where the system cannot limit it.
bool limitOwnMemory(qint64 extraBytes);

// Runs program with arguments and waits for it, within timeoutMs and while cancelled (when
// given) says no. output gets what it wrote to its standard output, at most maxOutput bytes.
// false, with the reason in error, when it did not end by itself with exit status 0.
bool runBoundedChild(const QString &program, const QStringList &arguments, int timeoutMs, qint64 maxOutput,
                     const std::function<bool()> &cancelled, QByteArray *output, QString *error);

} // namespace platform
