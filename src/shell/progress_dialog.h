// The progress dialog UNINSTDLG, the whole of it: created hidden at
// start-up, kept hidden while the user is asked, and driven by the removal
// through the calls of removal/progress_view.h, which are carried out here.
#ifndef SHELL_PROGRESS_DIALOG_H
#define SHELL_PROGRESS_DIALOG_H

#include "platform/platform.h"

// The dialog, created hidden at start-up by the main thread, which owns it.
extern HWND g_hProgressDlg;

// Sets up the dialog's first texts and the bar, and holds off the end of
// the Windows session while the removal asks it to (HoldSession); reacts
// to nothing else, so neither Cancel nor the frame's close button can stop a
// removal.
INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam);

// Keeps the dialog hidden while the user is asked.
void HideProgress(void);

#endif
