#include "platform/process.h"

#include <QDir>
#include <QProcess>

#include <windows.h>

#include <vector>

namespace platform {

namespace {

// CreateProcess with the line as it stands: the program parses that very string, so nothing is
// re-quoted on the way. No shell and no console are involved.
bool createProcess(const Command &command, QString *error)
{
    const std::wstring program = QDir::toNativeSeparators(command.program).toStdWString();
    std::vector<wchar_t> line(size_t(command.commandLine.size()) + 1, L'\0'); // CreateProcessW may write to it
    command.commandLine.toWCharArray(line.data());
    const std::wstring folder = QDir::toNativeSeparators(command.workingFolder).toStdWString();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        if (error)
            *error = qt_error_string(int(GetLastError()));
        return false;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

} // namespace

bool startDetached(const Command &command, const FailureHandler &, QString *error)
{
    if (!command.commandLine.isEmpty())
        return createProcess(command, error);
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

} // namespace platform
