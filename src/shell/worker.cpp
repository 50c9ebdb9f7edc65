#include "worker.h"

#include "globals.h"
#include "log/install_log.h"
#include "removal/remove_app.h"

static const char kConfirm[] =
    "Do you really want to remove the selected application from your computer ?";
static const char kAborted[] =
    "Uninstall has been aborted. Only parts of the application could be removed.";

DWORD WINAPI UninstallThread(LPVOID param)
{
    DWORD mainThreadId = (DWORD)(ULONG_PTR)param;

    ShowWindow(g_hProgressDlg, SW_HIDE);
    // Shared input state lets the boxes of this thread take the focus from
    // the main thread's windows.
    if (!AttachThreadInput(GetCurrentThreadId(), mainThreadId, TRUE))
        MessageBeep(0);

    int outcome = OUTCOME_DECLINED;
    if (MessageBoxA(NULL, kConfirm, g_caption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        if (RemoveApplication()) {
            outcome = OUTCOME_COMPLETED;
        } else {
            MessageBoxA(NULL, kAborted, g_caption, MB_OK | MB_ICONWARNING);
            CloseLog();
            outcome = OUTCOME_ABORTED;
        }
    }

    g_outcome = outcome;
    PostThreadMessageA(mainThreadId, WM_QUIT, 0, 0);
    return 0;
}
