#include "restart.h"

#include <windows.h>
#include <tlhelp32.h>

#include "driver/process.h"
#include "files.h"
#include "support/machine_names.h"

namespace e2e {

const char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

// A restart of the prefix takes well under a second; this only catches a hang.
static const DWORD kRestartLimitMs = 60000;

std::string WininitPath()
{
    return WindowsDirectory() + "\\" WININIT_NAME;
}

static std::string Trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    size_t end = text.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

std::vector<std::string> IniSectionLines(const std::string &path, const std::string &section)
{
    std::vector<std::string> lines;
    std::vector<unsigned char> bytes;
    std::string ignored;
    if (!ReadBytes(path, &bytes, &ignored))
        return lines;
    std::string text(bytes.begin(), bytes.end());
    bool inSection = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            inSection = lstrcmpiA(name.c_str(), section.c_str()) == 0;
            continue;
        }
        if (inSection)
            lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> WininitRenameLines()
{
    return IniSectionLines(WininitPath(), WININIT_RENAME_SECTION);
}

bool ReadPendingOperations(std::vector<PendingOperation> *operations, std::string *error)
{
    operations->clear();
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        *error = std::string("cannot open ") + kSessionManagerKey + ": " + driver::ErrorText(status);
        return false;
    }
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExA(key, kPendingValue, NULL, &type, NULL, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        RegCloseKey(key);
        return true;
    }
    std::vector<char> data(size + 2, '\0');
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, kPendingValue, NULL, &type,
                                  reinterpret_cast<BYTE *>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) {
        *error = std::string("cannot read ") + kPendingValue + ": " + driver::ErrorText(status) +
                 ", type " + std::to_string(type);
        return false;
    }
    // Strings in pairs, each zero-terminated; the whole ends with a second zero.
    std::vector<std::string> strings;
    size_t pos = 0;
    while (pos < size) {
        std::string item(data.data() + pos);
        pos += item.size() + 1;
        strings.push_back(item);
    }
    // The list's final terminator reads as one more empty string.
    if (strings.size() % 2 == 1 && strings.back().empty())
        strings.pop_back();
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        operations->push_back({strings[i], strings[i + 1]});
    if (strings.size() % 2 == 1)
        operations->push_back({strings.back(), ""});
    return true;
}

bool ClearScheduledDeletions(std::string *error)
{
    for (const std::string &path : {WininitPath(), WindowsDirectory() + "\\wininit.bak"}) {
        if (FileExists(path) && !DeleteFileA(path.c_str())) {
            *error = "cannot delete " + path + ": " + driver::ErrorText(GetLastError());
            return false;
        }
    }
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueA(key, kPendingValue);
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = std::string("cannot delete ") + kPendingValue + ": " + driver::ErrorText(status);
        return false;
    }
    return true;
}

bool SimulateRestart(std::string *error)
{
    driver::Program wineboot;
    std::string commandLine = WindowsDirectory() + "\\system32\\wineboot.exe -r";
    if (!wineboot.StartCommandLine(commandLine, error))
        return false;
    DWORD exitCode = 0;
    if (!wineboot.WaitForExit(kRestartLimitMs, &exitCode)) {
        *error = "wineboot -r did not end within " + std::to_string(kRestartLimitMs) + " ms";
        return false;
    }
    if (exitCode != 0) {
        *error = "wineboot -r ended with exit code " + std::to_string(exitCode);
        return false;
    }
    return true;
}

std::map<DWORD, std::string> PrefixProcesses()
{
    std::map<DWORD, std::string> processes;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry))
        processes[entry.th32ProcessID] = entry.szExeFile;
    CloseHandle(snapshot);
    return processes;
}

bool RestartUnderWay()
{
    for (const auto &process : PrefixProcesses())
        if (lstrcmpiA(process.second.c_str(), "wineboot.exe") == 0)
            return true;
    return false;
}

}  // namespace e2e
