#include "remove_app.h"

#include "custom_program.h"
#include "delete_or_schedule.h"
#include "key_tree.h"
#include "passes.h"
#include "progman.h"
#include "progress_view.h"
#include "release_journal.h"
#include "restart_list.h"
#include "shared_dll.h"
#include "log/install_log.h"
#include "log/record_check.h"
#include "platform/text.h"
#include "res/resource.h"
#include "uninstall_key.h"
#include "user_messages.h"

static const char kCustomRunFailed[] =
    "Custom uninstall run failed. Morvane will stop application removal.";
static const char kDeletingUninstallKey[] = "Deleting Uninstall Key";

// The log's full path, resolved once at start-up; "" when it could not be.
// The main thread's alone.
static char g_logFullPath[PATH_SIZE];

void PrepareRemoval(const char *logPath, const BY_HANDLE_FILE_INFORMATION *log)
{
    DWORD length = GetFullPathNameA(logPath, sizeof(g_logFullPath), g_logFullPath, NULL);
    if (length == 0 || length >= sizeof(g_logFullPath))
        g_logFullPath[0] = '\0';
    IdentifyLog(g_logFullPath, log);
    InitDeletions(g_logFullPath, log);
    InitCustomPrograms();
}

// Windows removes no folder that a process has as its current one, and the
// uninstaller is often started in the application's folder (its program
// group item names that as the working folder). The custom programs keep
// the folder they were started in; then the removal moves to the system
// folder, which it never removes.
static void LeaveCurrentFolder(void)
{
    char system[PATH_SIZE];
    UINT length = GetSystemDirectoryA(system, sizeof(system));
    if (length != 0 && length < sizeof(system))
        SetCurrentDirectoryA(system);
}

static int StopForCustomRun(void)
{
    ShowMessage(kCustomRunFailed, DEFAULT_CAPTION, MB_OK | MB_ICONWARNING);
    return 0;
}

// What a reading of the directories did: the directory records it acted
// on, the folders it removed or scheduled, and those it left standing,
// since they hold what no restart deletes.
struct FolderTally {
    DWORD listed;
    DWORD changed;
    DWORD kept;
};

static void RemoveListedDirectory(const char *path, FolderTally *folders)
{
    folders->listed++;
    if (RemoveDirectoryA(path)) {
        folders->changed++;
        return;
    }
    switch (DeleteOrSchedule(path)) {
    case DELETED_AT_ONCE:
    case DELETE_SCHEDULED:
    case DELETE_SCHEDULED_WITHOUT_LINE:
        folders->changed++;
        break;
    case DELETE_FOLDER_KEPT:
        folders->kept++;
        break;
    case DELETE_NOTHING_THERE:
    case DELETE_WAITING_ALREADY:
    case DELETE_OPEN_LOG:
    case DELETE_LOG_FOLDER_LEFT:
        break;
    }
}

// Shows the step and acts on the record, the index-th of the log; a record
// that names nothing to act on is passed over. Returns 0 when a custom
// program failed, which stops the removal.
static int TakeStep(const RecordStep *step, const LogRecord *rec, DWORD index, FolderTally *folders)
{
    // A custom program whose name or argument text is cut has not cleaned
    // up what the removal deletes next: that stops it as a failure does.
    if (!RecordIsUsable(rec))
        return rec->type == LOGREC_CUSTOMRUN ? StopForCustomRun() : 1;
    if (step->detail != DETAIL_UNCHANGED) {
        SetStatus(step->status);
        SetDetail(step->detail == DETAIL_PRIMARY ? rec->primary : "");
    }
    switch (step->action) {
    case ACTION_RUN_PROGRAM:
        if (RunCustomProgram(rec->primary, rec->secondary) != 0)
            return StopForCustomRun();
        DropLogBlock();
        break;
    case ACTION_DELETE_FILE:
        DeleteOrSchedule(rec->primary);
        break;
    case ACTION_RELEASE_DLL:
        ReleaseSharedDllOnce(rec->primary, index);
        break;
    case ACTION_DELETE_GROUP:
        ProgmanDeleteGroup(rec->secondary);
        break;
    case ACTION_REMOVE_DIRECTORY:
        RemoveListedDirectory(rec->primary, folders);
        break;
    case ACTION_NONE:
        break;
    }
    return 1;
}

// Whether a directory record of a later reading still names a folder to
// act on: one that an earlier reading left standing, and not for the
// restart, which would find it gone.
static int FolderStands(const LogRecord *rec)
{
    if (!RecordIsUsable(rec))
        return 0;
    DWORD attributes = GetFileAttributesA(rec->primary);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    RestartList list;
    return ReadRestartList(&list) && !RestartListNames(&list, rec->primary);
}

// One reading of the log, acting on each record the pass takes and moving
// the bar as the pass says: to progress divided by the number of records.
// A later reading (again) acts only on the folders still standing. Returns
// 0 when a custom program stopped the removal.
static int ReadPass(const PassDescription *pass, unsigned long long *progress, int again, FolderTally *folders)
{
    if (pass->status != NULL) {
        SetStatus(pass->status);
        SetDetail("");
    }
    // The pass's step for each record type, looked up once.
    const RecordStep *steps[LOGREC_CUSTOMRUN + 1];
    for (DWORD type = 0; type <= LOGREC_CUSTOMRUN; type++)
        steps[type] = StepFor((RemovalPass)pass->pass, type);
    LogRecord rec;
    for (DWORD index = 0; ReadRecord(index, &rec); index++) {
        if (pass->bar != BAR_UNTOUCHED)
            SetBar(*progress);
        const RecordStep *step = rec.type <= LOGREC_CUSTOMRUN ? steps[rec.type] : NULL;
        if (step != NULL && (!again || FolderStands(&rec)) && !TakeStep(step, &rec, index, folders))
            return 0;
        if (pass->bar == BAR_ADVANCING) {
            *progress += PROGRESS_DONE;
            SetBar(*progress);
        }
    }
    return 1;
}

// A pass reads the log once; the directories' pass reads it again while its
// last reading left folders standing and removed or scheduled some: a
// folder listed before the folders in it goes once they are gone, whatever
// the order of the log. Each reading that goes on changes a folder for
// good, so there are no more readings than directory records; they are
// counted all the same, since a scheduling that failed changes nothing.
// Returns 0 when a custom program stopped the removal.
static int RunPass(const PassDescription *pass, unsigned long long *progress)
{
    FolderTally folders;
    DWORD readings = 0;
    DWORD listed = 0;
    do {
        folders.listed = 0;
        folders.changed = 0;
        folders.kept = 0;
        if (!ReadPass(pass, progress, readings != 0, &folders))
            return 0;
        if (readings++ == 0)
            listed = folders.listed;
    } while (folders.kept != 0 && folders.changed != 0 && readings <= listed);
    return 1;
}

// Deletes the application's own entry under the Uninstall key, with what
// the application stored below it, and nothing when the name cannot name
// one entry.
static void DeleteUninstallKey(void)
{
    SetStatus(kDeletingUninstallKey);
    char keyPath[MESSAGE_SIZE];
    if (FormatUninstallKey(keyPath, sizeof(keyPath), g_appName) == UNINSTALL_KEY_NAMED)
        DeleteKeyTree(keyPath, sizeof(keyPath));
}

// A logoff or shutdown is held off from the start until the Uninstall key
// is gone: ended halfway, the removal would leave the application half
// there.
int RemoveApplication(void)
{
    ShowProgress();
    HoldSession(1);
    unsigned long long progress = 0;
    for (size_t i = 0; i < kPassCount; i++) {
        if (kPasses[i].pass == PASS_FILES)
            LeaveCurrentFolder();
        if (!RunPass(&kPasses[i], &progress)) {
            HoldSession(0);
            return 0;
        }
    }
    DeleteUninstallKey();
    HoldSession(0);
    EndProgress();
    return 1;
}

// "C:" alone is not the drive but the drive's current folder, which the log
// does not name: it is never removed.
static int IsBareDrive(const char *path, size_t length)
{
    return length == 2 && path[1] == ':';
}

// Removes each folder that holds the log, deepest first, down to the drive
// (which is not touched); only empty ones go. The path is the full one, so
// that "." and ".." name no folder that does not hold the log. Its
// backslashes are found from the start, for read backwards the second byte
// of a double-byte character may pass for one.
static void RemoveLogFolders(void)
{
    char path[PATH_SIZE];
    CopyText(path, sizeof(path), g_logFullPath);
    char *separator;
    while ((separator = (char *)FindLastChar(path, '\\')) != NULL) {
        *separator = '\0';
        if (!IsBareDrive(path, (size_t)(separator - path)))
            RemoveLogFolder(path);
    }
}

// Whether nothing stands at path any more.
static int IsGone(const char *path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 0;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

void FinishRemoval(const char *logPath, void (*tellUser)(int restartWaits))
{
    CloseLog();
    // The removal left the folder the program was started in: a log named
    // relative to it is found by its full path, and without one it stays.
    const char *log = g_logFullPath[0] != '\0' ? g_logFullPath : PathIsFullyQualified(logPath) ? logPath : NULL;
    // While the log stays at its path, a run on it must still find what was
    // released; renamed aside to wait for the restart, it is gone from there.
    if (log != NULL && (DeleteOrSchedule(log) == DELETED_AT_ONCE || IsGone(log)))
        ForgetReleases();
    // Before the user is told: a folder of the log that a directory record
    // names may have to wait for the restart.
    RemoveLogFolders();
    tellUser(g_rebootNeeded == 1);
}
