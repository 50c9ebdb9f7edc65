#include "startup.h"

#include "command_line.h"
#include "completion.h"
#include "globals.h"
#include "log/install_log.h"
#include "log_guard.h"
#include "platform/text.h"
#include "progress_dialog.h"
#include "removal/remove_app.h"
#include "removal/user_messages.h"
#include "self_check.h"
#include "worker.h"

#define WORKER_STACK_SIZE 10000
#define COMCTL32_NAME "\\COMCTL32.DLL"

static const char kCorrupt[] = "ALERT\nExecutable corrupt. Possibly a virus !!!";
static const char kTerminated[] =
    "Uninstall has been terminated due to an initialization error. "
    "The product has NOT been removed from your computer.";
static const char kResourceError[] = "Resource error. Corrupt executable ?";
static const char kNoLog[] = "Unable to locate Setup logfile.";

typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD);

// An uninstaller is often started from a folder that others can write, so
// DLLs are looked for in System32 alone where Windows allows it.
static void LimitDllSearch(void)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == NULL)
        return;
    SetDefaultDllDirectoriesFn setDirectories =
        (SetDefaultDllDirectoriesFn)(void *)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDirectories != NULL)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The progress bar's window class lives in COMCTL32; it is loaded by its
// full system path so that no planted copy can be picked up. A failure
// shows as a failed dialog creation.
static void LoadCommonControls(void)
{
    char path[PATH_SIZE];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length >= sizeof(path) || !AppendText(path, sizeof(path), COMCTL32_NAME))
        return;
    LoadLibraryA(path);
}

// The worker thread, waited for by the main loop.
static HANDLE g_worker;

static void ShowWarning(const char *text, const char *caption)
{
    ShowMessage(text, caption, MB_OK | MB_ICONWARNING);
}

InitResult InitUninstall(const char *logPath)
{
    g_recordCount = 0;
    CopyText(g_caption, sizeof(g_caption), DEFAULT_CAPTION);
    LoadCommonControls();

    g_hProgressDlg = CreateDialogParamA(g_hInstance, "UNINSTDLG", NULL, ProgressDlgProc, 0);
    if (g_hProgressDlg == NULL) {
        ShowWarning(kResourceError, g_caption);
        return INIT_FAILED;
    }
    if (!OpenLog(logPath)) {
        ShowWarning(kNoLog, g_caption);
        return INIT_FAILED;
    }
    // The log's identity and state, read once: the guard goes by the one,
    // the release note by both.
    BY_HANDLE_FILE_INFORMATION information;
    const BY_HANDLE_FILE_INFORMATION *log = GetFileInformationByHandle(g_logFile, &information) ? &information : NULL;
    if (TakeLogGuard(log) == LOG_GUARD_HELD_ELSEWHERE) {
        CloseLog();
        return INIT_RUNNING_ELSEWHERE;
    }
    // A document named by mistake is not read as a log of inert records,
    // which the completion step would delete.
    if (ScanLog(g_caption, sizeof(g_caption)) == LOG_NOT_A_LOG) {
        CloseLog();
        ShowWarning(kNoLog, g_caption);
        return INIT_FAILED;
    }
    PrepareRemoval(logPath, log);

    DWORD threadId;
    g_worker = CreateThread(NULL, WORKER_STACK_SIZE, UninstallThread, (LPVOID)(ULONG_PTR)GetCurrentThreadId(), 0,
                            &threadId);
    return g_worker != NULL ? INIT_STARTED : INIT_FAILED;
}

// Serves the progress dialog and the worker's calls on it until the worker
// is done: its quit message ends the loop, and so does its end, since a
// modal loop of this thread (the user dragging the dialog by its caption)
// may have taken that message.
static void RunMessageLoop(void)
{
    MSG msg;
    for (;;) {
        int workerEnded = MsgWaitForMultipleObjects(1, &g_worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (workerEnded)
            return;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int showCommand)
{
    (void)previous;
    (void)showCommand;
    g_hInstance = instance;
    LimitDllSearch();
    const char *logPath = TakeUnattendedSwitch(cmdLine, &g_unattended);

    if (!CheckOwnIntegrity()) {
        ShowWarning(kCorrupt, DEFAULT_CAPTION);
        return -1;
    }
    ExitCode exitCode = EXIT_NOT_REMOVED;
    InitResult started = InitUninstall(logPath);
    if (started == INIT_FAILED)
        ShowWarning(kTerminated, g_caption);
    if (started == INIT_RUNNING_ELSEWHERE)
        exitCode = EXIT_RUNNING_ELSEWHERE;
    if (started == INIT_STARTED) {
        RunMessageLoop();
        CloseHandle(g_worker);
        if (g_outcome == OUTCOME_COMPLETED)
            exitCode = RunCompletion(logPath) ? EXIT_RESTART_NEEDED : EXIT_REMOVED;
    }
    ReleaseLogGuard();
    // An interactive run has told the user, and ends with 0 whatever
    // happened; a deployment tool learns it from the exit code alone.
    return g_unattended ? exitCode : 0;
}
