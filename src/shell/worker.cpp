#include "worker.h"

#include "globals.h"
#include "log/install_log.h"
#include "progress_dialog.h"
#include "removal/remove_app.h"
#include "removal/user_messages.h"

static const char kConfirm[] =
    "Do you really want to remove the selected application from your computer ?";
static const char kAborted[] =
    "Uninstall has been aborted. Only parts of the application could be removed.";

// A full message queue refuses the quit message for a while; without it the
// main thread would wait for ever.
#define QUIT_TRIES 100
#define QUIT_RETRY_PAUSE 100

DWORD WINAPI UninstallThread(LPVOID param)
{
    DWORD mainThreadId = (DWORD)(ULONG_PTR)param;

    HideProgress();
    // Shared input state lets the boxes of this thread take the focus from
    // the main thread's windows.
    if (!AttachThreadInput(GetCurrentThreadId(), mainThreadId, TRUE))
        MessageBeep(0);

    Outcome outcome = OUTCOME_DECLINED;
    if (ShowMessage(kConfirm, g_caption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        if (RemoveApplication()) {
            outcome = OUTCOME_COMPLETED;
        } else {
            ShowMessage(kAborted, g_caption, MB_OK | MB_ICONWARNING);
            CloseLog();
            outcome = OUTCOME_ABORTED;
        }
    }

    g_outcome = outcome;
    for (int tries = 1; !PostThreadMessageA(mainThreadId, WM_QUIT, 0, 0) && tries < QUIT_TRIES; tries++)
        Sleep(QUIT_RETRY_PAUSE);
    return 0;
}
