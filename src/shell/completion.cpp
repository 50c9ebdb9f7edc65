#include "completion.h"

#include "globals.h"
#include "removal/remove_app.h"
#include "removal/user_messages.h"
#include "restart_dialog.h"

// Whether a deletion waits for the restart, once the user has been told.
static int g_restartWaits;

static const char kRemoved[] =
    "Uninstall has successfully removed the selected application. "
    "Reboot your computer to also remove system files that are locked at the moment.";

static void TellRemoved(int restartWaits)
{
    ShowMessage(kRemoved, g_caption, MB_OK | MB_ICONWARNING);
    g_restartWaits = restartWaits;
    // Unattended, Windows is never restarted: the caller learns from the
    // exit code that a restart is still needed.
    if (restartWaits && !g_unattended)
        DialogBoxParamA(g_hInstance, "RESTARTDLG", NULL, RestartDlgProc, 0);
}

int RunCompletion(const char *logPath)
{
    g_restartWaits = 0;
    FinishRemoval(logPath, TellRemoved);
    return g_restartWaits;
}
