#include "process.h"

#include <vector>

#include "files.h"

namespace e2e {

Program::~Program()
{
    Terminate();
    if (process_ != NULL)
        CloseHandle(process_);
}

bool Program::StartCommandLine(const std::string &commandLine, std::string *error)
{
    if (process_ != NULL) {
        *error = "a program was started already";
        return false;
    }
    commandLine_ = commandLine;
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, writable.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        *error = "cannot start [" + commandLine + "]: " + ErrorText(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

bool Program::Start(const std::string &exePath, const std::string &rest, std::string *error)
{
    std::string commandLine = "\"" + exePath + "\"";
    if (!rest.empty())
        commandLine += " " + rest;
    return StartCommandLine(commandLine, error);
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

}  // namespace e2e
