#include "platform/process.h"

#include "platform/workthread.h"
#include "platform/receiver.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

QString ProcessExit::inWords() const
{
    if (signal != 0)
        return QStringLiteral("ended by signal %1 (%2)").arg(signal).arg(QString::fromLocal8Bit(::strsignal(signal)));
    return QStringLiteral("exit status %1").arg(exitCode);
}

// posix_spawn rather than fork: a GUI process has a large address space, and spawning does not
// copy it, so the double click returns sooner. The program still never goes through a shell.
bool startDetached(const Command &command, const ExitWatch &watch, QString *error)
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
    // Output and errors to the log when it can be opened; otherwise where they go today.
    const int output = command.outputFile.isEmpty()
        ? -1
        : ::open(toSystem8Bit(command.outputFile).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    }
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
    const std::shared_ptr<Receiver> receiver = watch.onExit ? watch.receiver : nullptr;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failure = ::posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (output >= 0)
        ::close(output);
    if (failure != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(failure));
        return false;
    }
    // Nobody waits for the emulator; a thread of its own collects its end, so that it leaves no
    // zombie behind, and tells the watch through the receiver, which a closing program shuts.
    workthread::start([pid, receiver, started, onExit = watch.onExit] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!receiver)
            return;
        ProcessExit exit;
        exit.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        exit.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        exit.runMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        receiver->post([onExit, exit] { onExit(exit); });
    });
    return true;
}

void yieldToWindowWhenWoken()
{
#ifdef SYS_gettid
    // Linux keeps a nice value for each thread; the thread may always lower its own.
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 5);
#endif
#ifdef SCHED_BATCH
    // A batch thread that wakes does not take the processor from a running one: the window's
    // thread goes on while the watcher sets a folder watch.
    const sched_param none{};
    ::sched_setscheduler(0, SCHED_BATCH, &none);
#endif
}

} // namespace platform
