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
// The names a file in use is renamed to: "~MU", five hex digits, ".TMP".
#define RENAME_PREFIX "~MU"
#define RENAME_SUFFIX ".TMP"
#define RENAME_DIGITS 5
#define RENAME_NUMBER_MASK 0xFFFFF
#define RENAME_TRIES 16
#define RENAME_TRY_STEP 0x3C6EFu

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

static int DeleteItem(const char *path, DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path) : DeleteFileA(path);
}

// Files copied from a CD-ROM keep the read-only attribute, which stops a
// deletion now and at the restart alike. Only that bit is cleared: hidden
// and system stop nothing. The item stays without it when it still cannot
// be deleted, so that the deletion at the restart can succeed.
static int DeleteReadOnly(const char *path, DWORD attributes)
{
    DWORD cleared = attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY;
    return SetFileAttributesA(path, cleared != 0 ? cleared : FILE_ATTRIBUTE_NORMAL) &&
           DeleteItem(path, attributes);
}

// FNV-1a over the path with its letters in upper case: the same file's
// name gives the same number whatever case the log writes it in.
static DWORD PathNumber(const char *path)
{
    DWORD hash = 2166136261u;
    for (; *path != '\0'; path++) {
        char c = *path >= 'a' && *path <= 'z' ? (char)(*path - 'a' + 'A') : *path;
        hash = (hash ^ (BYTE)c) * 16777619u;
    }
    return hash;
}

// The name a file is renamed to at the attempt-th try: in its own folder,
// "~MU", five hex digits given by its full path, ".TMP". It is short, so
// that it is its own 8.3 alias, and the same in every run, so that a run
// ended between a rename and its scheduling leaves a file the next run
// finds. Returns 0 when there is no room for it.
static int RenamedPath(const char *path, DWORD attempt, char *renamed, size_t size)
{
    DWORD length = GetFullPathNameA(path, (DWORD)size, renamed, NULL);
    char *separator = length != 0 && length < size ? (char *)FindLastChar(renamed, '\\') : NULL;
    if (separator == NULL)
        return 0;
    DWORD number = PathNumber(renamed) + attempt * RENAME_TRY_STEP;
    separator[1] = '\0';
    return AppendText(renamed, size, RENAME_PREFIX) &&
           AppendHex(renamed, size, number & RENAME_NUMBER_MASK, RENAME_DIGITS) &&
           AppendText(renamed, size, RENAME_SUFFIX);
}

// A file in use (a loaded DLL, a running program) cannot be deleted, yet
// Windows renames it within its folder. The restart then deletes it under
// its new name, and whatever a new install puts at the old path before the
// restart stays. A name already taken (by a file an earlier removal renamed
// and the restart has not deleted yet) is passed over. Returns 1 with the
// new path in renamed; 0 when the file cannot be renamed (held open without
// delete sharing).
static int RenameAside(const char *path, char *renamed, size_t size)
{
    for (DWORD attempt = 0; attempt < RENAME_TRIES; attempt++) {
        if (!RenamedPath(path, attempt, renamed, size))
            return 0;
        if (MoveFileExA(path, renamed, 0))
            return 1;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return 0;
    }
    return 0;
}

// Schedules the item at path for deletion at the next restart.
static DeleteOutcome Schedule(const char *path)
{
    char shortPath[PATH_SIZE];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath)) {
        if (length == 0 && IsMissingError(GetLastError()))
            return DELETE_NOTHING_THERE;
        // No short form to be had: Windows NT can still take the full path,
        // but WININIT.INI cannot, since it only understands short names.
        MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
        g_rebootNeeded = 1;
        return DELETE_SCHEDULED_WITHOUT_LINE;
    }

    MoveFileExA(shortPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    g_rebootNeeded = 1;
    return AddWininitLine(shortPath) ? DELETE_SCHEDULED : DELETE_SCHEDULED_WITHOUT_LINE;
}

// The file at path is gone; a run ended between renaming it aside and
// scheduling it left it under one of the names its renames take. Whatever
// stands there was renamed aside to be deleted: it goes now or at the
// restart.
static DeleteOutcome FinishRenamedAside(const char *path)
{
    char renamed[PATH_SIZE];
    DeleteOutcome result = DELETE_NOTHING_THERE;
    for (DWORD attempt = 0; attempt < RENAME_TRIES && RenamedPath(path, attempt, renamed, sizeof(renamed));
         attempt++) {
        DWORD attributes = GetFileAttributesA(renamed);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            break;
        result = DeleteFileA(renamed) ? DELETED_AT_ONCE : Schedule(renamed);
    }
    return result;
}

DeleteOutcome DeleteOrSchedule(const char *path)
{
    if (DeleteFileA(path) || RemoveDirectoryA(path))
        return DELETED_AT_ONCE;

    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsMissingError(GetLastError()) ? FinishRenamedAside(path) : Schedule(path);
    if ((attributes & FILE_ATTRIBUTE_READONLY) && DeleteReadOnly(path, attributes))
        return DELETED_AT_ONCE;
    char renamed[PATH_SIZE];
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) && RenameAside(path, renamed, sizeof(renamed)))
        return Schedule(renamed);
    return Schedule(path);
}
