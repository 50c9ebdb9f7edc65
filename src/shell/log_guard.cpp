#include "log_guard.h"

#include "platform/sizes.h"
#include "platform/text.h"
#include "removal/user_messages.h"

// "Global\" reaches every session. Windows without sessions (before
// Windows 2000, or without Terminal Services) may refuse the prefix; the
// bare name is then the same for all.
#define GUARD_NAMESPACE "Global\\"
// Then the volume's serial number and the log's file index, in hex.
#define GUARD_PREFIX "Morvane Uninstall "

// The guard is a named file mapping that holds the process id of the run
// that took it, so that a later run can find that run's windows.
static HANDLE g_guard;

struct RunWindowSearch {
    DWORD processId;
    HWND window;
};

// Top-level windows come in Z order: the first shown one of the process is
// the one on top, its question, a box or its progress dialog.
static BOOL CALLBACK FindRunWindow(HWND window, LPARAM param)
{
    RunWindowSearch *search = (RunWindowSearch *)param;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window))
        return TRUE;
    search->window = window;
    return FALSE;
}

// Unattended, nobody is there to see it: no window comes forward.
static void ShowRunHolding(HANDLE guard)
{
    if (g_unattended)
        return;
    DWORD *shared = (DWORD *)MapViewOfFile(guard, FILE_MAP_READ, 0, 0, sizeof(DWORD));
    if (shared == NULL)
        return;
    RunWindowSearch search = {*shared, NULL};
    UnmapViewOfFile(shared);
    // 0: the other run has not yet written its id.
    if (search.processId == 0)
        return;
    EnumWindows(FindRunWindow, (LPARAM)&search);
    if (search.window == NULL)
        return;
    if (IsIconic(search.window))
        ShowWindow(search.window, SW_RESTORE);
    SetForegroundWindow(search.window);
}

static HANDLE CreateGuard(const char *name)
{
    SetLastError(ERROR_SUCCESS);
    return CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(DWORD), name);
}

LogGuard TakeLogGuard(const BY_HANDLE_FILE_INFORMATION *log)
{
    if (log == NULL)
        return LOG_GUARD_TAKEN;
    char name[PATH_SIZE];
    CopyText(name, sizeof(name), GUARD_NAMESPACE GUARD_PREFIX);
    AppendHex(name, sizeof(name), log->dwVolumeSerialNumber, 8);
    AppendText(name, sizeof(name), "-");
    AppendHex(name, sizeof(name), log->nFileIndexHigh, 8);
    AppendHex(name, sizeof(name), log->nFileIndexLow, 8);

    HANDLE guard = CreateGuard(name);
    if (guard == NULL)
        guard = CreateGuard(name + sizeof(GUARD_NAMESPACE) - 1);
    if (guard == NULL)
        return LOG_GUARD_TAKEN;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ShowRunHolding(guard);
        CloseHandle(guard);
        return LOG_GUARD_HELD_ELSEWHERE;
    }
    DWORD *shared = (DWORD *)MapViewOfFile(guard, FILE_MAP_WRITE, 0, 0, sizeof(DWORD));
    if (shared != NULL) {
        *shared = GetCurrentProcessId();
        UnmapViewOfFile(shared);
    }
    g_guard = guard;
    return LOG_GUARD_TAKEN;
}

void ReleaseLogGuard(void)
{
    if (g_guard != NULL)
        CloseHandle(g_guard);
    g_guard = NULL;
}
