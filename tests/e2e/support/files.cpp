#include "files.h"

#include <algorithm>

namespace e2e {

static bool Fail(std::string *error, const std::string &what)
{
    DWORD code = GetLastError();
    if (error)
        *error = what + ": " + driver::ErrorText(code);
    return false;
}

bool FileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadBytes(const std::string &path, std::vector<unsigned char> *bytes, std::string *error)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(error, "cannot open " + path);
    bytes->clear();
    unsigned char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &got, NULL) != 0) && got > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    if (!ok)
        Fail(error, "cannot read " + path);
    CloseHandle(file);
    return ok;
}

bool WriteBytes(const std::string &path, const std::vector<unsigned char> &bytes, std::string *error)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(error, "cannot create " + path);
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) &&
               written == bytes.size());
    if (!ok)
        Fail(error, "cannot write " + path);
    CloseHandle(file);
    return ok;
}

bool WriteText(const std::string &path, const std::string &text, std::string *error)
{
    return WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()), error);
}

bool CreateDirectories(const std::string &path, std::string *error)
{
    if (DirectoryExists(path))
        return true;
    std::string parent = ParentOf(path);
    // Stop at the drive ("C:").
    if (parent.size() > 2 && !CreateDirectories(parent, error))
        return false;
    if (!CreateDirectoryA(path.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail(error, "cannot create folder " + path);
    return true;
}

bool RemoveTree(const std::string &path, std::string *error)
{
    if (!DirectoryExists(path)) {
        if (FileExists(path) && !DeleteFileA(path.c_str()))
            return Fail(error, "cannot delete " + path);
        return true;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            bool ok = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                          ? RemoveTree(child, error)
                          : (DeleteFileA(child.c_str()) || Fail(error, "cannot delete " + child));
            if (!ok) {
                FindClose(search);
                return false;
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!RemoveDirectoryA(path.c_str()))
        return Fail(error, "cannot remove folder " + path);
    return true;
}

std::string ShortPath(const std::string &path)
{
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath))
        return "";
    return shortPath;
}

std::string ParentOf(const std::string &path)
{
    // Found by character: on a double-byte code page the second byte of a
    // character may be a backslash.
    size_t slash = std::string::npos;
    for (size_t i = 0; i < path.size(); i += IsDBCSLeadByte((BYTE)path[i]) && i + 1 < path.size() ? 2 : 1)
        if (path[i] == '\\')
            slash = i;
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string WindowsDirectory()
{
    char directory[MAX_PATH];
    UINT length = GetWindowsDirectoryA(directory, sizeof(directory));
    return length > 0 && length < sizeof(directory) ? directory : "";
}

bool HeldFile::Hold(const std::string &path, DWORD shareMode, std::string *error)
{
    Release();
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, shareMode, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle_ == INVALID_HANDLE_VALUE)
        return Fail(error, "cannot hold " + path);
    path_ = path;
    return true;
}

void HeldFile::Release()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

std::vector<std::string> FolderEntries(const std::string &path)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::string WindowsPathOfHostPath(const std::string &hostPath)
{
    std::string path = "Z:" + hostPath;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

}  // namespace e2e
