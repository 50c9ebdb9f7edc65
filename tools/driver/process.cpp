#include "process.h"

#include <vector>

#include "error_text.h"

namespace driver {

Program::~Program()
{
    Terminate();
    if (process_ != NULL)
        CloseHandle(process_);
}

bool Program::StartCommandLine(const std::string &commandLine, std::string *error,
                               const std::string &currentDirectory)
{
    if (Running()) {
        *error = "a program is running already";
        return false;
    }
    if (process_ != NULL)
        CloseHandle(process_);
    process_ = NULL;
    commandLine_ = commandLine;
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const char *directory = currentDirectory.empty() ? NULL : currentDirectory.c_str();
    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, directory, &startup, &info)) {
        *error = "cannot start [" + commandLine + "]: " + ErrorText(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

bool Program::Start(const std::string &exePath, const std::string &rest, std::string *error,
                    const std::string &currentDirectory)
{
    std::string commandLine = "\"" + exePath + "\"";
    if (!rest.empty())
        commandLine += " " + rest;
    return StartCommandLine(commandLine, error, currentDirectory);
}

bool Program::Running() const
{
    return process_ != NULL && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD limitMs, DWORD *exitCode)
{
    if (process_ == NULL || WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_, exitCode) != 0;
}

void Program::Terminate()
{
    if (Running()) {
        TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 10000);
    }
}

}  // namespace driver
