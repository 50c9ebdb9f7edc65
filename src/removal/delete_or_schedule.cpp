#include "delete_or_schedule.h"

#include "platform/platform.h"
#include "platform/sizes.h"
#include "platform/text.h"

int g_rebootNeeded;

void InitDeletions(void)
{
    g_rebootNeeded = 0;
}

#define WININIT_NAME "\\WININIT.INI"
#define RENAME_SECTION "Rename"
#define RENAME_KEY "NUL="
// The largest section the profile functions of every Windows version return.
#define SECTION_SIZE 32767

// Errors of GetShortPathNameA that mean there is nothing left to delete,
// a share that cannot be reached included.
static int IsMissingError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_DRIVE || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME || error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

// Errors with which GetPrivateProfileSectionA may report an empty section:
// none, or no WININIT.INI yet.
static int IsNoSectionError(DWORD error)
{
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Finds the "NUL=<name>" line for name in a section as
// GetPrivateProfileSectionA returns it: lines ending in a zero each, the
// last followed by a second zero.
static int SectionListsName(const char *section, const char *name)
{
    char line[PATH_SIZE + sizeof(RENAME_KEY)];
    CopyText(line, sizeof(line), RENAME_KEY);
    AppendText(line, sizeof(line), name);
    for (const char *p = section; *p != '\0'; p += TextLength(p, SECTION_SIZE) + 1)
        if (TextEqualNoCase(p, line))
            return 1;
    return 0;
}

// Adds a "NUL=<name>" line to WININIT.INI's [Rename] section, keeping every
// line that is there already: each scheduled item needs a line of its own,
// and other programs' lines must survive.
static int AddWininitLine(const char *name)
{
    char iniPath[PATH_SIZE];
    UINT dirLength = GetWindowsDirectoryA(iniPath, sizeof(iniPath));
    if (dirLength == 0 || dirLength >= sizeof(iniPath) ||
        !AppendText(iniPath, sizeof(iniPath), WININIT_NAME))
        return 0;

    // 0 stands for an empty section and for a failed read alike. A section
    // that could not be read is not written over: its lines would be lost.
    char section[SECTION_SIZE + 1];
    SetLastError(ERROR_SUCCESS);
    DWORD used = GetPrivateProfileSectionA(RENAME_SECTION, section, SECTION_SIZE, iniPath);
    if (used == 0 && !IsNoSectionError(GetLastError()))
        return 0;
    if (used >= SECTION_SIZE - 2)
        return 0;   // a section too large to read whole cannot be written back whole
    section[used] = '\0';
    if (SectionListsName(section, name))
        return 1;

    DWORD lineLength = (DWORD)(sizeof(RENAME_KEY) - 1 + TextLength(name, PATH_SIZE));
    if (used + lineLength + 2 > SECTION_SIZE)
        return 0;
    CopyText(section + used, SECTION_SIZE - used, RENAME_KEY);
    AppendText(section + used, SECTION_SIZE - used, name);
    section[used + lineLength + 1] = '\0';
    return WritePrivateProfileSectionA(RENAME_SECTION, section, iniPath) != 0;
}

int DeleteOrSchedule(const char *path)
{
    if (DeleteFileA(path) || RemoveDirectoryA(path))
        return DELETED_AT_ONCE;

    char shortPath[PATH_SIZE];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath)) {
        if (length == 0 && IsMissingError(GetLastError()))
            return 0;
        // No short form to be had: Windows NT can still take the full path,
        // but WININIT.INI cannot, since it only understands short names.
        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        g_rebootNeeded = 1;
        return 0;
    }

    MoveFileExA(shortPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    g_rebootNeeded = 1;
    return AddWininitLine(shortPath) ? DELETE_SCHEDULED : 0;
}
