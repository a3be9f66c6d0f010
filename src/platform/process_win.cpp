#include "platform/process.h"

#include "platform/workthread.h"
#include "platform/receiver.h"

#include <QDir>
#include <QProcess>

#include <windows.h>

#include <chrono>
#include <vector>

namespace platform {

namespace {

// The log, opened for appending and inherited by the program as its output; null when it
// cannot be opened (the output then goes where it goes today).
HANDLE openOutput(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// CreateProcess with the line as it stands: the program parses that very string, so nothing is
// re-quoted on the way. No shell and no console are involved.
bool createProcess(const Command &command, const ExitWatch &watch, QString *error)
{
    const std::wstring program = QDir::toNativeSeparators(command.program).toStdWString();
    std::vector<wchar_t> line(size_t(command.commandLine.size()) + 1, L'\0'); // CreateProcessW may write to it
    command.commandLine.toWCharArray(line.data());
    const std::wstring folder = QDir::toNativeSeparators(command.workingFolder).toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const HANDLE output = openOutput(command.outputFile);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        startup.hStdInput = nullptr;
    }
    const std::shared_ptr<Receiver> receiver = watch.onExit ? watch.receiver : nullptr;
    const auto started = std::chrono::steady_clock::now();
    PROCESS_INFORMATION info{};
    const BOOL created = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, output ? TRUE : FALSE,
                                        CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &info);
    const DWORD failure = GetLastError();
    if (output)
        CloseHandle(output);
    if (!created) {
        if (error)
            *error = qt_error_string(int(failure));
        return false;
    }
    CloseHandle(info.hThread);
    // A thread of its own waits for the end and tells the watch; closing Quorvane neither waits
    // for it nor ends the program.
    workthread::start([process = info.hProcess, receiver, started, onExit = watch.onExit] {
        WaitForSingleObject(process, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        if (!receiver)
            return;
        ProcessExit exit;
        exit.exitCode = int(code);
        exit.runMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        receiver->post([onExit, exit] { onExit(exit); });
    });
    return true;
}

} // namespace

QString ProcessExit::inWords() const
{
    // Exceptions end a program with an NTSTATUS code, best read in hexadecimal.
    if (quint32(exitCode) >= 0xC0000000u)
        return QStringLiteral("exit status 0x%1").arg(quint32(exitCode), 8, 16, QLatin1Char('0'));
    return QStringLiteral("exit status %1").arg(exitCode);
}

bool startDetached(const Command &command, const ExitWatch &watch, QString *error)
{
    if (!command.commandLine.isEmpty())
        return createProcess(command, watch, error);
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setWorkingDirectory(command.workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (error)
        *error = process.errorString();
    return false;
}

// A thread below normal priority never takes the processor from the window's as it wakes.
void yieldToWindowWhenWoken() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

} // namespace platform
