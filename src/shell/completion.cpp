#include "completion.h"

#include "globals.h"
#include "removal/remove_app.h"
#include "restart_dialog.h"

static const char kRemoved[] =
    "Uninstall has successfully removed the selected application. "
    "Reboot your computer to also remove system files that are locked at the moment.";

static void TellRemoved(int restartWaits)
{
    MessageBoxA(NULL, kRemoved, g_caption, MB_OK | MB_ICONWARNING);
    if (restartWaits)
        DialogBoxParamA(g_hInstance, "RESTARTDLG", NULL, RestartDlgProc, 0);
}

void RunCompletion(const char *logPath)
{
    FinishRemoval(logPath, TellRemoved);
}
