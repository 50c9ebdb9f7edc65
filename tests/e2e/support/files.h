// Files and folders on the Windows side, for setting up and checking tests.
#ifndef E2E_SUPPORT_FILES_H
#define E2E_SUPPORT_FILES_H

#include <windows.h>

#include <string>
#include <vector>

#include "driver/error_text.h"

namespace e2e {

bool FileExists(const std::string &path);       // exists and is not a folder
bool DirectoryExists(const std::string &path);  // exists and is a folder

bool ReadBytes(const std::string &path, std::vector<unsigned char> *bytes, std::string *error);
bool WriteBytes(const std::string &path, const std::vector<unsigned char> &bytes, std::string *error);
bool WriteText(const std::string &path, const std::string &text, std::string *error);

// Creates the folder and every missing folder above it.
bool CreateDirectories(const std::string &path, std::string *error);

// Deletes the folder with everything in it; true when it is gone (or was
// never there).
bool RemoveTree(const std::string &path, std::string *error);

// The short (8.3) form of an existing path, "" when there is none.
std::string ShortPath(const std::string &path);

// The folder part of a path: everything before the last backslash.
std::string ParentOf(const std::string &path);

std::string WindowsDirectory();

// A file held open the way a program using it holds it. With the default
// share mode 0 no other process can open or delete it; FILE_SHARE_READ |
// FILE_SHARE_WRITE lets others read it but still not delete it. Released
// when the HeldFile goes away, so a failing test leaves nothing held.
class HeldFile {
public:
    HeldFile() = default;
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    bool Hold(const std::string &path, DWORD shareMode, std::string *error);
    void Release();
    const std::string &path() const { return path_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string path_;
};

// The names in a folder (files and folders, without "." and ".."), sorted.
std::vector<std::string> FolderEntries(const std::string &path);

// The Windows name of a Linux path, through drive Z:, which maps the Linux
// root in a Wine prefix.
std::string WindowsPathOfHostPath(const std::string &hostPath);

}  // namespace e2e

#endif
