#include "restart_list.h"

#include <string.h>

#include "platform/platform.h"
#include "platform/sizes.h"
#include "platform/text.h"

#define WININIT_NAME "\\WININIT.INI"
#define RENAME_SECTION "Rename"
#define RENAME_KEY "NUL="
#define SESSION_MANAGER_KEY "SYSTEM\\CurrentControlSet\\Control\\Session Manager"
#define PENDING_VALUE "PendingFileRenameOperations"
// How the session manager's list names an item: "\??\" and its path.
#define NT_PATH_PREFIX "\\??\\"

// Errors with which GetPrivateProfileSectionA may report an empty section:
// none, or no WININIT.INI yet.
static int IsNoSectionError(DWORD error)
{
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

static int WininitPath(char *path, size_t size)
{
    UINT length = GetWindowsDirectoryA(path, (UINT)size);
    return length != 0 && length < size && AppendText(path, size, WININIT_NAME);
}

// Reads the [Rename] section as GetPrivateProfileSectionA returns it: lines
// ending in a zero each, the last followed by a second zero. Returns 0 when
// it could not be read whole. 0 bytes stand for an empty section and for a
// failed read alike; the error tells them apart.
static int ReadRenameSection(const char *iniPath, char *section, DWORD *used)
{
    SetLastError(ERROR_SUCCESS);
    *used = GetPrivateProfileSectionA(RENAME_SECTION, section, RESTART_LIST_SIZE, iniPath);
    if ((*used == 0 && !IsNoSectionError(GetLastError())) || *used >= RESTART_LIST_SIZE - 2)
        return 0;
    section[*used] = '\0';
    section[*used + 1] = '\0';
    return 1;
}

static int IsRenameKey(const char *line)
{
    char key[sizeof(RENAME_KEY)];
    CopyText(key, sizeof(key), line);
    return TextEqualNoCase(key, RENAME_KEY);
}

int AddWininitLine(const char *name)
{
    char iniPath[PATH_SIZE];
    char section[RESTART_LIST_SIZE + 2];
    DWORD used;
    // A section that could not be read is not written over: its lines
    // would be lost.
    if (!WininitPath(iniPath, sizeof(iniPath)) || !ReadRenameSection(iniPath, section, &used))
        return 0;
    for (const char *p = section; *p != '\0'; p += TextLength(p, RESTART_LIST_SIZE) + 1)
        if (IsRenameKey(p) && TextEqualNoCase(p + sizeof(RENAME_KEY) - 1, name))
            return 1;

    DWORD lineLength = (DWORD)(sizeof(RENAME_KEY) - 1 + TextLength(name, PATH_SIZE));
    if (used + lineLength + 2 > RESTART_LIST_SIZE)
        return 0;
    CopyText(section + used, RESTART_LIST_SIZE - used, RENAME_KEY);
    AppendText(section + used, RESTART_LIST_SIZE - used, name);
    section[used + lineLength + 1] = '\0';
    return WritePrivateProfileSectionA(RENAME_SECTION, section, iniPath) != 0;
}

// Keeps the names at the start of the list, the later ones moved down over
// what is dropped; names only ever shrink, so none is overwritten unread.
static char *KeepName(char *end, const char *name)
{
    size_t length = strlen(name);
    memmove(end, name, length + 1);
    return end + length + 1;
}

// The "NUL=" lines' names: the files Windows 95 deletes.
static int ReadWininitList(RestartList *list)
{
    char iniPath[PATH_SIZE];
    DWORD used;
    list->names[0] = '\0';
    if (!WininitPath(iniPath, sizeof(iniPath)) || !ReadRenameSection(iniPath, list->names, &used)) {
        list->names[0] = '\0';
        return 0;
    }
    char *end = list->names;
    for (char *p = list->names; *p != '\0';) {
        size_t length = strlen(p);
        if (IsRenameKey(p) && p[sizeof(RENAME_KEY) - 1] != '\0')
            end = KeepName(end, p + sizeof(RENAME_KEY) - 1);
        p += length + 1;
    }
    *end = '\0';
    return 1;
}

// The session manager's list: pairs of a source and a target, each ending
// in a zero; an empty target deletes the source.
static int ReadSessionManagerList(RestartList *list)
{
    list->names[0] = '\0';
    HKEY key;
    LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_QUERY_VALUE, &key);
    if (opened != ERROR_SUCCESS)
        return opened == ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    DWORD size = RESTART_LIST_SIZE;
    LSTATUS read = RegQueryValueExA(key, PENDING_VALUE, NULL, &type, (LPBYTE)list->names, &size);
    RegCloseKey(key);
    // No value: nothing waits.
    if (read == ERROR_FILE_NOT_FOUND) {
        list->names[0] = '\0';
        return 1;
    }
    if (read != ERROR_SUCCESS || type != REG_MULTI_SZ || size > RESTART_LIST_SIZE) {
        list->names[0] = '\0';
        return 0;
    }
    list->names[size] = '\0';
    list->names[size + 1] = '\0';
    const char *stop = list->names + size;
    char *end = list->names;
    for (char *p = list->names; p < stop;) {
        char *source = p;
        p += strlen(p) + 1;
        if (p >= stop)
            break;
        const char *target = p;
        p += strlen(p) + 1;
        if (*source == '\0' || *target != '\0')
            continue;
        if (strncmp(source, NT_PATH_PREFIX, sizeof(NT_PATH_PREFIX) - 1) == 0)
            source += sizeof(NT_PATH_PREFIX) - 1;
        end = KeepName(end, source);
    }
    *end = '\0';
    return 1;
}

int ReadRestartList(RestartList *list)
{
    // The top bit of the version is clear on Windows NT.
    return (GetVersion() & 0x80000000) ? ReadWininitList(list) : ReadSessionManagerList(list);
}

int RestartListHolds(const RestartList *list, const char *name)
{
    for (const char *p = list->names; *p != '\0'; p += strlen(p) + 1)
        if (TextEqualNoCase(p, name))
            return 1;
    return 0;
}

int RestartListNames(const RestartList *list, const char *path)
{
    if (RestartListHolds(list, path))
        return 1;
    char shortPath[PATH_SIZE];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    return length != 0 && length < sizeof(shortPath) && RestartListHolds(list, shortPath);
}
