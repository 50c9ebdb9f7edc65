#include "console_program.h"

#include <vector>

#include "files.h"

namespace e2e {

bool RunConsoleProgram(const std::string &commandLine, DWORD limitMs, DWORD *exitCode, std::string *output,
                       std::string *error)
{
    char folder[MAX_PATH];
    char outputPath[MAX_PATH];
    if (!GetTempPathA(sizeof(folder), folder) || !GetTempFileNameA(folder, "e2e", 0, outputPath)) {
        *error = "no file for the output of [" + commandLine + "]: " + driver::ErrorText(GetLastError());
        return false;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE out = CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE) {
        *error = std::string("cannot create ") + outputPath + ": " + driver::ErrorText(GetLastError());
        return false;
    }
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = NULL;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION info = {};
    bool ok = CreateProcessA(NULL, writable.data(), NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                             &info) != 0;
    CloseHandle(out);
    if (!ok) {
        *error = "cannot start [" + commandLine + "]: " + driver::ErrorText(GetLastError());
    } else {
        CloseHandle(info.hThread);
        if (WaitForSingleObject(info.hProcess, limitMs) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 0xDEAD);
            WaitForSingleObject(info.hProcess, 10000);
            *error = "[" + commandLine + "] still ran after " + std::to_string(limitMs) + " ms";
            ok = false;
        } else if (!GetExitCodeProcess(info.hProcess, exitCode)) {
            *error = "no exit code for [" + commandLine + "]: " + driver::ErrorText(GetLastError());
            ok = false;
        }
        CloseHandle(info.hProcess);
    }
    std::vector<unsigned char> bytes;
    std::string ignored;
    if (ReadBytes(outputPath, &bytes, &ignored))
        output->assign(bytes.begin(), bytes.end());
    DeleteFileA(outputPath);
    return ok;
}

}  // namespace e2e
