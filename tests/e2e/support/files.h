// Files and folders on the Windows side, for setting up and checking tests.
#ifndef E2E_SUPPORT_FILES_H
#define E2E_SUPPORT_FILES_H

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// "error 32 (The process cannot access the file ...)" for a Win32 error code.
std::string ErrorText(DWORD error);

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

// The Windows name of a Linux path, through drive Z:, which maps the Linux
// root in a Wine prefix.
std::string WindowsPathOfHostPath(const std::string &hostPath);

}  // namespace e2e

#endif
