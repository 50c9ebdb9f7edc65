// Simulated files and directories: names compared without case, 8.3 aliases,
// read-only and other attributes, renames, files held open or loaded as
// images by other processes, the log's read handle, deletion at restart and
// INI files.
#include "world.h"

#include <cstring>

#include "support/machine_names.h"

namespace sim {
namespace detail {

static const DWORD kBadNetPath = 53;
// Each drive's serial number: this plus its letter.
static const DWORD kVolumeSerial = 0x5E1A0000;
// The attributes an item keeps of what SetFileAttributesA sets.
static const DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

static bool IsValidNameChar(char c)
{
    return (unsigned char)c >= 32 && !strchr("<>:\"|?*", c);
}

// The components of path from start on, as Win32 resolves them: both
// slashes separate (the caller has made them backslashes), "." and ".." are
// resolved, trailing dots and blanks of a component are dropped.
static void ResolveComponents(const std::string &path, size_t start, std::vector<std::string> *parts)
{
    parts->clear();
    while (start < path.size()) {
        size_t end = FindChar(path, '\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part == "..") {
            if (!parts->empty())
                parts->pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        if (!part.empty())
            parts->push_back(part);
    }
}

// Splits a path into its drive and components, the way Win32 normalises it:
// both slashes separate, "." and ".." are resolved, trailing dots and blanks
// of a component are dropped. A relative path starts in the current folder.
static bool SplitPath(const std::string &raw, std::string *drive, std::vector<std::string> *parts,
                      DWORD *error)
{
    std::string path = raw;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    if (path.empty()) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (path.size() >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    if (path.compare(0, 4, "\\\\?\\") == 0)
        path = path.substr(4);
    else if (path.compare(0, 2, "\\\\") == 0) {
        *error = kBadNetPath;
        return false;
    }
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0])) {
        *drive = Upper(path.substr(0, 2));
        start = 2;
    } else {
        // Relative to the current folder, or to its drive's root.
        const std::string &current = TheWorld().currentDirectory;
        *drive = Upper(current.substr(0, 2));
        path = (path[0] == '\\' ? current.substr(0, 2) : current + "\\") + path;
        start = 2;
    }
    // The limit holds for a relative path once made full too.
    if (path.size() >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    ResolveComponents(path, start, parts);
    for (const std::string &part : *parts)
        for (size_t i = 0; i < part.size(); i += CharSize(part, i))
            if (!IsValidNameChar(part[i])) {
                *error = ERROR_INVALID_NAME;
                return false;
            }
    return true;
}

static Node *FindChild(Node *dir, const std::string &name)
{
    std::string wanted = Upper(name);
    for (auto &child : dir->children)
        if (Upper(child->name) == wanted || Upper(child->shortName) == wanted)
            return child.get();
    return nullptr;
}

// Whether the last character of path, read by character, is a separator.
static bool EndsWithSeparator(const std::string &path)
{
    if (path.empty() || (path.back() != '\\' && path.back() != '/'))
        return false;   // the common case, without reading every character
    bool separator = false;
    for (size_t i = 0; i < path.size(); i += CharSize(path, i))
        separator = path[i] == '\\' || path[i] == '/';
    return separator;
}

PathLookup LookUp(const std::string &path)
{
    PathLookup result;
    std::string drive;
    std::vector<std::string> parts;
    if (!SplitPath(path, &drive, &parts, &result.error))
        return result;
    Node *dir = FindChild(TheWorld().drives.get(), drive);
    if (dir == nullptr) {
        result.error = ERROR_PATH_NOT_FOUND;
        return result;
    }
    if (parts.empty()) {
        result.node = dir;
        return result;
    }
    for (size_t i = 0; i + 1 < parts.size(); i++) {
        Node *next = FindChild(dir, parts[i]);
        if (next == nullptr || !next->isDir) {
            result.error = ERROR_PATH_NOT_FOUND;
            return result;
        }
        dir = next;
    }
    result.parent = dir;
    result.lastName = parts.back();
    result.node = FindChild(dir, parts.back());
    if (result.node == nullptr)
        result.error = ERROR_FILE_NOT_FOUND;
    if (result.node != nullptr && !result.node->isDir && EndsWithSeparator(path)) {
        result.fileNamedAsFolder = result.node;
        result.node = nullptr;
        result.parent = nullptr;   // nothing can be made under that name either
        result.error = ERROR_INVALID_NAME;
    }
    return result;
}

static bool IsShortNameChar(char c)
{
    return isalnum((unsigned char)c) || strchr("_^$~!#%&-{}@'`()", c);
}

static bool IsShortName(const std::string &name)
{
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos)
        return false;
    for (char c : base + ext)
        if (!IsShortNameChar(c))
            return false;
    return true;
}

static std::string ShortNameChars(const std::string &text)
{
    std::string out;
    for (char c : Upper(text))
        if (IsShortNameChar(c))
            out += c;
    return out;
}

// A long name's alias: its first letters, "~" and a number, and the first
// three letters of its extension, unique within the directory.
static std::string MakeShortName(Node *parent, const std::string &name)
{
    if (IsShortName(name))
        return name;
    size_t dot = name.find_last_of('.');
    std::string base = ShortNameChars(dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
    std::string ext = dot == std::string::npos || dot == 0 ? "" : ShortNameChars(name.substr(dot + 1));
    if (base.empty())
        base = "X";
    base = base.substr(0, 6);
    ext = ext.substr(0, 3);
    for (int n = 1;; n++) {
        std::string tail = "~" + std::to_string(n);
        std::string candidate = base.substr(0, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext);
        if (FindChild(parent, candidate) == nullptr)
            return candidate;
    }
}

Node *CreateNode(Node *parent, const std::string &name, bool isDir)
{
    auto node = std::make_unique<Node>();
    node->id = ++TheWorld().nextNodeId;
    node->name = name;
    node->shortName = MakeShortName(parent, name);
    node->isDir = isDir;
    node->parent = parent;
    Node *raw = node.get();
    parent->children.push_back(std::move(node));
    return raw;
}

void WriteContent(Node *node, std::string content)
{
    node->content = std::move(content);
    node->written = ++TheWorld().fileClock;
}

void RemoveNode(Node *node)
{
    auto &siblings = node->parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it)
        if (it->get() == node) {
            siblings.erase(it);
            return;
        }
}

std::string LongPathOf(const Node *node)
{
    if (node->parent == TheWorld().drives.get())
        return node->name + "\\";
    std::string parent = LongPathOf(node->parent);
    return parent + (parent.back() == '\\' ? "" : "\\") + node->name;
}

std::string ShortPathOf(const Node *node)
{
    if (node->parent == TheWorld().drives.get())
        return node->name + "\\";
    std::string parent = ShortPathOf(node->parent);
    return parent + (parent.back() == '\\' ? "" : "\\") + node->shortName;
}

static const Node *DriveOf(const Node *node)
{
    while (node->parent != TheWorld().drives.get())
        node = node->parent;
    return node;
}

static DWORD VolumeSerialOf(const Node *node)
{
    return kVolumeSerial + (DWORD)(unsigned char)DriveOf(node)->name[0];
}

DWORD ItemAttributes(const Node *node)
{
    return node->attributes | (node->isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
}

static HANDLE NewHandle(const HandleObject &object)
{
    World &w = TheWorld();
    HANDLE h = (HANDLE)(w.nextHandle += 4);
    w.handles[h] = object;
    return h;
}

HANDLE AddHandle(const HandleObject &object)
{
    auto lock = Lock();
    return NewHandle(object);
}

}  // namespace detail

using namespace detail;

void ResetFiles()
{
    World &w = TheWorld();
    w.nextNodeId = 0;
    w.drives = std::make_unique<Node>();
    w.drives->isDir = true;
    CreateNode(w.drives.get(), "C:", true);
    w.startDirectory = "C:\\";
    w.currentDirectory = w.startDirectory;
    AddDir(w.windowsDirectory);
    AddDir(w.systemDirectory);
}

// Creates path and its missing parents; the last one as a file or directory.
static Node *MakePath(const std::string &path, bool isDir)
{
    std::string drive;
    std::vector<std::string> parts;
    DWORD error = 0;
    if (!SplitPath(path, &drive, &parts, &error))
        throw std::runtime_error("bad simulated path: " + path);
    World &w = TheWorld();
    Node *dir = FindChild(w.drives.get(), drive);
    if (dir == nullptr)
        dir = CreateNode(w.drives.get(), drive, true);
    for (size_t i = 0; i < parts.size(); i++) {
        bool last = i + 1 == parts.size();
        Node *next = FindChild(dir, parts[i]);
        if (next == nullptr)
            next = CreateNode(dir, parts[i], last ? isDir : true);
        dir = next;
    }
    return dir;
}

void AddFile(const std::string &path, const std::string &content)
{
    auto lock = Lock();
    if (EndsWithSeparator(path))
        throw std::runtime_error("a file's name cannot end in a separator: " + path);
    Node *node = MakePath(path, false);
    if (node->isDir)
        throw std::runtime_error("a directory is in the way: " + path);
    WriteContent(node, content);
}

void AddDir(const std::string &path)
{
    auto lock = Lock();
    MakePath(path, true);
}

bool FileExists(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    return found.node != nullptr && !found.node->isDir;
}

bool DirExists(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    return found.node != nullptr && found.node->isDir;
}

std::string FileContent(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr || found.node->isDir)
        throw std::runtime_error("no simulated file: " + path);
    return found.node->content;
}

std::string ShortPath(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr)
        throw std::runtime_error("no simulated item: " + path);
    return ShortPathOf(found.node);
}

static void ListInto(const Node *node, std::vector<std::string> *out)
{
    for (auto &child : node->children) {
        out->push_back(LongPathOf(child.get()));
        ListInto(child.get(), out);
    }
}

std::vector<std::string> ListTree(const std::string &root)
{
    auto lock = Lock();
    std::vector<std::string> out;
    PathLookup found = LookUp(root);
    if (found.node != nullptr)
        ListInto(found.node, &out);
    return out;
}

void HoldFile(const std::string &path, DWORD share, DWORD forMilliseconds)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr)
        throw std::runtime_error("no simulated item to hold: " + path);
    found.node->heldByOthers++;
    found.node->heldShare = share;
    found.node->releaseAfterSleep = forMilliseconds;
}

namespace detail {

static void PassSleepIn(Node *node, DWORD milliseconds)
{
    if (node->releaseAfterSleep != 0) {
        node->releaseAfterSleep = milliseconds < node->releaseAfterSleep ? node->releaseAfterSleep - milliseconds : 0;
        if (node->releaseAfterSleep == 0 && node->heldByOthers > 0)
            node->heldByOthers--;
    }
    for (auto &child : node->children)
        PassSleepIn(child.get(), milliseconds);
}

void PassSleep(DWORD milliseconds)
{
    auto lock = Lock();
    PassSleepIn(TheWorld().drives.get(), milliseconds);
}

}  // namespace detail

void SetCurrentFolder(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr || !found.node->isDir)
        throw std::runtime_error("no simulated folder to start in: " + path);
    TheWorld().startDirectory = LongPathOf(found.node);
    TheWorld().currentDirectory = TheWorld().startDirectory;
}

std::string CurrentFolder()
{
    auto lock = Lock();
    return TheWorld().currentDirectory;
}

void ReleaseFile(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node != nullptr && found.node->heldByOthers > 0)
        found.node->heldByOthers--;
}

void SetAttributes(const std::string &path, DWORD attributes)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr)
        throw std::runtime_error("no simulated item for attributes: " + path);
    found.node->attributes = attributes & kKeptAttributes;
}

DWORD Attributes(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr)
        throw std::runtime_error("no simulated item for attributes: " + path);
    return ItemAttributes(found.node);
}

void LoadImage(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr || found.node->isDir)
        throw std::runtime_error("no simulated file to load: " + path);
    found.node->loadedImage = true;
}

std::vector<std::string> PendingDeletes()
{
    std::vector<std::string> items;
    std::optional<RegValue> value = GetRegValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_RENAMES_VALUE);
    if (!value)
        return items;
    // Pairs of a source and a target, each ending in a zero; an empty target deletes.
    std::vector<std::string> texts;
    for (size_t at = 0; at < value->data.size();) {
        size_t end = value->data.find('\0', at);
        if (end == std::string::npos)
            end = value->data.size();
        texts.push_back(value->data.substr(at, end - at));
        at = end + 1;
    }
    for (size_t i = 0; i + 1 < texts.size(); i += 2) {
        if (texts[i].empty() || !texts[i + 1].empty())
            continue;
        items.push_back(texts[i].compare(0, 4, "\\??\\") == 0 ? texts[i].substr(4) : texts[i]);
    }
    return items;
}

}  // namespace sim

using namespace sim;
using namespace sim::detail;

// Looks up an item that must exist; when it does not, sets the error the
// lookup found and returns false.
static bool LookUpExisting(const char *path, PathLookup *found)
{
    *found = LookUp(path);
    if (found->node == nullptr)
        SetError(found->error);
    return found->node != nullptr;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile)
{
    (void)templateFile;
    if (CallFails("CreateFileA", {Str(name), Hex(access), Hex(share),
                                  security && security->bInheritHandle ? "inherit" : "no-inherit",
                                  Num(disposition), Hex(flags)}))
        return INVALID_HANDLE_VALUE;
    auto lock = Lock();
    if (disposition != OPEN_EXISTING || (access & ~GENERIC_READ) != 0) {
        SetError(ERROR_INVALID_PARAMETER);   // the simulation only opens files for reading
        return INVALID_HANDLE_VALUE;
    }
    PathLookup found;
    if (!LookUpExisting(name, &found))
        return INVALID_HANDLE_VALUE;
    if (found.node->isDir) {
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // An open without access (to ask for the file's identity) meets no
    // other open's sharing.
    if (access != 0 && found.node->heldByOthers > 0 && !(found.node->heldShare & FILE_SHARE_READ)) {
        SetError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    found.node->openCount++;
    HandleObject object{HANDLE_FILE, found.node, 0, LongPathOf(found.node), access};
    object.share = share;
    return AddHandle(object);
}

// The open file a handle stands for (world locked by the caller); NULL, with
// the last error set, for any other handle.
static HandleObject *FileOfHandle(HANDLE file)
{
    auto it = TheWorld().handles.find(file);
    if (it == TheWorld().handles.end() || it->second.kind != HANDLE_FILE) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// A read at an offset (OVERLAPPED) on this synchronous handle reads there,
// whatever the position, and leaves the position after the bytes read; at
// or past the end it fails with ERROR_HANDLE_EOF and moves nothing.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (read != nullptr)
        *read = 0;
    unsigned long long at = overlapped != nullptr ? (unsigned long long)overlapped->OffsetHigh << 32 | overlapped->Offset : 0;
    if (CallFails("ReadFile", {Hex((uintptr_t)file), Num(toRead)}, file, overlapped != nullptr ? &at : nullptr))
        return FALSE;
    auto lock = Lock();
    HandleObject *opened = FileOfHandle(file);
    if (opened == nullptr)
        return FALSE;
    HandleObject &h = *opened;
    const std::string &content = h.node->content;
    if (overlapped == nullptr)
        at = h.position;
    else if (at >= content.size()) {
        overlapped->Internal = 0xC0000011;   // STATUS_END_OF_FILE
        overlapped->InternalHigh = 0;
        SetError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    DWORD n = 0;
    if (at < content.size())
        n = (DWORD)std::min<unsigned long long>(toRead, content.size() - at);
    memcpy(buffer, content.data() + at, n);
    h.position = at + n;
    if (overlapped != nullptr) {
        overlapped->Internal = 0;
        overlapped->InternalHigh = n;
    }
    if (read != nullptr)
        *read = n;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    if (CallFails("SetFilePointer", {Hex((uintptr_t)file), Num((unsigned long long)(long long)distance),
                                     Num(method)}, file))
        return INVALID_SET_FILE_POINTER;
    auto lock = Lock();
    HandleObject *opened = FileOfHandle(file);
    if (opened == nullptr)
        return INVALID_SET_FILE_POINTER;
    HandleObject &h = *opened;
    long long offset = distanceHigh ? (((long long)*distanceHigh) << 32) | (DWORD)distance : distance;
    long long base = method == FILE_BEGIN ? 0 : method == FILE_CURRENT ? (long long)h.position
                                                                        : (long long)h.node->content.size();
    if (base + offset < 0) {
        SetError(131);   // ERROR_NEGATIVE_SEEK
        return INVALID_SET_FILE_POINTER;
    }
    h.position = (unsigned long long)(base + offset);
    if (distanceHigh)
        *distanceHigh = (LONG)(h.position >> 32);
    return (DWORD)h.position;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info)
{
    if (CallFails("GetFileInformationByHandle", {Hex((uintptr_t)file)}, file))
        return FALSE;
    auto lock = Lock();
    HandleObject *opened = FileOfHandle(file);
    if (opened == nullptr)
        return FALSE;
    const Node *node = opened->node;
    memset(info, 0, sizeof(*info));
    info->ftLastWriteTime.dwLowDateTime = (DWORD)node->written;
    info->ftLastWriteTime.dwHighDateTime = (DWORD)(node->written >> 32);
    info->nFileSizeLow = (DWORD)node->content.size();
    info->nFileSizeHigh = (DWORD)((unsigned long long)node->content.size() >> 32);
    info->nNumberOfLinks = 1;
    info->dwFileAttributes = ItemAttributes(node);
    info->dwVolumeSerialNumber = VolumeSerialOf(node);
    info->nFileIndexLow = (DWORD)node->id;
    info->nFileIndexHigh = (DWORD)(node->id >> 32);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object)
{
    if (CallFails("CloseHandle", {Hex((uintptr_t)object)}, object))
        return FALSE;
    auto lock = Lock();
    auto it = TheWorld().handles.find(object);
    if (it == TheWorld().handles.end()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (it->second.kind == HANDLE_FILE && it->second.node != nullptr)
        it->second.node->openCount--;
    if (it->second.kind == HANDLE_MAPPING)
        ReleaseMapping(it->second.path);
    TheWorld().handles.erase(it);
    return TRUE;
}

// Whether every open of the file, the program's and other processes', lets
// it be deleted or renamed.
static bool SharesDelete(const Node *node)
{
    if (node->heldByOthers != 0 && !(node->heldShare & FILE_SHARE_DELETE))
        return false;
    if (node->openCount != 0)
        for (const auto &h : TheWorld().handles)
            if (h.second.kind == HANDLE_FILE && h.second.node == node && !(h.second.share & FILE_SHARE_DELETE))
                return false;
    return true;
}

BOOL WINAPI DeleteFileA(LPCSTR name)
{
    if (CallFails("DeleteFileA", {Str(name)}))
        return FALSE;
    auto lock = Lock();
    PathLookup found;
    if (!LookUpExisting(name, &found))
        return FALSE;
    if (found.node->isDir || (found.node->attributes & FILE_ATTRIBUTE_READONLY) || found.node->loadedImage) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!SharesDelete(found.node)) {
        SetError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    RemoveNode(found.node);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR name)
{
    if (CallFails("RemoveDirectoryA", {Str(name)}))
        return FALSE;
    auto lock = Lock();
    PathLookup found;
    if (!LookUpExisting(name, &found))
        return FALSE;
    if (found.parent == nullptr) {
        SetError(ERROR_ACCESS_DENIED);   // a drive's root
        return FALSE;
    }
    if (!found.node->isDir) {
        SetError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (!found.node->children.empty()) {
        SetError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    // Windows keeps a folder's read-only attribute and refuses to remove it
    // (Wine keeps no such attribute on folders).
    if (found.node->attributes & FILE_ATTRIBUTE_READONLY) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Windows removes no folder that a process has as its current one.
    if (found.node->heldByOthers > 0 || Upper(LongPathOf(found.node)) == Upper(TheWorld().currentDirectory)) {
        SetError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    RemoveNode(found.node);
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name)
{
    if (CallFails("GetFileAttributesA", {Str(name)}))
        return INVALID_FILE_ATTRIBUTES;
    auto lock = Lock();
    PathLookup found;
    if (!LookUpExisting(name, &found)) {
        // As Wine measures it; the other calls say ERROR_INVALID_NAME.
        if (found.fileNamedAsFolder != nullptr)
            SetError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return ItemAttributes(found.node);
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes)
{
    if (CallFails("SetFileAttributesA", {Str(name), Hex(attributes)}))
        return FALSE;
    auto lock = Lock();
    PathLookup found;
    if (!LookUpExisting(name, &found))
        return FALSE;
    found.node->attributes = attributes & kKeptAttributes;
    return TRUE;
}

DWORD WINAPI GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size)
{
    if (CallFails("GetShortPathNameA", {Str(longPath), Num(size)}))
        return 0;
    auto lock = Lock();
    PathLookup found;
    // Wine gives a file named as a folder its short path, separator and all.
    if (!LookUpExisting(longPath, &found) && found.fileNamedAsFolder == nullptr)
        return 0;
    std::string result =
        found.node != nullptr ? ShortPathOf(found.node) : ShortPathOf(found.fileNamedAsFolder) + "\\";
    if (result.size() + 1 > size)
        return (DWORD)result.size() + 1;
    memcpy(shortPath, result.c_str(), result.size() + 1);
    return (DWORD)result.size();
}

namespace sim {

void SetInheritedFilePositions(unsigned long long position)
{
    auto lock = Lock();
    for (auto &h : TheWorld().handles)
        if (h.second.kind == HANDLE_FILE)
            h.second.position = position;
}

std::string FullPathName(const std::string &name)
{
    std::string path = name;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    if (path.empty())
        return "";
    std::string root;
    size_t start = 0;
    if (path.compare(0, 2, "\\\\") == 0) {
        size_t server = FindChar(path, '\\', 2);
        size_t share = server == std::string::npos ? std::string::npos : FindChar(path, '\\', server + 1);
        root = path.substr(0, share);
        start = share == std::string::npos ? path.size() : share;
    } else if (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0])) {
        root = path.substr(0, 2);
        start = 2;
    } else {
        // Relative to the current folder, or to its drive's root.
        std::string current = CurrentFolder();
        root = current.substr(0, 2);
        if (path[0] != '\\')
            path = current.substr(2) + "\\" + path;
    }
    std::vector<std::string> parts;
    ResolveComponents(path, start, &parts);
    std::string result = root;
    for (const std::string &part : parts)
        result += "\\" + part;
    if (parts.empty() || path.back() == '\\')
        result += "\\";
    return result;
}

}  // namespace sim

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR *filePart)
{
    if (CallFails("GetFullPathNameA", {Str(name), Num(size)}))
        return 0;
    if (filePart != nullptr)
        *filePart = nullptr;
    std::string result = sim::FullPathName(name != nullptr ? name : "");
    if (result.empty()) {
        SetError(ERROR_INVALID_NAME);
        return 0;
    }
    if (result.size() + 1 > size)
        return (DWORD)result.size() + 1;
    memcpy(buffer, result.c_str(), result.size() + 1);
    if (filePart != nullptr && result.back() != '\\')
        *filePart = buffer + FindLastOf(result, "\\") + 1;
    return (DWORD)result.size();
}

// Renames a file within its drive, as MoveFileExA without flags does: the
// new name must be free, and every open of the file must share deletion.
static BOOL RenameItem(const char *existing, const char *newName)
{
    PathLookup from;
    if (!LookUpExisting(existing, &from))
        return FALSE;
    PathLookup to = LookUp(newName);
    if (to.node != nullptr) {
        SetError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (to.parent == nullptr) {
        SetError(to.error != 0 ? to.error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (from.parent == nullptr || from.node->isDir || DriveOf(to.parent) != DriveOf(from.node)) {
        SetError(ERROR_ACCESS_DENIED);   // only files within a drive are simulated
        return FALSE;
    }
    if (!SharesDelete(from.node)) {
        SetError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    std::unique_ptr<Node> moved;
    auto &siblings = from.parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it)
        if (it->get() == from.node) {
            moved = std::move(*it);
            siblings.erase(it);
            break;
        }
    moved->name = to.lastName;
    moved->shortName = MakeShortName(to.parent, to.lastName);
    moved->parent = to.parent;
    to.parent->children.push_back(std::move(moved));
    return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags)
{
    if (CallFails("MoveFileExA", {Str(existing), Str(newName), Hex(flags)}))
        return FALSE;
    auto lock = Lock();
    if (flags == 0 && newName != nullptr)
        return RenameItem(existing, newName);
    if (!(flags & MOVEFILE_DELAY_UNTIL_REBOOT) || newName != nullptr) {
        SetError(ERROR_INVALID_PARAMETER);   // only renames and deletions at restart are simulated
        return FALSE;
    }
    // As Windows NT keeps it: "\??\", the name as given, and an empty target.
    std::optional<RegValue> value = GetRegValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_RENAMES_VALUE);
    std::string data = value ? value->data : "";
    if (!data.empty() && data.back() == '\0')
        data.pop_back();
    data += std::string("\\??\\") + existing + '\0' + '\0' + '\0';
    SetRegValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, PENDING_RENAMES_VALUE, REG_MULTI_SZ, data);
    return TRUE;
}

// Gives a search's next name (world locked).
static BOOL NextEntry(HandleObject &search, LPWIN32_FIND_DATAA found)
{
    if (search.entries.empty()) {
        SetError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    memset(found, 0, sizeof(*found));
    snprintf(found->cFileName, sizeof(found->cFileName), "%s", search.entries.front().first.c_str());
    snprintf(found->cAlternateFileName, sizeof(found->cAlternateFileName), "%s",
             search.entries.front().second.c_str());
    search.entries.erase(search.entries.begin());
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found)
{
    if (CallFails("FindFirstFileA", {Str(pattern)}))
        return INVALID_HANDLE_VALUE;
    auto lock = Lock();
    // Only a folder's whole listing is simulated: "<folder>\*".
    std::string text = pattern;
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\\*") != 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    PathLookup folder;
    if (!LookUpExisting(text.substr(0, text.size() - 2).c_str(), &folder))
        return INVALID_HANDLE_VALUE;
    if (!folder.node->isDir) {
        SetError(ERROR_DIRECTORY);
        return INVALID_HANDLE_VALUE;
    }
    HandleObject search{HANDLE_SEARCH, nullptr, 0, LongPathOf(folder.node)};
    // A drive's root lists no "." and "..".
    if (folder.parent != nullptr)
        search.entries = {{".", ""}, {"..", ""}};
    for (const auto &child : folder.node->children)
        search.entries.push_back({child->name, child->shortName == child->name ? "" : child->shortName});
    if (search.entries.empty()) {
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    NextEntry(search, found);
    return NewHandle(search);
}

BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found)
{
    if (CallFails("FindNextFileA", {Hex((uintptr_t)search)}))
        return FALSE;
    auto lock = Lock();
    auto it = TheWorld().handles.find(search);
    if (it == TheWorld().handles.end() || it->second.kind != HANDLE_SEARCH) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return NextEntry(it->second, found);
}

BOOL WINAPI FindClose(HANDLE search)
{
    if (CallFails("FindClose", {Hex((uintptr_t)search)}))
        return FALSE;
    auto lock = Lock();
    auto it = TheWorld().handles.find(search);
    if (it == TheWorld().handles.end() || it->second.kind != HANDLE_SEARCH) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    TheWorld().handles.erase(it);
    return TRUE;
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path)
{
    if (CallFails("SetCurrentDirectoryA", {Str(path)}))
        return FALSE;
    auto lock = Lock();
    PathLookup found;
    if (!LookUpExisting(path, &found))
        return FALSE;
    if (!found.node->isDir) {
        SetError(ERROR_DIRECTORY);
        return FALSE;
    }
    TheWorld().currentDirectory = LongPathOf(found.node);
    return TRUE;
}

static UINT CopyDirectory(const std::string &dir, LPSTR buffer, UINT size)
{
    if (dir.size() + 1 > size)
        return (UINT)dir.size() + 1;
    memcpy(buffer, dir.c_str(), dir.size() + 1);
    return (UINT)dir.size();
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size)
{
    if (CallFails("GetWindowsDirectoryA", {Num(size)}))
        return 0;
    auto lock = Lock();
    return CopyDirectory(TheWorld().windowsDirectory, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    if (CallFails("GetSystemDirectoryA", {Num(size)}))
        return 0;
    auto lock = Lock();
    return CopyDirectory(TheWorld().systemDirectory, buffer, size);
}

namespace sim {

std::optional<std::string> ResolvePath(const std::string &path)
{
    auto lock = Lock();
    PathLookup found = LookUp(path);
    if (found.node == nullptr)
        return std::nullopt;
    return LongPathOf(found.node);
}

static void CollectItems(const Node *node, std::vector<ItemInfo> *out)
{
    for (auto &child : node->children) {
        const Node *n = child.get();
        out->push_back(ItemInfo{LongPathOf(n), ShortPathOf(n), n->isDir, n->content, n->written, n->id,
                                VolumeSerialOf(n), ItemAttributes(n), n->loadedImage,
                                n->heldByOthers > 0 && !(n->heldShare & FILE_SHARE_DELETE), n->heldByOthers > 0});
        CollectItems(child.get(), out);
    }
}

std::vector<ItemInfo> AllItems()
{
    auto lock = Lock();
    std::vector<ItemInfo> out;
    for (auto &drive : TheWorld().drives->children)
        CollectItems(drive.get(), &out);
    return out;
}

}  // namespace sim
