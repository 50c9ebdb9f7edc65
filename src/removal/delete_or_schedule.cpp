#include "delete_or_schedule.h"

#include "log/install_log.h"
#include "platform/sizes.h"
#include "platform/text.h"
#include "restart_list.h"

int g_rebootNeeded;

// The names a file in use is renamed to: "~MU", five hex digits, ".TMP".
#define RENAME_PREFIX "~MU"
#define RENAME_SUFFIX ".TMP"
#define RENAME_DIGITS 5
#define RENAME_NUMBER_MASK 0xFFFFF
#define RENAME_TRIES 16
#define RENAME_TRY_STEP 0x3C6EFu

// Scanners and indexers hold a file they read for tens or hundreds of
// milliseconds. A removal waits for such holds in pauses, HOLD_WAIT_TOTAL in
// all: files that a running program keeps open for good then cost no more
// than that, however many there are.
#define HOLD_WAIT_TOTAL 3000
#define HOLD_WAIT_PAUSE 100

static DWORD g_holdWaitLeft;

// The open log: its volume and file index, which name it in any spelling,
// and its short path, which names the folders it lies in ("" when not known).
static struct {
    int known;
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    char shortPath[PATH_SIZE];
} g_openLog;

// The log's folders that directory records name and that held nothing but
// the log's path when the directories' pass came to them, by their depth
// (the separators in their full paths); deeper ones are not kept, and stay
// as any folder of the log.
#define LOG_FOLDER_DEPTHS 64
static unsigned long long g_logFoldersLeft;

// The separators in path, read by character.
static size_t Depth(const char *path)
{
    size_t depth = 0;
    for (; *path != '\0'; path += CharLength(path))
        depth += IsPathSeparator(*path);
    return depth;
}

void InitDeletions(const char *logFullPath, const BY_HANDLE_FILE_INFORMATION *log)
{
    g_rebootNeeded = 0;
    g_holdWaitLeft = HOLD_WAIT_TOTAL;
    g_logFoldersLeft = 0;
    g_openLog.known = log != NULL;
    if (log != NULL) {
        g_openLog.volume = log->dwVolumeSerialNumber;
        g_openLog.indexHigh = log->nFileIndexHigh;
        g_openLog.indexLow = log->nFileIndexLow;
    }
    DWORD length = logFullPath[0] != '\0' ? GetShortPathNameA(logFullPath, g_openLog.shortPath,
                                                                sizeof(g_openLog.shortPath))
                                           : 0;
    if (length == 0 || length >= sizeof(g_openLog.shortPath))
        g_openLog.shortPath[0] = '\0';
}

// Errors of GetShortPathNameA that mean there is nothing left to delete,
// a share that cannot be reached included.
static int IsMissingError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_DRIVE || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME || error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

// Waits a pause for another program to let go of a file, while the
// removal's time for such waits lasts. Returns 0 once it is spent.
static int WaitForRelease(void)
{
    if (g_holdWaitLeft == 0)
        return 0;
    DWORD pause = g_holdWaitLeft < HOLD_WAIT_PAUSE ? g_holdWaitLeft : HOLD_WAIT_PAUSE;
    Sleep(pause);
    g_holdWaitLeft -= pause;
    return 1;
}

// Whether path names the log this program holds open. Opened without
// access, a file can be asked for its identity whoever holds it; without
// the log's identity, its short path tells it.
static int IsOpenLog(const char *path)
{
    if (g_logFile == INVALID_HANDLE_VALUE)
        return 0;
    if (!g_openLog.known) {
        char shortPath[PATH_SIZE];
        DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
        return g_openLog.shortPath[0] != '\0' && length != 0 && length < sizeof(shortPath) &&
               TextEqualNoCase(shortPath, g_openLog.shortPath);
    }
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION information;
    int same = GetFileInformationByHandle(file, &information) &&
               information.dwVolumeSerialNumber == g_openLog.volume &&
               information.nFileIndexHigh == g_openLog.indexHigh && information.nFileIndexLow == g_openLog.indexLow;
    CloseHandle(file);
    return same;
}

enum Waiting { NOT_WAITING, WAITING, NOT_KNOWN };

// Whether the restart deletes the item at path already; byName: the list
// is looked up for path as it stands (a short path), else for the item.
static Waiting WaitsForRestart(const char *path, int byName)
{
    RestartList list;
    if (!ReadRestartList(&list))
        return NOT_KNOWN;
    return (byName ? RestartListHolds(&list, path) : RestartListNames(&list, path)) ? WAITING : NOT_WAITING;
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
// and the restart has not deleted yet) is passed over. Returns
// ERROR_SUCCESS with the new path in renamed, else why the file could not
// be renamed (ERROR_SHARING_VIOLATION: held open without delete sharing).
static DWORD RenameAside(const char *path, char *renamed, size_t size)
{
    DWORD error = ERROR_FILENAME_EXCED_RANGE;
    for (DWORD attempt = 0; attempt < RENAME_TRIES; attempt++) {
        if (!RenamedPath(path, attempt, renamed, size))
            return ERROR_FILENAME_EXCED_RANGE;
        if (MoveFileExA(path, renamed, 0))
            return ERROR_SUCCESS;
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            break;
    }
    return error;
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

    g_rebootNeeded = 1;
    // Scheduled already, by a run that was ended or for a record naming the
    // item before: Windows NT would delete it twice.
    int waiting = WaitsForRestart(shortPath, 1) == WAITING;
    if (!waiting)
        MoveFileExA(shortPath, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
    int line = AddWininitLine(shortPath);
    return waiting ? DELETE_WAITING_ALREADY : line ? DELETE_SCHEDULED : DELETE_SCHEDULED_WITHOUT_LINE;
}

// A file renamed aside that waits for the restart already (this run or an
// earlier one scheduled it) is left to it: deleted now, it would leave its
// scheduled deletion behind, which would delete whatever a later install
// puts under that name. When what waits cannot be read, it is scheduled
// rather than deleted.
static DeleteOutcome DeleteRenamedAside(const char *renamed)
{
    if (WaitsForRestart(renamed, 0) == NOT_WAITING && DeleteFileA(renamed))
        return DELETED_AT_ONCE;
    return Schedule(renamed);
}

// The file at path is gone; a run ended between renaming it aside and
// scheduling it left it under one of the names its renames take, and a
// record naming the file again finds it there too. Whatever stands there
// was renamed aside to be deleted: it goes now or at the restart.
static DeleteOutcome FinishRenamedAside(const char *path)
{
    char renamed[PATH_SIZE];
    DeleteOutcome result = DELETE_NOTHING_THERE;
    for (DWORD attempt = 0; attempt < RENAME_TRIES && RenamedPath(path, attempt, renamed, sizeof(renamed));
         attempt++) {
        DWORD attributes = GetFileAttributesA(renamed);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            break;
        result = DeleteRenamedAside(renamed);
    }
    return result;
}

// A file that could not be deleted: renamed aside where Windows allows it,
// else waited for while another program holds it for a moment, else
// scheduled under its own name.
static DeleteOutcome DeleteFileInUse(const char *path, DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_READONLY) && DeleteReadOnly(path, attributes))
        return DELETED_AT_ONCE;
    char renamed[PATH_SIZE];
    for (;;) {
        DWORD error = RenameAside(path, renamed, sizeof(renamed));
        if (error == ERROR_SUCCESS)
            return Schedule(renamed);
        if (error != ERROR_SHARING_VIOLATION || !WaitForRelease())
            return Schedule(path);
        if (DeleteFileA(path))
            return DELETED_AT_ONCE;
    }
}

// "." and "..", which every folder but a drive's root lists.
static int IsDotEntry(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// path, a separator unless path ends in one, and name.
static int JoinPath(char *joined, size_t size, const char *path, const char *name)
{
    if (!CopyText(joined, size, path))
        return 0;
    const char *last = joined;
    for (const char *p = joined; *p != '\0'; p += CharLength(p))
        last = p;
    return (IsPathSeparator(*last) || AppendText(joined, size, "\\")) && AppendText(joined, size, name);
}

enum FolderAtRestart {
    FOLDER_EMPTIED,      // all it holds waits for the restart (or it holds nothing), or it waits itself
    FOLDER_KEEPS_ITEMS,  // it holds what no restart deletes, or what it holds cannot be read
    FOLDER_HOLDS_LOG     // it holds the open log and nothing that waits
};

// The short name of the item directly in the folder of short path
// shortFolder that the open log lies in or is, into name; 0 when the log is
// not open or lies elsewhere.
static int LogPathBelow(const char *shortFolder, char *name, size_t size)
{
    size_t length = TextLength(shortFolder, PATH_SIZE);
    if (g_logFile == INVALID_HANDLE_VALUE || length == 0 || length >= PATH_SIZE - 1 ||
        g_openLog.shortPath[length] != '\\')
        return 0;
    // The log's path cut where the folder's ends, between two characters.
    char prefix[PATH_SIZE];
    CopyText(prefix, length + 1, g_openLog.shortPath);
    if (!TextEqualNoCase(prefix, shortFolder))
        return 0;
    const char *below = g_openLog.shortPath + length + 1;
    const char *end = below;
    while (*end != '\0' && *end != '\\')
        end += CharLength(end);
    size_t nameLength = (size_t)(end - below);
    if (nameLength == 0 || nameLength >= size)
        return 0;
    CopyText(name, nameLength + 1, below);
    return 1;
}

// Whether the entry found is the one named name (its short name, or its
// long one where that is already short).
static int IsEntry(const WIN32_FIND_DATAA *found, const char *name)
{
    return TextEqualNoCase(found->cAlternateFileName[0] != '\0' ? found->cAlternateFileName : found->cFileName, name);
}

// What the restart leaves of the folder at path, whose depth is set. The
// open log counts as gone, since it is deleted after the removal, before
// any restart; but a folder that holds the log or a folder on its path, and
// nothing else that waits, is left to that step.
static FolderAtRestart FolderAfterRestart(const char *path, size_t *depth)
{
    RestartList list;
    if (!ReadRestartList(&list))
        return FOLDER_KEEPS_ITEMS;
    if (RestartListNames(&list, path))
        return FOLDER_EMPTIED;
    char shortFolder[PATH_SIZE];
    char logName[PATH_SIZE];
    DWORD length = GetShortPathNameA(path, shortFolder, sizeof(shortFolder));
    int logBelow = length != 0 && length < sizeof(shortFolder) && LogPathBelow(shortFolder, logName, sizeof(logName));
    *depth = logBelow ? Depth(shortFolder) : 0;
    char item[PATH_SIZE];
    if (!JoinPath(item, sizeof(item), path, "*"))
        return FOLDER_KEEPS_ITEMS;
    WIN32_FIND_DATAA found;
    // Every folder but a drive's root lists "." and "..": a search that
    // finds nothing could not read the folder.
    HANDLE search = FindFirstFileA(item, &found);
    if (search == INVALID_HANDLE_VALUE)
        return FOLDER_KEEPS_ITEMS;
    FolderAtRestart result = FOLDER_EMPTIED;
    int holdsLog = 0;
    int holdsWaiting = 0;
    do {
        if (IsDotEntry(found.cFileName))
            continue;
        if (logBelow && IsEntry(&found, logName)) {
            holdsLog = 1;
        } else if (JoinPath(item, sizeof(item), path, found.cFileName) && RestartListNames(&list, item)) {
            holdsWaiting = 1;
        } else {
            result = FOLDER_KEEPS_ITEMS;
            break;
        }
    } while (FindNextFileA(search, &found));
    if (result == FOLDER_EMPTIED && GetLastError() != ERROR_NO_MORE_FILES)
        result = FOLDER_KEEPS_ITEMS;
    else if (result == FOLDER_EMPTIED && holdsLog && !holdsWaiting)
        result = FOLDER_HOLDS_LOG;
    FindClose(search);
    return result;
}

// A folder that is not empty goes at the restart only when the restart
// empties it; else it stays, and asks for no restart: the user's own files
// in it keep it, restart or not.
static DeleteOutcome ScheduleFolder(const char *path)
{
    size_t depth;
    switch (FolderAfterRestart(path, &depth)) {
    case FOLDER_EMPTIED:
        return Schedule(path);
    case FOLDER_HOLDS_LOG:
        if (depth < LOG_FOLDER_DEPTHS)
            g_logFoldersLeft |= 1ull << depth;
        return DELETE_LOG_FOLDER_LEFT;
    case FOLDER_KEEPS_ITEMS:
        break;
    }
    return DELETE_FOLDER_KEPT;
}

// A folder that could not be removed (error says why): waited for while
// another program holds it for a moment.
static DeleteOutcome RemoveFolderInUse(const char *path, DWORD attributes, DWORD error)
{
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        if (DeleteReadOnly(path, attributes))
            return DELETED_AT_ONCE;
        error = GetLastError();
    }
    while (error == ERROR_SHARING_VIOLATION && WaitForRelease()) {
        if (RemoveDirectoryA(path))
            return DELETED_AT_ONCE;
        error = GetLastError();
    }
    return ScheduleFolder(path);
}

DeleteOutcome DeleteOrSchedule(const char *path)
{
    if (DeleteFileA(path) || RemoveDirectoryA(path))
        return DELETED_AT_ONCE;
    DWORD folderError = GetLastError();

    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (IsMissingError(GetLastError()))
            return FinishRenamedAside(path);
        // It stands, though what it is cannot be read: the restart may reach
        // a file this run cannot, but it empties no folder that stays full.
        if (folderError != ERROR_DIRECTORY)
            return ScheduleFolder(path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return RemoveFolderInUse(path, attributes, folderError);
    }
    // A file: the open log is left to the completion step, which deletes it.
    if (IsOpenLog(path))
        return DELETE_OPEN_LOG;
    return attributes == INVALID_FILE_ATTRIBUTES ? Schedule(path) : DeleteFileInUse(path, attributes);
}

void RemoveLogFolder(const char *folder)
{
    size_t depth = Depth(folder);
    if (depth < LOG_FOLDER_DEPTHS && (g_logFoldersLeft & (1ull << depth)))
        DeleteOrSchedule(folder);
    else
        RemoveDirectoryA(folder);
}
