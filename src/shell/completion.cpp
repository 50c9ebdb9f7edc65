#include "completion.h"

#include "globals.h"
#include "log/install_log.h"
#include "platform/text.h"
#include "removal/delete_or_schedule.h"
#include "removal/release_journal.h"
#include "restart_dialog.h"

static const char kRemoved[] =
    "Uninstall has successfully removed the selected application. "
    "Reboot your computer to also remove system files that are locked at the moment.";

// "C:" alone is not the drive but the drive's current folder, which the log
// does not name: it is never removed.
static int IsBareDrive(const char *path, size_t length)
{
    return length == 2 && path[1] == ':';
}

// The log's path is resolved first, so that "." and ".." name no folder
// that does not hold the log. Its backslashes are found from the start, for
// read backwards the second byte of a double-byte character may pass for one.
void RemoveLogFolders(const char *logPath)
{
    char path[PATH_SIZE];
    DWORD length = GetFullPathNameA(logPath, sizeof(path), path, NULL);
    if (length == 0 || length >= sizeof(path))
        return;
    char *separator;
    while ((separator = (char *)FindLastChar(path, '\\')) != NULL) {
        *separator = '\0';
        if (!IsBareDrive(path, (size_t)(separator - path)))
            RemoveDirectoryA(path);
    }
}

void RunCompletion(const char *logPath)
{
    CloseLog();
    // While the log stays, a run on it must still find what was released.
    if (DeleteOrSchedule(logPath) == DELETED_AT_ONCE)
        ForgetReleases();
    MessageBoxA(NULL, kRemoved, g_caption, MB_OK | MB_ICONWARNING);
    if (g_rebootNeeded == 1)
        DialogBoxParamA(g_hInstance, "RESTARTDLG", NULL, RestartDlgProc, 0);
    RemoveLogFolders(logPath);
}
