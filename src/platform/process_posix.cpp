#include "platform/process.h"

#include "platform/filenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace platform {

// posix_spawn rather than fork: a GUI process has a large address space, and spawning does not
// copy it, so the double click returns sooner. The program still never goes through a shell.
bool startDetached(const Command &command, const FailureHandler &onFailure, QString *error)
{
    const QString &program = command.program;
    const QStringList &arguments = command.arguments;
    const QString &workingFolder = command.workingFolder;
    std::vector<QByteArray> encoded;
    encoded.reserve(size_t(arguments.size()) + 1);
    encoded.push_back(toSystem8Bit(program)); // names reach the program byte for byte
    for (const QString &argument : arguments)
        encoded.push_back(toSystem8Bit(argument));
    std::vector<char *> argv;
    for (QByteArray &bytes : encoded)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const QByteArray folder = toSystem8Bit(workingFolder);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 29))
    if (!workingFolder.isEmpty() && QDir(workingFolder) != QDir::current())
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
#ifdef POSIX_SPAWN_SETSID
    // A session of its own: the emulator outlives the launcher and its terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
#endif
    pid_t pid = 0;
    const int failure = ::posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failure != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(failure));
        return false;
    }
    // Nobody waits for the emulator; a thread of its own only collects its exit status so that it
    // leaves no zombie behind, and hands a failure to the event loop's thread when asked to.
    std::thread([pid, onFailure] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (onFailure && code != 0) {
            if (QCoreApplication *application = QCoreApplication::instance())
                QMetaObject::invokeMethod(application, [onFailure, code] { onFailure(code); }, Qt::QueuedConnection);
        }
    }).detach();
    return true;
}

} // namespace platform
