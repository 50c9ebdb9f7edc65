// A custom uninstall program for the end-to-end tests. It does what the
// file <own path>.in tells it and writes what it saw to <own path>.out, so
// that a test can place copies of it under any name and learn afterwards
// whether each ran, with which command line, and what it found. When the
// environment variable E2E_CUSTOM_JOURNAL names a file, each run also adds
// its own path there, which gives the order of the runs.
//
// Lines of the .in file (all optional):
//   exit N        end with exit status N (default 0)
//   exists PATH   write "exists: PATH" or "missing: PATH"
//   log PATH      PATH is the install log the uninstaller has open: write
//                 "log in use: yes" when another process holds it open
//                 (opening it for deletion fails with a sharing violation),
//                 and "inherited log: NAME" with the application's name
//                 read through a handle on PATH inherited from the parent
//                 ("inherited log: none" when there is no such handle)
//   read N PATH   read N records of PATH, the install log, from its start
//                 through the inherited handle (to its end when it holds
//                 fewer), and leave the position the handle shares with the
//                 parent there: write "records read through the inherited
//                 log: COUNT" ("none" for COUNT without such a handle)
//   wait PATH     a slow program: create <own path>.waiting, then wait until
//                 PATH exists (for a minute at most) and delete it; write
//                 "waited: yes" or "waited: no"
//
// Lines of the .out file, in this order:
//   command line: <the command line exactly as the program received it>
//   then one line for each exists and read line and two for each log line
//   of the .in file.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string OwnPath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    return length > 0 && length < sizeof(path) ? std::string(path, length) : std::string();
}

bool ReadWhole(const std::string &path, std::string *text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got > 0)
        text->append(chunk, got);
    CloseHandle(file);
    return true;
}

void Append(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    CloseHandle(file);
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Another process holds the file open without sharing deletion.
bool HeldElsewhere(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Looks through this process's handle values for a file handle on path
// that the program did not open itself, so one it inherited; NULL when
// there is none.
HANDLE InheritedHandle(const std::string &path)
{
    char wanted[MAX_PATH];
    if (!GetFullPathNameA(path.c_str(), sizeof(wanted), wanted, NULL))
        return NULL;
    for (ULONG_PTR value = 4; value < 0x2000; value += 4) {
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        if (GetFileType(handle) != FILE_TYPE_DISK)
            continue;
        char name[MAX_PATH + 8];
        DWORD length = GetFinalPathNameByHandleA(handle, name, sizeof(name), FILE_NAME_NORMALIZED);
        if (length == 0 || length >= sizeof(name))
            continue;
        std::string found(name, length);
        if (found.compare(0, 4, "\\\\?\\") == 0)
            found = found.substr(4);
        if (lstrcmpiA(found.c_str(), wanted) == 0)
            return handle;
    }
    return NULL;
}

// The first record's name, read through the inherited handle. The handle
// shares its file position with the parent's, which is reading the log
// too, so the position is put back.
std::string NameThroughInheritedHandle(const std::string &path)
{
    HANDLE handle = InheritedHandle(path);
    if (handle == NULL)
        return "none";
    LONG high = 0;
    DWORD position = SetFilePointer(handle, 0, &high, FILE_CURRENT);
    char record[516];
    DWORD got = 0;
    bool read = SetFilePointer(handle, 0, NULL, FILE_BEGIN) == 0 &&
                ReadFile(handle, record, sizeof(record), &got, NULL) && got == sizeof(record);
    SetFilePointer(handle, static_cast<LONG>(position), &high, FILE_BEGIN);
    if (!read)
        return "unreadable";
    return std::string(record + 4, strnlen(record + 4, 256));
}

// Reads up to count records from the start through the inherited handle,
// leaving the shared position after the last one read.
std::string RecordsReadThroughInheritedHandle(const std::string &path, int count)
{
    HANDLE handle = InheritedHandle(path);
    if (handle == NULL)
        return "none";
    char record[516];
    DWORD got = 0;
    int read = 0;
    SetFilePointer(handle, 0, NULL, FILE_BEGIN);
    while (read < count && ReadFile(handle, record, sizeof(record), &got, NULL) && got == sizeof(record))
        read++;
    return std::to_string(read);
}

}  // namespace

int main()
{
    const std::string self = OwnPath();
    std::string out = "command line: " + std::string(GetCommandLineA()) + "\r\n";
    char journal[MAX_PATH];
    DWORD journalLength = GetEnvironmentVariableA("E2E_CUSTOM_JOURNAL", journal, sizeof(journal));
    if (journalLength > 0 && journalLength < sizeof(journal))
        Append(journal, self + "\r\n");

    std::string instructions;
    int status = 0;
    if (ReadWhole(self + ".in", &instructions)) {
        for (const std::string &line : Lines(instructions)) {
            if (line.compare(0, 5, "exit ") == 0) {
                status = atoi(line.c_str() + 5);
            } else if (line.compare(0, 7, "exists ") == 0) {
                std::string path = line.substr(7);
                DWORD attributes = GetFileAttributesA(path.c_str());
                out += (attributes != INVALID_FILE_ATTRIBUTES ? "exists: " : "missing: ") + path + "\r\n";
            } else if (line.compare(0, 4, "log ") == 0) {
                std::string path = line.substr(4);
                out += std::string("log in use: ") + (HeldElsewhere(path) ? "yes" : "no") + "\r\n";
                out += "inherited log: " + NameThroughInheritedHandle(path) + "\r\n";
            } else if (line.compare(0, 5, "wait ") == 0) {
                std::string path = line.substr(5);
                Append(self + ".waiting", "");
                bool came = false;
                for (int tenths = 0; tenths < 600 && !came; tenths++) {
                    came = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
                    if (!came)
                        Sleep(100);
                }
                DeleteFileA(path.c_str());
                out += std::string("waited: ") + (came ? "yes" : "no") + "\r\n";
            } else if (line.compare(0, 5, "read ") == 0) {
                size_t blank = line.find(' ', 5);
                std::string path = blank == std::string::npos ? "" : line.substr(blank + 1);
                out += "records read through the inherited log: " +
                       RecordsReadThroughInheritedHandle(path, atoi(line.c_str() + 5)) + "\r\n";
            }
        }
    }
    Append(self + ".out", out);
    return status;
}
